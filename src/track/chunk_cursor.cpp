#include "track/chunk_cursor.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace torvix::geometry;

namespace torvix::track {

namespace {

std::uint32_t LoadBig(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::uint32_t SwapToBig(std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        return __builtin_bswap32(v);
    } else {
        return v;
    }
}

}  // namespace

void ChunkReader::Fail(std::string message, std::int64_t at) {
    if (failed_) return;
    failed_ = true;
    error_message_ = std::move(message);
    error_offset_ = at;
}

bool ChunkReader::Take(std::int64_t n) {
    if (failed_) return false;
    if (n < 0) {
        Fail("negative length " + std::to_string(n));
        return false;
    }
    if (static_cast<std::uint64_t>(n) > remaining()) {
        Fail("unexpected end of data: " + std::to_string(n) + " bytes needed, " + std::to_string(remaining()) +
             " left");
        return false;
    }
    return true;
}

Byte ChunkReader::ReadByte() {
    if (!Take(1)) return 0;
    return bytes_[cursor_++];
}

Long ChunkReader::ReadLong() {
    if (!Take(4)) return 0;
    const std::uint32_t u = LoadBig(bytes_.data() + cursor_);
    cursor_ += 4;
    return std::bit_cast<Long>(u);
}

Single ChunkReader::ReadSingle() {
    if (!Take(4)) return 0;
    const std::uint32_t u = LoadBig(bytes_.data() + cursor_);
    cursor_ += 4;
    return std::bit_cast<Single>(u);
}

Colour ChunkReader::ReadColor() {
    if (!Take(4)) return 0;
    const std::uint32_t u = LoadBig(bytes_.data() + cursor_) & 0x00FFFFFFu;
    cursor_ += 4;
    return static_cast<Colour>(u);
}

Vector3 ChunkReader::ReadVector() {
    Vector3 v;
    v.x = ReadSingle();
    v.y = ReadSingle();
    v.z = ReadSingle();
    return v;
}

Text ChunkReader::ReadText(std::int64_t n) {
    if (!Take(n)) return {};
    Text text(reinterpret_cast<const char*>(bytes_.data() + cursor_), static_cast<std::size_t>(n));
    cursor_ += static_cast<std::size_t>(n);
    return text;
}

std::string ChunkReader::ReadTag() {
    if (!Take(4)) return {};
    std::string tag(4, '\0');
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>(bytes_[cursor_ + i]);
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        tag[i] = c;
    }
    cursor_ += 4;
    return tag;
}

void ChunkReader::Skip(std::int64_t n) {
    if (!Take(n)) return;
    cursor_ += static_cast<std::size_t>(n);
}

void ChunkReader::ReadSingles(Single* out, std::size_t n) {
    if (n > remaining() / 4) {
        Take(static_cast<std::int64_t>(remaining()) + 1);  // records the overrun
        return;
    }
    if (!Take(static_cast<std::int64_t>(n * 4))) return;
    const std::uint8_t* src = bytes_.data() + cursor_;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t u;
        std::memcpy(&u, src + 4 * i, 4);
        out[i] = std::bit_cast<Single>(SwapToBig(u));
    }
    cursor_ += n * 4;
}

void ChunkWriter::Pass() {
    if (!sink_failed_ && !sink_(bytes_.data(), bytes_.size())) sink_failed_ = true;
    passed_ += bytes_.size();
    bytes_.clear();
}

bool ChunkWriter::Finish() {
    if (sink_ && !bytes_.empty()) Pass();
    return !sink_failed_;
}

void ChunkWriter::WriteLong(Long v) {
    const std::uint32_t u = SwapToBig(std::bit_cast<std::uint32_t>(v));
    const auto* p = reinterpret_cast<const std::uint8_t*>(&u);
    bytes_.insert(bytes_.end(), p, p + 4);
    PassIfFull();
}

void ChunkWriter::WriteSingle(Single v) { WriteLong(std::bit_cast<Long>(v)); }

void ChunkWriter::WriteColor(Colour v) { WriteLong(static_cast<Long>(static_cast<std::uint32_t>(v) & 0x00FFFFFFu)); }

void ChunkWriter::WriteVector(const Vector3& v) {
    WriteSingle(v.x);
    WriteSingle(v.y);
    WriteSingle(v.z);
}

void ChunkWriter::WriteTag(const char* tag) {
    bytes_.insert(bytes_.end(), tag, tag + 4);
    PassIfFull();
}

void ChunkWriter::WriteZeros(std::size_t n) {
    while (n > 0) {
        const std::size_t part = sink_ ? std::min(n, piece_) : n;
        bytes_.insert(bytes_.end(), part, 0);
        n -= part;
        PassIfFull();
    }
}

void ChunkWriter::WriteSingles(const Single* values, std::size_t n) {
    while (n > 0) {
        const std::size_t part = sink_ ? std::min(n, piece_ / 4 + 1) : n;
        const std::size_t start = bytes_.size();
        bytes_.resize(start + 4 * part);
        std::uint8_t* dst = bytes_.data() + start;
        for (std::size_t i = 0; i < part; ++i) {
            const std::uint32_t u = SwapToBig(std::bit_cast<std::uint32_t>(values[i]));
            std::memcpy(dst + 4 * i, &u, 4);
        }
        values += part;
        n -= part;
        PassIfFull();
    }
}

}  // namespace torvix::track
