#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "track/chunk_cursor.h"
#include "track/track_format.h"
#include "track/track_io.h"
#include "track/track_path.h"

namespace torvix {

namespace {

class RecordWriter {
public:
    explicit RecordWriter(ChunkWriter& out) : out_(out) {}

    void Long(const char*, torvix::Long v) { out_.WriteLong(v); }
    void Single(const char*, torvix::Single v) { out_.WriteSingle(v); }
    void Byte(const char*, torvix::Byte v) { out_.WriteByte(v); }
    void Bool(const char*, bool v) { out_.WriteBool(v); }
    void Color(const char*, Colour v) { out_.WriteColor(v); }
    void Vector(const char*, const Vector3& v) { out_.WriteVector(v); }
    template <std::size_t N>
    void Colors(const char*, const std::array<Colour, N>& colors) {
        for (Colour c : colors) out_.WriteColor(c);
    }
    // Whatever was read, this program writes version 1.3.
    void Version(const char*, const std::array<torvix::Byte, 4>&) {
        for (torvix::Byte b : {1, 3, 0, 0}) out_.WriteByte(b);
    }
    void Reserved(std::int64_t n) { out_.WriteZeros(static_cast<std::size_t>(n)); }
    void BlockSize(torvix::Long v) { out_.WriteLong(v); }
    void OptionalText(const char*, const Text& t) { WriteText(t); }
    void StrictText(const char*, const Text& t, const char*) { WriteText(t); }
    // The count field decides how many elements are written. A negative count
    // writes none; elements missing from a shorter array are written as zeros
    // so that the sizes still agree with the bytes.
    template <class T>
    std::size_t Count(const char*, torvix::Long field, const std::vector<T>&, const char*) {
        out_.WriteLong(field);
        return CountOf(field);
    }
    template <class T>
    void Items(const char*, const std::vector<T>& items, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Describe(*this, ElementOr(items, i));
    }
    void Tail(const char*, torvix::Long field) {
        out_.WriteLong(field);
        out_.WriteZeros(CountOf(field));
    }
    std::int64_t Grid(torvix::Long columns, torvix::Long rows) {
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
        out_.WriteLong(static_cast<torvix::Long>(t.size()));
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

int FlushToDisk(int fd) {
#if defined(__linux__)
    return ::fdatasync(fd);
#else
    return ::fsync(fd);
#endif
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

// Creates a new, empty file beside `target`, named so that it cannot clash
// with an existing one; returns its descriptor or -1 with errno set.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temp_path) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, ".torvix-%016llx.tmp", static_cast<unsigned long long>(random()));
        temp_path = folder / name;
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
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

    std::filesystem::path temp_path;
    const int fd = CreateTemporaryBeside(target_path, temp_path);
    if (fd < 0) return Report(error, SystemError("cannot create a file beside", target, errno));

    auto abandon = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(temp_path.c_str());
        return Report(error, SystemError(what, target, err));
    };

    // Keep the permissions of the file being replaced.
    struct stat old_stat {};
    const bool replacing = ::stat(target.c_str(), &old_stat) == 0 && S_ISREG(old_stat.st_mode);
    if (replacing) ::fchmod(fd, old_stat.st_mode & 07777);

    int write_errno = 0;
    auto to_file = [&](const std::uint8_t* data, std::size_t size) {
        std::size_t written = 0;
        while (written < size) {
            const ssize_t n = ::write(fd, data + written, size - written);
            if (n < 0) {
                if (errno == EINTR) continue;
                write_errno = errno;
                return false;
            }
            written += static_cast<std::size_t>(n);
        }
        return true;
    };
    // The image goes out in pieces small enough to stay in the processor's
    // cache instead of being built whole first.
    ChunkWriter out(to_file, std::size_t{64} << 10);
    WriteTrack(out, track, WrittenChunkSizes(track));
    if (!out.Finish()) return abandon("cannot write", write_errno);
    // Only the file being replaced has something to lose if the system stops
    // before the new bytes reach the disk: the rename must not come first.
    // A new file is only as lost as a save that never happened.
    if (replacing && FlushToDisk(fd) != 0) return abandon("cannot flush", errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp_path.c_str());
        return Report(error, SystemError("cannot finish writing", target, err));
    }
    if (::rename(temp_path.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp_path.c_str());
        return Report(error, SystemError("cannot replace", target, err));
    }
    return true;
}

}  // namespace torvix
