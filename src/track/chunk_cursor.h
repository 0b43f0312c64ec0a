// Big-endian primitives of the track file. The reader walks a loaded byte
// image with a cursor that never reads past its end: a read that would
// overrun sets a sticky failure (with the offset) and yields zero values, so
// the chunk decoders check once per array or chunk instead of after every
// field. The writer appends to a byte vector owned by the one write, or
// streams through it to a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "track/track.h"

namespace torvix::track {

class ChunkReader {
public:
    explicit ChunkReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return !failed_; }
    std::size_t offset() const { return cursor_; }
    std::size_t remaining() const { return bytes_.size() - cursor_; }
    const std::string& error_message() const { return error_message_; }
    std::int64_t error_offset() const { return error_offset_; }

    // Records the first failure only; later calls keep it.
    void Fail(std::string message, std::int64_t at);
    void Fail(std::string message) { Fail(std::move(message), static_cast<std::int64_t>(cursor_)); }

    Byte ReadByte();
    bool ReadBool() { return ReadByte() != 0; }
    Long ReadLong();
    Single ReadSingle();
    Colour ReadColor();
    geometry::Vector3 ReadVector();
    // n bytes as one character each; n must not be negative.
    Text ReadText(std::int64_t n);
    // Four bytes with a-z turned into A-Z.
    std::string ReadTag();
    void Skip(std::int64_t n);
    // n consecutive Singles into out[0..n), decoded in one pass.
    void ReadSingles(Single* out, std::size_t n);

private:
    // True when n more bytes are there; otherwise fails the read.
    bool Take(std::int64_t n);

    std::span<const std::uint8_t> bytes_;
    std::size_t cursor_ = 0;
    bool failed_ = false;
    std::string error_message_;
    std::int64_t error_offset_ = -1;
};

class ChunkWriter {
public:
    // Receives the bytes in order; returns false when it cannot take them.
    using Sink = std::function<bool(const std::uint8_t*, std::size_t)>;

    ChunkWriter() = default;
    explicit ChunkWriter(std::size_t expected_size) { bytes_.reserve(expected_size); }
    // Streams to `sink` in pieces of about `piece` bytes, so that a large
    // track is not held in memory a second time on its way to a file.
    ChunkWriter(Sink sink, std::size_t piece) : sink_(std::move(sink)), piece_(piece) { bytes_.reserve(piece + 64); }

    std::size_t offset() const { return passed_ + bytes_.size(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> Release() { return std::move(bytes_); }
    // Hands what is left to the sink; false if the sink refused any piece.
    bool Finish();

    void WriteByte(std::uint32_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
        PassIfFull();
    }
    void WriteBool(bool v) { WriteByte(v ? 0xFF : 0x00); }
    void WriteLong(Long v);
    void WriteSingle(Single v);
    void WriteColor(Colour v);
    void WriteVector(const geometry::Vector3& v);
    void WriteText(const Text& s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        PassIfFull();
    }
    void WriteTag(const char* tag);
    void WriteZeros(std::size_t n);
    void WriteSingles(const Single* values, std::size_t n);

private:
    void PassIfFull() {
        if (sink_ && bytes_.size() >= piece_) Pass();
    }
    void Pass();

    std::vector<std::uint8_t> bytes_;
    Sink sink_;
    std::size_t piece_ = 0;
    std::size_t passed_ = 0;
    bool sink_failed_ = false;
};

}  // namespace torvix::track
