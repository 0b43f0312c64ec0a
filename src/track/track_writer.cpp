#include <algorithm>
#include <cstring>

#include "platform/file_replacement.h"
#include "track/chunk_cursor.h"
#include "track/track_format.h"
#include "track/track_io.h"
#include "track/track_path.h"

using namespace torvix::geometry;

namespace torvix::track {

namespace {

class RecordWriter {
public:
    explicit RecordWriter(ChunkWriter& out) : out_(out) {}

    void Long(const char*, torvix::track::Long v) { out_.WriteLong(v); }
    void Single(const char*, torvix::track::Single v) { out_.WriteSingle(v); }
    void Byte(const char*, torvix::track::Byte v) { out_.WriteByte(v); }
    void Bool(const char*, bool v) { out_.WriteBool(v); }
    void Color(const char*, Colour v) { out_.WriteColor(v); }
    void Vector(const char*, const Vector3& v) { out_.WriteVector(v); }
    template <std::size_t N>
    void Colors(const char*, const std::array<Colour, N>& colors) {
        for (Colour c : colors) out_.WriteColor(c);
    }
    // Whatever was read, this program writes version 1.3.
    void Version(const char*, const std::array<torvix::track::Byte, 4>&) {
        for (torvix::track::Byte b : {1, 3, 0, 0}) out_.WriteByte(b);
    }
    void Reserved(std::int64_t n) { out_.WriteZeros(static_cast<std::size_t>(n)); }
    void BlockSize(torvix::track::Long v) { out_.WriteLong(v); }
    void OptionalText(const char*, const Text& t) { WriteText(t); }
    void StrictText(const char*, const Text& t, const char*) { WriteText(t); }
    // The count field decides how many elements are written. A negative count
    // writes none; elements missing from a shorter array are written as zeros
    // so that the sizes still agree with the bytes.
    template <class T>
    std::size_t Count(const char*, torvix::track::Long field, const std::vector<T>&, const char*) {
        out_.WriteLong(field);
        return CountOf(field);
    }
    template <class T>
    void Items(const char*, const std::vector<T>& items, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Describe(*this, ElementOr(items, i));
    }
    void Tail(const char*, torvix::track::Long field) {
        out_.WriteLong(field);
        out_.WriteZeros(CountOf(field));
    }
    std::int64_t Grid(torvix::track::Long columns, torvix::track::Long rows) {
        out_.WriteLong(columns);
        out_.WriteLong(rows);
        return columns > 0 && rows > 0 ? static_cast<std::int64_t>(columns) * rows : 0;
    }
    void Heights(const char*, const TeraChunk& c, std::int64_t cells) {
        const auto all = static_cast<std::size_t>(cells);
        const std::size_t stored = std::min(all, c.heights.size());
        out_.WriteSingles(c.heights.data(), stored);
        out_.WriteZeros(4 * (all - stored));
    }

private:
    void WriteText(const Text& t) {
        out_.WriteLong(static_cast<torvix::track::Long>(t.size()));
        out_.WriteText(t);
    }

    ChunkWriter& out_;
};

// The whole image: every written chunk with the computed sizes and the fixed
// child counts, in writing order.
void WriteTrack(ChunkWriter& out, const Track& t, const ChunkSizes& sizes) {
    RecordWriter writer(out);
    ForEachChunk(t, [&](ChunkId id, const auto& record) {
        if (!IsWritten(t, id)) return;
        out.WriteTag(KindOf(id).tag);
        out.WriteLong(static_cast<Long>(sizes[static_cast<std::size_t>(id)]));
        Describe(writer, record);
        out.WriteLong(WrittenChildCount(t, id));
    });
}

std::string SystemError(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

bool Report(TrackIoError* error, std::string message) {
    if (error != nullptr) {
        error->message = std::move(message);
        error->offset = -1;
    }
    return false;
}

}  // namespace

Long WrittenChildCount(const Track& track, ChunkId id) {
    Long children = 0;
    for (int i = 1; i < kChunkKinds; ++i) {
        const auto child = static_cast<ChunkId>(i);
        if (KindOf(child).parent == id && IsWritten(track, child)) ++children;
    }
    return children;
}

ChunkSizes WrittenChunkSizes(const Track& track) {
    ChunkSizes sizes{};
    ForEachChunk(track, [&](ChunkId id, const auto& record) {
        sizes[static_cast<std::size_t>(id)] = RecordBytes(record) + 4;  // own fields and the child count
    });
    // Children come after their parents in writing order, so adding them from
    // the back finishes every child before its parent.
    for (int i = kChunkKinds - 1; i > 0; --i) {
        const auto id = static_cast<ChunkId>(i);
        if (!IsWritten(track, id)) continue;
        sizes[static_cast<std::size_t>(KindOf(id).parent)] += 8 + sizes[static_cast<std::size_t>(i)];
    }
    return sizes;
}

void ComputeChunkSizes(Track& track) {
    const ChunkSizes sizes = WrittenChunkSizes(track);
    ForEachChunk(track, [&](ChunkId id, auto& record) {
        if (!IsWritten(track, id)) return;
        record.chunk_size = static_cast<Long>(sizes[static_cast<std::size_t>(id)]);
        record.child_count = WrittenChildCount(track, id);
    });
}

std::vector<std::uint8_t> EncodeTrack(const Track& track) {
    const ChunkSizes sizes = WrittenChunkSizes(track);
    // NLIM's size counts everything after its first eight bytes.
    ChunkWriter out(static_cast<std::size_t>(static_cast<std::uint32_t>(sizes[0])) + 8);
    WriteTrack(out, track, sizes);
    return out.Release();
}

bool WriteTrackFile(const std::string& path, const Track& track, TrackIoError* error) {
    if (path.empty()) return Report(error, "no file name given");
    const std::string target = WithTrackExtension(path);
    const std::filesystem::path target_path(target);

    // A new file gets the usual permissions; a replaced one keeps its own.
    platform::FileReplacement file(target_path, "torvix-");
    if (!file.is_open()) return Report(error, SystemError("cannot create a file beside", target, file.error()));

    // The image goes out in pieces small enough to stay in the processor's
    // cache instead of being built whole first.
    ChunkWriter out([&](const std::uint8_t* data, std::size_t size) { return file.Write(data, size); },
                    std::size_t{64} << 10);
    WriteTrack(out, track, WrittenChunkSizes(track));
    if (!out.Finish()) return Report(error, SystemError("cannot write", target, file.error()));
    // Only the file being replaced has something to lose if the system stops
    // before the new bytes reach the disk: the rename must not come first.
    // A new file is only as lost as a save that never happened.
    if (!file.Commit(file.replacing())) return Report(error, SystemError("cannot replace", target, file.error()));
    return true;
}

}  // namespace torvix::track
