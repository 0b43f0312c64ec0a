#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "track/chunk_cursor.h"
#include "track/track_io.h"
#include "track/track_path.h"

namespace torvix {

namespace {

// The count field decides how many elements are written. A negative count
// writes none; elements missing from a shorter array are written as zeros so
// that the sizes still agree with the bytes.
std::size_t CountOf(Long count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }

template <typename T>
const T& ElementOr(const std::vector<T>& items, std::size_t i) {
    static const T kEmpty{};
    return i < items.size() ? items[i] : kEmpty;
}

std::int64_t TeraCells(const TeraChunk& c) {
    if (c.rows <= 0 || c.columns <= 0) return 0;
    return static_cast<std::int64_t>(c.rows) * c.columns;
}

std::int64_t SegmentBytes(Long type) {
    switch (type) {
        case 0: return 37;
        case 1: return 163;
        case 2: return 73;
        case 3: return 65;
        case 4: return 87;
        default: return 33;
    }
}

Long BlockSize(Long type) {
    switch (type) {
        case 1: return 126;
        case 2: return 36;
        case 3: return 28;
        case 4: return 50;
        default: return 0;
    }
}

std::int64_t Len(const Text& text) { return static_cast<std::int64_t>(text.size()); }

void SetChildCounts(Track& t) {
    t.child_count = t.tera.present ? 4 : 3;
    t.trck.child_count = 4;
    t.supp.child_count = 5;
    t.scen.child_count = 1;
    t.info.child_count = 0;
    t.bezr.child_count = 0;
    t.segm.child_count = 0;
    t.fund.child_count = 0;
    t.rasc.child_count = 0;
    t.fren.child_count = 0;
    t.tube.child_count = 0;
    t.catw.child_count = 0;
    t.scob.child_count = 0;
    t.tera.child_count = 0;
    t.envc.child_count = 0;
}

void WriteOptionalText(ChunkWriter& out, const Text& text) {
    out.WriteLong(static_cast<Long>(text.size()));
    if (!text.empty()) out.WriteText(text);
}

void WriteTrck(ChunkWriter& out, const TrckChunk& c) {
    out.WriteTag("TRCK");
    out.WriteLong(c.chunk_size);
    out.WriteLong(c.long_1);
    out.WriteLong(c.entry_count);
    out.WriteLong(c.long_2);
    for (std::size_t i = 0; i < CountOf(c.entry_count); ++i) {
        const TrckEntry& e = ElementOr(c.entries, i);
        out.WriteBool(e.flag);
        out.WriteZeros(7);
        WriteOptionalText(out, e.name);
        for (Colour col : e.colors) out.WriteColor(col);
    }
    for (Colour col : c.colors) out.WriteColor(col);
    out.WriteZeros(16);
    out.WriteLong(c.child_count);
}

void WriteInfo(ChunkWriter& out, const InfoChunk& c) {
    out.WriteTag("INFO");
    out.WriteLong(c.chunk_size);
    out.WriteZeros(16);
    WriteOptionalText(out, c.info_text);
    out.WriteLong(c.child_count);
}

void WriteBezr(ChunkWriter& out, const BezrChunk& c) {
    out.WriteTag("BEZR");
    out.WriteLong(c.chunk_size);
    out.WriteZeros(16);
    out.WriteLong(c.vertex_count);
    for (std::size_t i = 0; i < CountOf(c.vertex_count); ++i) {
        const BezierVertex& v = ElementOr(c.vertices, i);
        out.WriteVector(v.position);
        out.WriteVector(v.control_prev);
        out.WriteVector(v.control_next);
        out.WriteSingle(v.roll);
        out.WriteBool(v.roll_flag);
        out.WriteBool(v.flag_3);
        out.WriteBool(v.relative_roll);
        out.WriteZeros(17);
    }
    out.WriteZeros(16);
    out.WriteLong(c.child_count);
}

void WriteSegment(ChunkWriter& out, const Segment& s) {
    out.WriteLong(s.segment_type);
    out.WriteBool(s.flag_1);
    out.WriteColor(s.color_1);
    out.WriteColor(s.color_2);
    out.WriteColor(s.color_3);
    out.WriteBool(s.flag_2);
    out.WriteZeros(15);
    if (s.segment_type < 0 || s.segment_type > 4) return;
    out.WriteLong(BlockSize(s.segment_type));
    switch (s.segment_type) {
        case 1:
            out.WriteSingle(s.t1_single_1);
            out.WriteSingle(s.t1_single_2);
            out.WriteSingle(s.t1_single_3);
            out.WriteSingle(s.t1_single_4);
            out.WriteByte(s.t1_byte_1);
            out.WriteByte(s.t1_byte_2);
            out.WriteBool(s.t1_flag_1);
            out.WriteByte(s.t1_byte_3);
            out.WriteSingle(s.t1_single_5);
            out.WriteZeros(4);
            out.WriteBool(s.t1_flag_3);
            out.WriteSingle(s.t1_single_9);
            out.WriteZeros(4);
            out.WriteSingle(s.t1_single_10);
            out.WriteSingle(s.t1_single_11);
            out.WriteZeros(4);
            out.WriteBool(s.t1_flag_2);
            out.WriteSingle(s.t1_single_6);
            out.WriteSingle(s.t1_single_7);
            out.WriteSingle(s.t1_single_8);
            out.WriteZeros(64);
            break;
        case 2:
            out.WriteZeros(3);
            out.WriteByte(s.t2_byte_1);
            out.WriteSingle(s.t2_single_1);
            out.WriteSingle(s.t2_single_2);
            out.WriteSingle(s.t2_single_3);
            out.WriteZeros(4);
            out.WriteBool(s.t2_flag_1);
            out.WriteBool(s.t2_flag_2);
            out.WriteZeros(14);
            break;
        case 3:
            out.WriteSingle(s.t3_single_1);
            out.WriteSingle(s.t3_single_2);
            out.WriteSingle(s.t3_single_3);
            out.WriteZeros(3);
            out.WriteByte(s.t3_byte_1);
            out.WriteBool(s.t3_flag_1);
            out.WriteBool(s.t3_flag_2);
            out.WriteZeros(10);
            break;
        case 4:
            out.WriteSingle(s.t4_single_1);
            out.WriteSingle(s.t4_single_2);
            out.WriteSingle(s.t4_single_3);
            out.WriteZeros(4);
            out.WriteSingle(s.t4_single_7);
            out.WriteBool(s.t4_flag_1);
            out.WriteBool(s.t4_flag_3);
            out.WriteSingle(s.t4_single_4);
            out.WriteSingle(s.t4_single_5);
            out.WriteSingle(s.t4_single_6);
            out.WriteBool(s.t4_flag_4);
            out.WriteBool(s.t4_flag_5);
            out.WriteBool(s.t4_flag_2);
            out.WriteZeros(13);
            break;
        default:
            break;
    }
}

void WriteSegm(ChunkWriter& out, const SegmChunk& c) {
    out.WriteTag("SEGM");
    out.WriteLong(c.chunk_size);
    out.WriteLong(c.segment_count);
    out.WriteBool(c.flag);
    out.WriteZeros(16);
    for (std::size_t i = 0; i < CountOf(c.segment_count); ++i) WriteSegment(out, ElementOr(c.segments, i));
    out.WriteZeros(16);
    out.WriteLong(c.child_count);
}

void WriteSupp(ChunkWriter& out, const SuppChunk& c) {
    out.WriteTag("SUPP");
    out.WriteLong(c.chunk_size);
    out.WriteZeros(32);
    out.WriteLong(c.child_count);
}

// FUND, RASC, FREN, TUBE, CATW, SCEN and SCOB share their framing.
template <typename Chunk, typename WriteEntry>
void WriteListChunk(ChunkWriter& out, const char* tag, const Chunk& c, WriteEntry write_entry) {
    out.WriteTag(tag);
    out.WriteLong(c.chunk_size);
    out.WriteZeros(16);
    out.WriteLong(c.entry_count);
    for (std::size_t i = 0; i < CountOf(c.entry_count); ++i) write_entry(ElementOr(c.entries, i));
    out.WriteZeros(16);
    out.WriteLong(c.child_count);
}

void WriteTera(ChunkWriter& out, const TeraChunk& c) {
    out.WriteTag("TERA");
    out.WriteLong(c.chunk_size);
    out.WriteLong(c.columns);
    out.WriteLong(c.rows);
    out.WriteSingle(c.single_1);
    out.WriteSingle(c.single_2);
    out.WriteLong(static_cast<Long>(c.text_1.size()));
    out.WriteText(c.text_1);
    out.WriteSingle(c.single_3);
    out.WriteLong(static_cast<Long>(c.text_2.size()));
    out.WriteText(c.text_2);
    out.WriteSingle(c.single_4);
    out.WriteBool(c.flag_1);
    out.WriteZeros(4);
    out.WriteLong(static_cast<Long>(c.text_3.size()));
    out.WriteText(c.text_3);
    out.WriteSingle(c.single_5);
    out.WriteByte(c.byte_1);
    out.WriteZeros(15);
    const auto cells = static_cast<std::size_t>(TeraCells(c));
    const std::size_t stored = std::min(cells, c.heights.size());
    out.WriteSingles(c.heights.data(), stored);
    out.WriteZeros(4 * (cells - stored));
    out.WriteZeros(16);
    out.WriteLong(c.child_count);
}

void WriteEnvc(ChunkWriter& out, const EnvcChunk& c) {
    out.WriteTag("ENVC");
    out.WriteLong(c.chunk_size);
    out.WriteZeros(16);
    WriteOptionalText(out, c.text_1);
    WriteOptionalText(out, c.text_2);
    out.WriteZeros(16);
    out.WriteLong(c.child_count);
}

void WriteTrack(ChunkWriter& out, const Track& t) {
    out.WriteTag("NLIM");
    out.WriteLong(t.chunk_size);
    for (Byte b : {1, 3, 0, 0}) out.WriteByte(b);
    out.WriteZeros(16);
    out.WriteLong(t.child_count);

    WriteTrck(out, t.trck);
    WriteInfo(out, t.info);
    WriteBezr(out, t.bezr);
    WriteSegm(out, t.segm);
    WriteSupp(out, t.supp);
    WriteListChunk(out, "FUND", t.fund, [&out](const FundEntry& e) {
        out.WriteBool(e.flag_1);
        out.WriteSingle(e.single_1);
        out.WriteBool(e.flag_2);
        out.WriteSingle(e.single_2);
        out.WriteZeros(6);
        out.WriteVector(e.point);
        out.WriteZeros(64);
    });
    WriteListChunk(out, "RASC", t.rasc, [&out](const RascEntry& e) {
        out.WriteLong(e.pair_count);
        for (std::size_t i = 0; i < CountOf(e.pair_count); ++i) {
            const RascPair& p = ElementOr(e.pairs, i);
            out.WriteLong(p.long_1);
            out.WriteSingle(p.single_1);
            out.WriteZeros(16);
        }
    });
    WriteListChunk(out, "FREN", t.fren, [&out](const FrenEntry& e) {
        out.WriteVector(e.point);
        out.WriteZeros(16);
    });
    WriteListChunk(out, "TUBE", t.tube, [&out](const TubeEntry& e) {
        out.WriteLong(e.long_1);
        out.WriteLong(e.long_3);
        out.WriteLong(e.long_2);
        out.WriteZeros(4);
        out.WriteLong(e.long_4);
        out.WriteLong(e.long_6);
        out.WriteLong(e.long_5);
        out.WriteZeros(4);
        out.WriteLong(e.long_7);
        out.WriteLong(e.long_8);
        out.WriteSingle(e.single_1);
        out.WriteZeros(4);
    });
    WriteListChunk(out, "CATW", t.catw, [&out](const CatwEntry& e) {
        for (Long v : {e.long_1, e.long_2, e.long_3, e.long_4, e.long_5, e.long_6}) out.WriteLong(v);
        out.WriteLong(e.tail_length);
        out.WriteZeros(CountOf(e.tail_length));
    });
    WriteListChunk(out, "SCEN", t.scen, [&out](const ScenEntry& e) {
        out.WriteSingle(e.single_1);
        out.WriteSingle(e.single_2);
        out.WriteSingle(e.single_3);
        out.WriteLong(e.long_1);
        out.WriteSingle(e.single_4);
        out.WriteZeros(44);
    });
    WriteListChunk(out, "SCOB", t.scob, [&out](const ScobEntry& e) {
        static constexpr int kSingleOrder[15] = {0, 1, 2, 9, 3, 4, 5, 10, 6, 7, 8, 11, 12, 13, 14};
        out.WriteLong(static_cast<Long>(e.text_2.size()));
        out.WriteText(e.text_2);
        out.WriteLong(static_cast<Long>(e.text_1.size()));
        out.WriteText(e.text_1);
        for (int index : kSingleOrder) out.WriteSingle(e.singles[index]);
        out.WriteZeros(20);
    });
    if (t.tera.present) WriteTera(out, t.tera);
    WriteEnvc(out, t.envc);
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

void ComputeChunkSizes(Track& t) {
    const auto set = [](Long& field, std::int64_t value) { field = static_cast<Long>(value); };

    const std::int64_t envc = 44 + Len(t.envc.text_1) + Len(t.envc.text_2);
    set(t.envc.chunk_size, envc);

    std::int64_t tera = 0;
    if (t.tera.present) {
        tera = 81 + Len(t.tera.text_1) + Len(t.tera.text_2) + Len(t.tera.text_3) + 4 * TeraCells(t.tera);
        set(t.tera.chunk_size, tera);
    }

    std::int64_t scob = 40;
    for (std::size_t i = 0; i < CountOf(t.scob.entry_count); ++i) {
        const ScobEntry& e = ElementOr(t.scob.entries, i);
        scob += 88 + Len(e.text_1) + Len(e.text_2);
    }
    set(t.scob.chunk_size, scob);
    const std::int64_t scen = 48 + 64 * static_cast<std::int64_t>(CountOf(t.scen.entry_count)) + scob;
    set(t.scen.chunk_size, scen);

    std::int64_t catw = 40;
    for (std::size_t i = 0; i < CountOf(t.catw.entry_count); ++i) {
        catw += 28 + static_cast<std::int64_t>(CountOf(ElementOr(t.catw.entries, i).tail_length));
    }
    set(t.catw.chunk_size, catw);
    const std::int64_t tube = 40 + 48 * static_cast<std::int64_t>(CountOf(t.tube.entry_count));
    set(t.tube.chunk_size, tube);
    const std::int64_t fren = 40 + 28 * static_cast<std::int64_t>(CountOf(t.fren.entry_count));
    set(t.fren.chunk_size, fren);
    std::int64_t rasc = 40;
    for (std::size_t i = 0; i < CountOf(t.rasc.entry_count); ++i) {
        rasc += 4 + 24 * static_cast<std::int64_t>(CountOf(ElementOr(t.rasc.entries, i).pair_count));
    }
    set(t.rasc.chunk_size, rasc);
    const std::int64_t fund = 40 + 92 * static_cast<std::int64_t>(CountOf(t.fund.entry_count));
    set(t.fund.chunk_size, fund);
    const std::int64_t supp = 76 + fund + rasc + fren + tube + catw;
    set(t.supp.chunk_size, supp);

    std::int64_t segm = 41;
    for (std::size_t i = 0; i < CountOf(t.segm.segment_count); ++i) {
        segm += SegmentBytes(ElementOr(t.segm.segments, i).segment_type);
    }
    set(t.segm.chunk_size, segm);
    const std::int64_t bezr = 40 + 60 * static_cast<std::int64_t>(CountOf(t.bezr.vertex_count));
    set(t.bezr.chunk_size, bezr);
    const std::int64_t info = 24 + Len(t.info.info_text);
    set(t.info.chunk_size, info);

    std::int64_t trck = 96 + info + bezr + segm + supp;
    for (std::size_t i = 0; i < CountOf(t.trck.entry_count); ++i) trck += 28 + Len(ElementOr(t.trck.entries, i).name);
    set(t.trck.chunk_size, trck);

    std::int64_t nlim = 48 + trck + scen + envc;
    if (t.tera.present) nlim += 8 + tera;
    set(t.chunk_size, nlim);
}

std::vector<std::uint8_t> EncodeTrack(Track& track) {
    SetChildCounts(track);
    ComputeChunkSizes(track);
    // NLIM's size counts everything after its first eight bytes.
    ChunkWriter out(static_cast<std::size_t>(static_cast<std::uint32_t>(track.chunk_size)) + 8);
    WriteTrack(out, track);
    return out.Release();
}

bool WriteTrackFile(const std::string& path, Track& track, TrackIoError* error) {
    if (path.empty()) return Report(error, "no file name given");
    const std::vector<std::uint8_t> image = EncodeTrack(track);
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
    if (::stat(target.c_str(), &old_stat) == 0 && S_ISREG(old_stat.st_mode)) {
        ::fchmod(fd, old_stat.st_mode & 07777);
    }

    std::size_t written = 0;
    while (written < image.size()) {
        const ssize_t n = ::write(fd, image.data() + written, image.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon("cannot write", errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return abandon("cannot flush", errno);
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
