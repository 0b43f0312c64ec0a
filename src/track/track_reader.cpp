#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "track/chunk_cursor.h"
#include "track/track_io.h"
#include "track/track_path.h"

namespace torvix {

namespace {

// Smallest number of bytes one element of each array takes in the file; a
// count is accepted only when that many elements can still fit, so a corrupt
// count fails before anything is allocated.
constexpr std::int64_t kMinTrckEntry = 28;
constexpr std::int64_t kVertexBytes = 60;
constexpr std::int64_t kMinSegment = 33;
constexpr std::int64_t kFundEntry = 92;
constexpr std::int64_t kMinRascEntry = 4;
constexpr std::int64_t kRascPair = 24;
constexpr std::int64_t kFrenEntry = 28;
constexpr std::int64_t kTubeEntry = 48;
constexpr std::int64_t kMinCatwEntry = 28;
constexpr std::int64_t kScenEntry = 64;
constexpr std::int64_t kMinScobEntry = 88;

class TrackDecoder {
public:
    TrackDecoder(ChunkReader& in, Track& track) : in_(in), t_(track) {}

    bool Decode();

private:
    // Reads a count field and checks it against the bytes left; 0 on failure.
    std::size_t ReadCount(Long& field, std::int64_t min_bytes_each, const char* what);
    // Text whose length field of 0 or less means an empty text.
    Text ReadOptionalText();
    // Text whose length must not be negative.
    Text ReadStrictText(const char* what);
    void ReadChildCount(Long& field);

    void ReadTrck();
    void ReadInfo();
    void ReadBezr();
    void ReadSegm();
    void ReadSegment(Segment& s);
    void ReadSupp();
    void ReadFund();
    void ReadRasc();
    void ReadFren();
    void ReadTube();
    void ReadCatw();
    void ReadScen();
    void ReadScob();
    void ReadTera();
    void ReadEnvc();
    void SkipUnknown(const std::string& tag, std::int64_t tag_offset);

    // Dispatches one chunk after its tag; returns its child count (0 for an
    // unknown chunk, whose children lie inside the skipped bytes).
    Long ReadChunk(const std::string& tag, std::int64_t tag_offset);

    ChunkReader& in_;
    Track& t_;
};

std::size_t TrackDecoder::ReadCount(Long& field, std::int64_t min_bytes_each, const char* what) {
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

Text TrackDecoder::ReadOptionalText() {
    const Long n = in_.ReadLong();
    if (n <= 0) return {};
    return in_.ReadText(n);
}

Text TrackDecoder::ReadStrictText(const char* what) {
    const auto at = static_cast<std::int64_t>(in_.offset());
    const Long n = in_.ReadLong();
    if (n < 0) {
        in_.Fail(std::string(what) + " length is negative (" + std::to_string(n) + ")", at);
        return {};
    }
    return in_.ReadText(n);
}

void TrackDecoder::ReadChildCount(Long& field) {
    const auto at = static_cast<std::int64_t>(in_.offset());
    field = in_.ReadLong();
    if (in_.ok() && field < 0) in_.Fail("child count is negative (" + std::to_string(field) + ")", at);
}

void TrackDecoder::ReadTrck() {
    TrckChunk& c = t_.trck;
    c.chunk_size = in_.ReadLong();
    c.long_1 = in_.ReadLong();
    const std::size_t n = ReadCount(c.entry_count, kMinTrckEntry, "TRCK entry count");
    c.long_2 = in_.ReadLong();
    c.entries.assign(n, TrckEntry{});
    for (TrckEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.flag = in_.ReadBool();
        in_.Skip(7);
        e.name = ReadOptionalText();
        for (Colour& col : e.colors) col = in_.ReadColor();
    }
    for (Colour& col : c.colors) col = in_.ReadColor();
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadInfo() {
    InfoChunk& c = t_.info;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.info_text = ReadOptionalText();
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadBezr() {
    BezrChunk& c = t_.bezr;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    const std::size_t n = ReadCount(c.vertex_count, kVertexBytes, "BEZR vertex count");
    c.vertices.assign(n, BezierVertex{});
    for (BezierVertex& v : c.vertices) {
        if (!in_.ok()) return;
        v.position = in_.ReadVector();
        v.control_prev = in_.ReadVector();
        v.control_next = in_.ReadVector();
        v.roll = in_.ReadSingle();
        v.roll_flag = in_.ReadBool();
        v.flag_3 = in_.ReadBool();
        v.relative_roll = in_.ReadBool();
        in_.Skip(17);
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadSegment(Segment& s) {
    s.segment_type = in_.ReadLong();
    s.flag_1 = in_.ReadBool();
    s.color_1 = in_.ReadColor();
    s.color_2 = in_.ReadColor();
    s.color_3 = in_.ReadColor();
    s.flag_2 = in_.ReadBool();
    in_.Skip(15);
    if (s.segment_type < 0 || s.segment_type > 4) return;  // no block size, no block
    in_.Skip(4);  // block size: implied by the type
    switch (s.segment_type) {
        case 1:
            s.t1_single_1 = in_.ReadSingle();
            s.t1_single_2 = in_.ReadSingle();
            s.t1_single_3 = in_.ReadSingle();
            s.t1_single_4 = in_.ReadSingle();
            s.t1_byte_1 = in_.ReadByte();
            s.t1_byte_2 = in_.ReadByte();
            s.t1_flag_1 = in_.ReadBool();
            s.t1_byte_3 = in_.ReadByte();
            s.t1_single_5 = in_.ReadSingle();
            in_.Skip(4);
            s.t1_flag_3 = in_.ReadBool();
            s.t1_single_9 = in_.ReadSingle();
            in_.Skip(4);
            s.t1_single_10 = in_.ReadSingle();
            s.t1_single_11 = in_.ReadSingle();
            in_.Skip(4);
            s.t1_flag_2 = in_.ReadBool();
            s.t1_single_6 = in_.ReadSingle();
            s.t1_single_7 = in_.ReadSingle();
            s.t1_single_8 = in_.ReadSingle();
            in_.Skip(64);
            break;
        case 2:
            in_.Skip(3);
            s.t2_byte_1 = in_.ReadByte();
            s.t2_single_1 = in_.ReadSingle();
            s.t2_single_2 = in_.ReadSingle();
            s.t2_single_3 = in_.ReadSingle();
            in_.Skip(4);
            s.t2_flag_1 = in_.ReadBool();
            s.t2_flag_2 = in_.ReadBool();
            in_.Skip(14);
            break;
        case 3:
            s.t3_single_1 = in_.ReadSingle();
            s.t3_single_2 = in_.ReadSingle();
            s.t3_single_3 = in_.ReadSingle();
            in_.Skip(3);
            s.t3_byte_1 = in_.ReadByte();
            s.t3_flag_1 = in_.ReadBool();
            s.t3_flag_2 = in_.ReadBool();
            in_.Skip(10);
            break;
        case 4:
            s.t4_single_1 = in_.ReadSingle();
            s.t4_single_2 = in_.ReadSingle();
            s.t4_single_3 = in_.ReadSingle();
            in_.Skip(4);
            s.t4_single_7 = in_.ReadSingle();
            s.t4_flag_1 = in_.ReadBool();
            s.t4_flag_3 = in_.ReadBool();
            s.t4_single_4 = in_.ReadSingle();
            s.t4_single_5 = in_.ReadSingle();
            s.t4_single_6 = in_.ReadSingle();
            s.t4_flag_4 = in_.ReadBool();
            s.t4_flag_5 = in_.ReadBool();
            s.t4_flag_2 = in_.ReadBool();
            in_.Skip(13);
            break;
        default:
            break;
    }
}

void TrackDecoder::ReadSegm() {
    SegmChunk& c = t_.segm;
    c.chunk_size = in_.ReadLong();
    const std::size_t n = ReadCount(c.segment_count, kMinSegment, "SEGM segment count");
    c.flag = in_.ReadBool();
    in_.Skip(16);
    c.segments.assign(n, Segment{});
    for (Segment& s : c.segments) {
        if (!in_.ok()) return;
        ReadSegment(s);
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadSupp() {
    SuppChunk& c = t_.supp;
    c.chunk_size = in_.ReadLong();
    in_.Skip(32);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadFund() {
    FundChunk& c = t_.fund;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.entries.assign(ReadCount(c.entry_count, kFundEntry, "FUND entry count"), FundEntry{});
    for (FundEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.flag_1 = in_.ReadBool();
        e.single_1 = in_.ReadSingle();
        e.flag_2 = in_.ReadBool();
        e.single_2 = in_.ReadSingle();
        in_.Skip(6);
        e.point = in_.ReadVector();
        in_.Skip(64);
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadRasc() {
    RascChunk& c = t_.rasc;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.entries.assign(ReadCount(c.entry_count, kMinRascEntry, "RASC entry count"), RascEntry{});
    for (RascEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.pairs.assign(ReadCount(e.pair_count, kRascPair, "RASC pair count"), RascPair{});
        for (RascPair& p : e.pairs) {
            p.long_1 = in_.ReadLong();
            p.single_1 = in_.ReadSingle();
            in_.Skip(16);
        }
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadFren() {
    FrenChunk& c = t_.fren;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.entries.assign(ReadCount(c.entry_count, kFrenEntry, "FREN entry count"), FrenEntry{});
    for (FrenEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.point = in_.ReadVector();
        in_.Skip(16);
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadTube() {
    TubeChunk& c = t_.tube;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.entries.assign(ReadCount(c.entry_count, kTubeEntry, "TUBE entry count"), TubeEntry{});
    for (TubeEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.long_1 = in_.ReadLong();
        e.long_3 = in_.ReadLong();
        e.long_2 = in_.ReadLong();
        in_.Skip(4);
        e.long_4 = in_.ReadLong();
        e.long_6 = in_.ReadLong();
        e.long_5 = in_.ReadLong();
        in_.Skip(4);
        e.long_7 = in_.ReadLong();
        e.long_8 = in_.ReadLong();
        e.single_1 = in_.ReadSingle();
        in_.Skip(4);
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadCatw() {
    CatwChunk& c = t_.catw;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.entries.assign(ReadCount(c.entry_count, kMinCatwEntry, "CATW entry count"), CatwEntry{});
    for (CatwEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.long_1 = in_.ReadLong();
        e.long_2 = in_.ReadLong();
        e.long_3 = in_.ReadLong();
        e.long_4 = in_.ReadLong();
        e.long_5 = in_.ReadLong();
        e.long_6 = in_.ReadLong();
        in_.Skip(static_cast<std::int64_t>(ReadCount(e.tail_length, 1, "CATW tail length")));
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadScen() {
    ScenChunk& c = t_.scen;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.entries.assign(ReadCount(c.entry_count, kScenEntry, "SCEN entry count"), ScenEntry{});
    for (ScenEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.single_1 = in_.ReadSingle();
        e.single_2 = in_.ReadSingle();
        e.single_3 = in_.ReadSingle();
        e.long_1 = in_.ReadLong();
        e.single_4 = in_.ReadSingle();
        in_.Skip(44);
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadScob() {
    // File order of the fifteen Singles, as indices into ScobEntry::singles.
    static constexpr int kSingleOrder[15] = {0, 1, 2, 9, 3, 4, 5, 10, 6, 7, 8, 11, 12, 13, 14};
    ScobChunk& c = t_.scob;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.entries.assign(ReadCount(c.entry_count, kMinScobEntry, "SCOB entry count"), ScobEntry{});
    for (ScobEntry& e : c.entries) {
        if (!in_.ok()) return;
        e.text_2 = ReadStrictText("SCOB text_2");
        e.text_1 = ReadStrictText("SCOB text_1");
        for (int index : kSingleOrder) e.singles[index] = in_.ReadSingle();
        in_.Skip(20);
    }
    in_.Skip(16);
    ReadChildCount(c.child_count);
}

void TrackDecoder::ReadTera() {
    TeraChunk& c = t_.tera;
    c.chunk_size = in_.ReadLong();
    const auto columns_at = static_cast<std::int64_t>(in_.offset());
    c.columns = in_.ReadLong();
    c.rows = in_.ReadLong();
    if (!in_.ok()) return;
    if (c.columns < 0 || c.rows < 0) {
        in_.Fail("TERA grid size is negative (" + std::to_string(c.columns) + " x " + std::to_string(c.rows) + ")",
                 columns_at);
        return;
    }
    // Both factors are below 2^31, so the product fits in 64 bits.
    const std::int64_t cells = static_cast<std::int64_t>(c.rows) * c.columns;
    if (cells > static_cast<std::int64_t>(in_.remaining()) / 4) {
        in_.Fail("TERA grid " + std::to_string(c.columns) + " x " + std::to_string(c.rows) +
                     " runs past the end of the file",
                 columns_at);
        return;
    }
    c.single_1 = in_.ReadSingle();
    c.single_2 = in_.ReadSingle();
    c.text_1 = ReadStrictText("TERA text_1");
    c.single_3 = in_.ReadSingle();
    c.text_2 = ReadStrictText("TERA text_2");
    c.single_4 = in_.ReadSingle();
    c.flag_1 = in_.ReadBool();
    in_.Skip(4);
    c.text_3 = ReadStrictText("TERA text_3");
    c.single_5 = in_.ReadSingle();
    c.byte_1 = in_.ReadByte();
    in_.Skip(15);
    if (!in_.ok()) return;
    // The texts may have used up bytes the grid needs; ReadSingles refuses then.
    if (cells > static_cast<std::int64_t>(in_.remaining()) / 4) {
        in_.Fail("TERA grid runs past the end of the file");
        return;
    }
    c.heights.resize(static_cast<std::size_t>(cells));
    in_.ReadSingles(c.heights.data(), c.heights.size());
    in_.Skip(16);
    ReadChildCount(c.child_count);
    c.present = true;
}

void TrackDecoder::ReadEnvc() {
    EnvcChunk& c = t_.envc;
    c.chunk_size = in_.ReadLong();
    in_.Skip(16);
    c.text_1 = ReadOptionalText();
    c.text_2 = ReadOptionalText();
    in_.Skip(16);
    ReadChildCount(c.child_count);
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
}

Long TrackDecoder::ReadChunk(const std::string& tag, std::int64_t tag_offset) {
    if (tag == "TRCK") return ReadTrck(), t_.trck.child_count;
    if (tag == "INFO") return ReadInfo(), t_.info.child_count;
    if (tag == "BEZR") return ReadBezr(), t_.bezr.child_count;
    if (tag == "SEGM") return ReadSegm(), t_.segm.child_count;
    if (tag == "SUPP") return ReadSupp(), t_.supp.child_count;
    if (tag == "FUND") return ReadFund(), t_.fund.child_count;
    if (tag == "RASC") return ReadRasc(), t_.rasc.child_count;
    if (tag == "FREN") return ReadFren(), t_.fren.child_count;
    if (tag == "TUBE") return ReadTube(), t_.tube.child_count;
    if (tag == "CATW") return ReadCatw(), t_.catw.child_count;
    if (tag == "SCEN") return ReadScen(), t_.scen.child_count;
    if (tag == "SCOB") return ReadScob(), t_.scob.child_count;
    if (tag == "TERA") return ReadTera(), t_.tera.child_count;
    if (tag == "ENVC") return ReadEnvc(), t_.envc.child_count;
    SkipUnknown(tag, tag_offset);
    return 0;
}

bool TrackDecoder::Decode() {
    if (in_.ReadTag() != "NLIM") {
        if (in_.ok()) in_.Fail("the file does not start with an NLIM chunk", 0);
        return false;
    }
    t_.chunk_size = in_.ReadLong();
    for (Byte& b : t_.version) b = in_.ReadByte();
    in_.Skip(16);
    ReadChildCount(t_.child_count);

    // Every chunk adds its children to the chunks still to visit, so one loop
    // walks the depth-first tree whatever its shape. Each pass consumes at
    // least eight bytes or fails, which bounds the loop by the file size.
    std::int64_t remaining = t_.child_count;
    while (remaining > 0 && in_.ok()) {
        const auto tag_offset = static_cast<std::int64_t>(in_.offset());
        const std::string tag = in_.ReadTag();
        if (!in_.ok()) break;
        const Long children = ReadChunk(tag, tag_offset);
        remaining += static_cast<std::int64_t>(children) - 1;
    }
    return in_.ok();
}

}  // namespace

bool ReadTrackBytes(std::span<const std::uint8_t> bytes, Track& track, TrackIoError* error) {
    ResetTrack(track);
    ChunkReader in(bytes);
    TrackDecoder decoder(in, track);
    if (decoder.Decode()) return true;
    if (error != nullptr) {
        error->message = in.error_message();
        error->offset = in.error_offset();
    }
    return false;
}

bool ReadTrackFile(const std::string& path, Track& track, TrackIoError* error) {
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
    std::ifstream file(fs_path, std::ios::binary);
    if (!file) return refuse(path + ": " + std::strerror(errno));
    const std::uintmax_t size = std::filesystem::file_size(fs_path, ec);
    if (ec) return refuse(path + ": " + ec.message());
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        return refuse(path + ": the file could not be read whole");
    }
    return ReadTrackBytes(bytes, track, error);
}

}  // namespace torvix
