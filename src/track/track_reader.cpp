#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "track/chunk_cursor.h"
#include "track/track_format.h"
#include "track/track_io.h"
#include "track/track_path.h"

using namespace torvix::geometry;

namespace torvix::track {

namespace {

// Fills records from the cursor. Counts are checked against the bytes left
// (at the fewest bytes an element can take) before anything is allocated.
class RecordReader {
public:
    explicit RecordReader(ChunkReader& in) : in_(in) {}

    void Long(const char*, torvix::track::Long& v) { v = in_.ReadLong(); }
    void Single(const char*, torvix::track::Single& v) { v = in_.ReadSingle(); }
    void Byte(const char*, torvix::track::Byte& v) { v = in_.ReadByte(); }
    void Bool(const char*, bool& v) { v = in_.ReadBool(); }
    void Color(const char*, Colour& v) { v = in_.ReadColor(); }
    void Vector(const char*, Vector3& v) { v = in_.ReadVector(); }
    template <std::size_t N>
    void Colors(const char*, std::array<Colour, N>& colors) {
        for (Colour& c : colors) c = in_.ReadColor();
    }
    void Version(const char*, std::array<torvix::track::Byte, 4>& version) {
        for (torvix::track::Byte& b : version) b = in_.ReadByte();
    }
    void Reserved(std::int64_t n) { in_.Skip(n); }
    void BlockSize(torvix::track::Long) { in_.Skip(4); }  // implied by the segment type
    // A length of 0 or less means an empty text.
    void OptionalText(const char*, Text& t) {
        const torvix::track::Long n = in_.ReadLong();
        t = n <= 0 ? Text{} : in_.ReadText(n);
    }
    void StrictText(const char*, Text& t, const char* what) {
        const auto at = static_cast<std::int64_t>(in_.offset());
        const torvix::track::Long n = in_.ReadLong();
        if (n < 0) {
            in_.Fail(std::string(what) + " length is negative (" + std::to_string(n) + ")", at);
            t.clear();
            return;
        }
        t = in_.ReadText(n);
    }
    template <class T>
    std::size_t Count(const char*, torvix::track::Long& field, const std::vector<T>&, const char* what) {
        return ReadCount(field, MinElementBytes<T>(), what);
    }
    template <class T>
    void Items(const char*, std::vector<T>& items, std::size_t n) {
        items.assign(n, T{});
        for (T& e : items) {
            if (!in_.ok()) return;
            Describe(*this, e);
        }
    }
    void Tail(const char*, torvix::track::Long& field) {
        in_.Skip(static_cast<std::int64_t>(ReadCount(field, 1, "CATW tail length")));
    }
    std::int64_t Grid(torvix::track::Long& columns, torvix::track::Long& rows) {
        const auto at = static_cast<std::int64_t>(in_.offset());
        columns = in_.ReadLong();
        rows = in_.ReadLong();
        if (!in_.ok()) return 0;
        if (columns < 0 || rows < 0) {
            in_.Fail("TERA grid size is negative (" + std::to_string(columns) + " x " + std::to_string(rows) + ")",
                     at);
            return 0;
        }
        // Both factors are below 2^31, so the product fits in 64 bits.
        const std::int64_t cells = static_cast<std::int64_t>(rows) * columns;
        if (cells > static_cast<std::int64_t>(in_.remaining()) / 4) {
            in_.Fail("TERA grid " + std::to_string(columns) + " x " + std::to_string(rows) +
                         " runs past the end of the file",
                     at);
            return 0;
        }
        return cells;
    }
    void Heights(const char*, TeraChunk& c, std::int64_t cells) {
        if (!in_.ok()) return;
        // The texts may have used up bytes the grid needs; ReadSingles refuses then.
        if (cells > static_cast<std::int64_t>(in_.remaining()) / 4) {
            in_.Fail("TERA grid runs past the end of the file");
            return;
        }
        c.heights.resize(static_cast<std::size_t>(cells));
        in_.ReadSingles(c.heights.data(), c.heights.size());
    }

private:
    // Reads a count field and checks it against the bytes left; 0 on failure.
    std::size_t ReadCount(torvix::track::Long& field, std::int64_t min_bytes_each, const char* what) {
        const auto at = static_cast<std::int64_t>(in_.offset());
        field = in_.ReadLong();
        if (!in_.ok()) return 0;
        if (field < 0) {
            in_.Fail(std::string(what) + " is negative (" + std::to_string(field) + ")", at);
            return 0;
        }
        if (static_cast<std::int64_t>(field) * min_bytes_each > static_cast<std::int64_t>(in_.remaining())) {
            in_.Fail(std::string(what) + " " + std::to_string(field) + " runs past the end of the file", at);
            return 0;
        }
        return static_cast<std::size_t>(field);
    }

    ChunkReader& in_;
};

class TrackDecoder {
public:
    TrackDecoder(ChunkReader& in, Track& track, std::vector<SkippedChunk>* skipped)
        : in_(in), t_(track), fields_(in), skipped_(skipped) {}

    bool Decode();

private:
    // A chunk whose nested chunks are still being read.
    struct Open {
        std::string tag;
        std::int64_t tag_offset;
        std::int64_t end;  // where its declared size says it ends
        std::int64_t children;
    };

    // Reads one known chunk after its tag; returns its child count.
    template <class Record>
    Long ReadKnown(ChunkId id, Record& record, std::int64_t tag_offset);
    void SkipUnknown(const std::string& tag, std::int64_t tag_offset);
    // A chunk and everything nested in it have been read: hold the cursor
    // against the declared end, then close the parents this completes.
    void Finish(const std::string& tag, std::int64_t tag_offset, std::int64_t end);
    void ChildDone();

    ChunkReader& in_;
    Track& t_;
    RecordReader fields_;
    std::vector<SkippedChunk>* skipped_;
    std::array<bool, kChunkKinds> seen_{};
    std::vector<Open> open_;
};

template <class Record>
Long TrackDecoder::ReadKnown(ChunkId id, Record& record, std::int64_t tag_offset) {
    const std::string tag = KindOf(id).tag;
    bool& seen = seen_[static_cast<std::size_t>(id)];
    if (seen) {
        in_.Fail("a second " + tag + " chunk at offset " + std::to_string(tag_offset) + "; there may be only one",
                 tag_offset);
        return 0;
    }
    seen = true;
    record.chunk_size = in_.ReadLong();
    const auto body = static_cast<std::int64_t>(in_.offset());
    Describe(fields_, record);
    const auto at = static_cast<std::int64_t>(in_.offset());
    record.child_count = in_.ReadLong();
    if (in_.ok() && record.child_count < 0) {
        in_.Fail("child count is negative (" + std::to_string(record.child_count) + ")", at);
    }
    if (!in_.ok()) return 0;
    if constexpr (std::is_same_v<Record, TeraChunk>) record.present = true;
    const std::int64_t end = body + record.chunk_size;
    if (record.child_count > 0) {
        open_.push_back({tag, tag_offset, end, record.child_count});
    } else {
        Finish(tag, tag_offset, end);
    }
    return record.child_count;
}

void TrackDecoder::Finish(const std::string& tag, std::int64_t tag_offset, std::int64_t end) {
    const auto here = static_cast<std::int64_t>(in_.offset());
    if (here > end) {
        in_.Fail("chunk '" + tag + "' at offset " + std::to_string(tag_offset) + " declares " +
                     std::to_string(end - tag_offset - 8) + " bytes but takes " + std::to_string(here - tag_offset - 8),
                 tag_offset);
        return;
    }
    if (here < end) {
        // A newer writer's extra fields: keep what we know, step over the rest.
        if (end - here > static_cast<std::int64_t>(in_.remaining())) {
            in_.Fail("chunk '" + tag + "' at offset " + std::to_string(tag_offset) + " has size " +
                         std::to_string(end - tag_offset - 8) + ", beyond the end of the file",
                     tag_offset);
            return;
        }
        in_.Skip(end - here);
        if (skipped_ != nullptr) skipped_->push_back({tag, here, end - here, true});
    }
    ChildDone();
}

void TrackDecoder::ChildDone() {
    if (open_.empty()) return;
    if (--open_.back().children > 0) return;
    const Open parent = open_.back();
    open_.pop_back();
    Finish(parent.tag, parent.tag_offset, parent.end);
}

void TrackDecoder::SkipUnknown(const std::string& tag, std::int64_t tag_offset) {
    const auto at = static_cast<std::int64_t>(in_.offset());
    const Long size = in_.ReadLong();
    if (!in_.ok()) return;
    if (size < 0 || static_cast<std::uint64_t>(size) > in_.remaining()) {
        in_.Fail("chunk '" + tag + "' at offset " + std::to_string(tag_offset) + " has size " + std::to_string(size) +
                     ", beyond the end of the file",
                 at);
        return;
    }
    in_.Skip(size);
    if (skipped_ != nullptr) skipped_->push_back({tag, tag_offset, 8 + static_cast<std::int64_t>(size), false});
    ChildDone();
}

bool TrackDecoder::Decode() {
    if (in_.ReadTag() != "NLIM") {
        if (in_.ok()) in_.Fail("the file does not start with an NLIM chunk", 0);
        return false;
    }
    t_.chunk_size = in_.ReadLong();
    Describe(fields_, t_);
    const auto at = static_cast<std::int64_t>(in_.offset());
    t_.child_count = in_.ReadLong();
    if (in_.ok() && t_.child_count < 0) in_.Fail("child count is negative (" + std::to_string(t_.child_count) + ")", at);
    seen_[0] = true;
    // The file's end frames NLIM, whatever its size says; its children are
    // held to their sizes.

    // Every chunk adds its children to the chunks still to visit, so one loop
    // walks the depth-first tree whatever its shape. Each pass consumes at
    // least eight bytes or fails, which bounds the loop by the file size.
    std::int64_t remaining = t_.child_count;
    while (remaining > 0 && in_.ok()) {
        const auto tag_offset = static_cast<std::int64_t>(in_.offset());
        const std::string tag = in_.ReadTag();
        if (!in_.ok()) break;
        Long children = 0;
        bool known = false;
        ForEachChunk(t_, [&](ChunkId id, auto& record) {
            if (known || id == ChunkId::kNlim || tag != KindOf(id).tag) return;
            known = true;
            children = ReadKnown(id, record, tag_offset);
        });
        if (!known) SkipUnknown(tag, tag_offset);
        remaining += static_cast<std::int64_t>(children) - 1;
    }
    return in_.ok();
}

// A whole file in memory, in pages populated at once (BulkAllocator). The
// file is read, not mapped, so that one shortened by another program while it
// is read fails the read instead of the process.
class FileImage {
public:
    std::span<const std::uint8_t> bytes() const { return {bytes_.data(), bytes_.size()}; }

    bool Load(const std::filesystem::path& path, std::string& why) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            why = std::strerror(errno);
            return false;
        }
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (ec) {
            why = ec.message();
            return false;
        }
        if (size > std::uintmax_t{1} << 40) {
            why = "the file is too large to be a track";
            return false;
        }
        bytes_.resize(static_cast<std::size_t>(size));
        if (size > 0 && !file.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(size))) {
            why = "the file could not be read whole";
            return false;
        }
        return true;
    }

private:
    std::vector<std::uint8_t, BulkAllocator<std::uint8_t>> bytes_;
};

}  // namespace

bool ReadTrackBytes(std::span<const std::uint8_t> bytes, Track& track, TrackIoError* error,
                    std::vector<SkippedChunk>* skipped) {
    ResetTrack(track);
    if (skipped != nullptr) skipped->clear();
    ChunkReader in(bytes);
    TrackDecoder decoder(in, track, skipped);
    if (decoder.Decode()) return true;
    if (error != nullptr) {
        error->message = in.error_message();
        error->offset = in.error_offset();
    }
    return false;
}

bool ReadTrackFile(const std::string& path, Track& track, TrackIoError* error, std::vector<SkippedChunk>* skipped) {
    auto refuse = [error](std::string message) {
        if (error != nullptr) {
            error->message = std::move(message);
            error->offset = -1;
        }
        return false;
    };
    if (path.empty()) return refuse("no file name given");
    std::error_code ec;
    const std::filesystem::path fs_path(path);
    if (!std::filesystem::exists(fs_path, ec)) return refuse(path + ": no such file");
    if (!HasTrackExtension(path)) return refuse(path + ": the name does not end in \".nltrack\"");

    if (std::filesystem::is_directory(fs_path, ec)) return refuse(path + ": is a folder, not a file");

    ResetTrack(track);
    FileImage image;
    std::string why;
    if (!image.Load(fs_path, why)) return refuse(path + ": " + why);
    return ReadTrackBytes(image.bytes(), track, error, skipped);
}

}  // namespace torvix::track
