// The layout of every record of the track file, written once. Each Describe
// walks a record's own fields (between the chunk size and the child count)
// in file order and hands each one, with its name, to a visitor: the reader
// fills the record, the writer encodes it, the sizer counts its bytes and
// the JSON dump names it. A field added here is read, written, sized and
// dumped alike.
//
// A visitor provides:
//   Long / Single / Byte / Bool / Color / Vector (name, field)
//   Colors(name, std::array<Colour, N>&)      consecutive Colours
//   Version(name, std::array<Byte, 4>&)       NLIM version bytes
//   Reserved(n)                               n bytes nobody keeps
//   BlockSize(value)                          a Long implied by the record
//   OptionalText(name, text)                  length <= 0 reads as empty
//   StrictText(name, text, what)              negative length is corrupt
//   Count(name, field, items, what) -> n      a count of the array `items`
//   Items(name, items, n)                     n elements, each described
//   Tail(name, field)                         a length and that many bytes nobody keeps
//   Grid(columns, rows) -> cells, Heights(name, tera, cells)   the TERA grid
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "track/track.h"

namespace torvix::track {

template <class C, class T>
concept RecordOf = std::same_as<std::remove_const_t<C>, T>;

// The chunks this program knows, in the order it writes them, with the
// parent each one is written under.
enum class ChunkId : int { kNlim, kTrck, kInfo, kBezr, kSegm, kSupp, kFund, kRasc, kFren, kTube, kCatw, kScen,
                           kScob, kTera, kEnvc, kCount };
inline constexpr int kChunkKinds = static_cast<int>(ChunkId::kCount);

struct ChunkKind {
    const char* tag;
    const char* key;  // the record's name in the model (and the dump)
    ChunkId parent;   // kNlim's parent is itself
};

inline constexpr std::array<ChunkKind, kChunkKinds> kChunkKindsTable = {{
    {"NLIM", "", ChunkId::kNlim},
    {"TRCK", "trck", ChunkId::kNlim},
    {"INFO", "info", ChunkId::kTrck},
    {"BEZR", "bezr", ChunkId::kTrck},
    {"SEGM", "segm", ChunkId::kTrck},
    {"SUPP", "supp", ChunkId::kTrck},
    {"FUND", "fund", ChunkId::kSupp},
    {"RASC", "rasc", ChunkId::kSupp},
    {"FREN", "fren", ChunkId::kSupp},
    {"TUBE", "tube", ChunkId::kSupp},
    {"CATW", "catw", ChunkId::kSupp},
    {"SCEN", "scen", ChunkId::kNlim},
    {"SCOB", "scob", ChunkId::kScen},
    {"TERA", "tera", ChunkId::kNlim},
    {"ENVC", "envc", ChunkId::kNlim},
}};

inline const ChunkKind& KindOf(ChunkId id) { return kChunkKindsTable[static_cast<std::size_t>(id)]; }

// Calls f(id, record) for every chunk record of `t` (the Track itself for
// NLIM), in writing order.
template <class TrackT, class F>
void ForEachChunk(TrackT& t, F&& f) {
    f(ChunkId::kNlim, t);
    f(ChunkId::kTrck, t.trck);
    f(ChunkId::kInfo, t.info);
    f(ChunkId::kBezr, t.bezr);
    f(ChunkId::kSegm, t.segm);
    f(ChunkId::kSupp, t.supp);
    f(ChunkId::kFund, t.fund);
    f(ChunkId::kRasc, t.rasc);
    f(ChunkId::kFren, t.fren);
    f(ChunkId::kTube, t.tube);
    f(ChunkId::kCatw, t.catw);
    f(ChunkId::kScen, t.scen);
    f(ChunkId::kScob, t.scob);
    f(ChunkId::kTera, t.tera);
    f(ChunkId::kEnvc, t.envc);
}

// Whether the writer writes chunk `id` of `t` (TERA only when present).
inline bool IsWritten(const Track& t, ChunkId id) { return id != ChunkId::kTera || t.tera.present; }

// The size of a segment's type block, written before the block.
inline Long SegmentBlockSize(Long type) {
    switch (type) {
        case 1: return 126;
        case 2: return 36;
        case 3: return 28;
        case 4: return 50;
        default: return 0;
    }
}

// ---- entries ----

template <class V, RecordOf<TrckEntry> E>
void Describe(V& v, E& e) {
    v.Bool("flag", e.flag);
    v.Reserved(7);
    v.OptionalText("name", e.name);
    v.Colors("colors", e.colors);
}

template <class V, RecordOf<BezierVertex> E>
void Describe(V& v, E& e) {
    v.Vector("position", e.position);
    v.Vector("control_prev", e.control_prev);
    v.Vector("control_next", e.control_next);
    v.Single("roll", e.roll);
    v.Bool("roll_flag", e.roll_flag);
    v.Bool("flag_3", e.flag_3);
    v.Bool("relative_roll", e.relative_roll);
    v.Reserved(17);
}

template <class V, RecordOf<Segment> S>
void Describe(V& v, S& s) {
    v.Long("segment_type", s.segment_type);
    v.Bool("flag_1", s.flag_1);
    v.Color("color_1", s.color_1);
    v.Color("color_2", s.color_2);
    v.Color("color_3", s.color_3);
    v.Bool("flag_2", s.flag_2);
    v.Reserved(15);
    if (s.segment_type < 0 || s.segment_type > 4) return;  // no block size, no block
    v.BlockSize(SegmentBlockSize(s.segment_type));
    switch (s.segment_type) {
        case 1:
            v.Single("t1_single_1", s.t1_single_1);
            v.Single("t1_single_2", s.t1_single_2);
            v.Single("t1_single_3", s.t1_single_3);
            v.Single("t1_single_4", s.t1_single_4);
            v.Byte("t1_byte_1", s.t1_byte_1);
            v.Byte("t1_byte_2", s.t1_byte_2);
            v.Bool("t1_flag_1", s.t1_flag_1);
            v.Byte("t1_byte_3", s.t1_byte_3);
            v.Single("t1_single_5", s.t1_single_5);
            v.Reserved(4);
            v.Bool("t1_flag_3", s.t1_flag_3);
            v.Single("t1_single_9", s.t1_single_9);
            v.Reserved(4);
            v.Single("t1_single_10", s.t1_single_10);
            v.Single("t1_single_11", s.t1_single_11);
            v.Reserved(4);
            v.Bool("t1_flag_2", s.t1_flag_2);
            v.Single("t1_single_6", s.t1_single_6);
            v.Single("t1_single_7", s.t1_single_7);
            v.Single("t1_single_8", s.t1_single_8);
            v.Reserved(64);
            break;
        case 2:
            v.Reserved(3);
            v.Byte("t2_byte_1", s.t2_byte_1);
            v.Single("t2_single_1", s.t2_single_1);
            v.Single("t2_single_2", s.t2_single_2);
            v.Single("t2_single_3", s.t2_single_3);
            v.Reserved(4);
            v.Bool("t2_flag_1", s.t2_flag_1);
            v.Bool("t2_flag_2", s.t2_flag_2);
            v.Reserved(14);
            break;
        case 3:
            v.Single("t3_single_1", s.t3_single_1);
            v.Single("t3_single_2", s.t3_single_2);
            v.Single("t3_single_3", s.t3_single_3);
            v.Reserved(3);
            v.Byte("t3_byte_1", s.t3_byte_1);
            v.Bool("t3_flag_1", s.t3_flag_1);
            v.Bool("t3_flag_2", s.t3_flag_2);
            v.Reserved(10);
            break;
        case 4:
            v.Single("t4_single_1", s.t4_single_1);
            v.Single("t4_single_2", s.t4_single_2);
            v.Single("t4_single_3", s.t4_single_3);
            v.Reserved(4);
            v.Single("t4_single_7", s.t4_single_7);
            v.Bool("t4_flag_1", s.t4_flag_1);
            v.Bool("t4_flag_3", s.t4_flag_3);
            v.Single("t4_single_4", s.t4_single_4);
            v.Single("t4_single_5", s.t4_single_5);
            v.Single("t4_single_6", s.t4_single_6);
            v.Bool("t4_flag_4", s.t4_flag_4);
            v.Bool("t4_flag_5", s.t4_flag_5);
            v.Bool("t4_flag_2", s.t4_flag_2);
            v.Reserved(13);
            break;
        default:
            break;
    }
}

template <class V, RecordOf<FundEntry> E>
void Describe(V& v, E& e) {
    v.Bool("flag_1", e.flag_1);
    v.Single("single_1", e.single_1);
    v.Bool("flag_2", e.flag_2);
    v.Single("single_2", e.single_2);
    v.Reserved(6);
    v.Vector("point", e.point);
    v.Reserved(64);
}

template <class V, RecordOf<RascPair> P>
void Describe(V& v, P& p) {
    v.Long("long_1", p.long_1);
    v.Single("single_1", p.single_1);
    v.Reserved(16);
}

template <class V, RecordOf<RascEntry> E>
void Describe(V& v, E& e) {
    v.Items("pairs", e.pairs, v.Count("pair_count", e.pair_count, e.pairs, "RASC pair count"));
}

template <class V, RecordOf<FrenEntry> E>
void Describe(V& v, E& e) {
    v.Vector("point", e.point);
    v.Reserved(16);
}

template <class V, RecordOf<TubeEntry> E>
void Describe(V& v, E& e) {
    v.Long("long_1", e.long_1);
    v.Long("long_3", e.long_3);
    v.Long("long_2", e.long_2);
    v.Reserved(4);
    v.Long("long_4", e.long_4);
    v.Long("long_6", e.long_6);
    v.Long("long_5", e.long_5);
    v.Reserved(4);
    v.Long("long_7", e.long_7);
    v.Long("long_8", e.long_8);
    v.Single("single_1", e.single_1);
    v.Reserved(4);
}

template <class V, RecordOf<CatwEntry> E>
void Describe(V& v, E& e) {
    v.Long("long_1", e.long_1);
    v.Long("long_2", e.long_2);
    v.Long("long_3", e.long_3);
    v.Long("long_4", e.long_4);
    v.Long("long_5", e.long_5);
    v.Long("long_6", e.long_6);
    v.Tail("tail_length", e.tail_length);
}

template <class V, RecordOf<ScenEntry> E>
void Describe(V& v, E& e) {
    v.Single("single_1", e.single_1);
    v.Single("single_2", e.single_2);
    v.Single("single_3", e.single_3);
    v.Long("long_1", e.long_1);
    v.Single("single_4", e.single_4);
    v.Reserved(44);
}

template <class V, RecordOf<ScobEntry> E>
void Describe(V& v, E& e) {
    // File order of the fifteen Singles, as indices into ScobEntry::singles.
    static constexpr int kSingleOrder[15] = {0, 1, 2, 9, 3, 4, 5, 10, 6, 7, 8, 11, 12, 13, 14};
    static constexpr const char* kNames[15] = {"single_1",  "single_2",  "single_3",  "single_4",  "single_5",
                                               "single_6",  "single_7",  "single_8",  "single_9",  "single_10",
                                               "single_11", "single_12", "single_13", "single_14", "single_15"};
    v.StrictText("text_2", e.text_2, "SCOB text_2");
    v.StrictText("text_1", e.text_1, "SCOB text_1");
    for (int index : kSingleOrder) v.Single(kNames[index], e.singles[static_cast<std::size_t>(index)]);
    v.Reserved(20);
}

// ---- chunks: own fields between the chunk size and the child count ----

template <class V, RecordOf<Track> T>
void Describe(V& v, T& t) {
    v.Version("version", t.version);
    v.Reserved(16);
}

template <class V, RecordOf<TrckChunk> C>
void Describe(V& v, C& c) {
    v.Long("long_1", c.long_1);
    const std::size_t n = v.Count("entry_count", c.entry_count, c.entries, "TRCK entry count");
    v.Long("long_2", c.long_2);
    v.Items("entries", c.entries, n);
    v.Colors("colors", c.colors);
    v.Reserved(16);
}

template <class V, RecordOf<InfoChunk> C>
void Describe(V& v, C& c) {
    v.Reserved(16);
    v.OptionalText("info_text", c.info_text);
}

template <class V, RecordOf<BezrChunk> C>
void Describe(V& v, C& c) {
    v.Reserved(16);
    v.Items("vertices", c.vertices, v.Count("vertex_count", c.vertex_count, c.vertices, "BEZR vertex count"));
    v.Reserved(16);
}

template <class V, RecordOf<SegmChunk> C>
void Describe(V& v, C& c) {
    const std::size_t n = v.Count("segment_count", c.segment_count, c.segments, "SEGM segment count");
    v.Bool("flag", c.flag);
    v.Reserved(16);
    v.Items("segments", c.segments, n);
    v.Reserved(16);
}

template <class V, RecordOf<SuppChunk> C>
void Describe(V& v, C&) {
    v.Reserved(32);
}

// FUND, RASC, FREN, TUBE, CATW, SCEN and SCOB share their framing.
template <class V, class C>
    requires(RecordOf<C, FundChunk> || RecordOf<C, RascChunk> || RecordOf<C, FrenChunk> || RecordOf<C, TubeChunk> ||
             RecordOf<C, CatwChunk> || RecordOf<C, ScenChunk> || RecordOf<C, ScobChunk>)
void Describe(V& v, C& c) {
    static constexpr const char* kWhat = RecordOf<C, FundChunk>   ? "FUND entry count"
                                         : RecordOf<C, RascChunk> ? "RASC entry count"
                                         : RecordOf<C, FrenChunk> ? "FREN entry count"
                                         : RecordOf<C, TubeChunk> ? "TUBE entry count"
                                         : RecordOf<C, CatwChunk> ? "CATW entry count"
                                         : RecordOf<C, ScenChunk> ? "SCEN entry count"
                                                                  : "SCOB entry count";
    v.Reserved(16);
    v.Items("entries", c.entries, v.Count("entry_count", c.entry_count, c.entries, kWhat));
    v.Reserved(16);
}

template <class V, RecordOf<TeraChunk> C>
void Describe(V& v, C& c) {
    const std::int64_t cells = v.Grid(c.columns, c.rows);
    v.Single("single_1", c.single_1);
    v.Single("single_2", c.single_2);
    v.StrictText("text_1", c.text_1, "TERA text_1");
    v.Single("single_3", c.single_3);
    v.StrictText("text_2", c.text_2, "TERA text_2");
    v.Single("single_4", c.single_4);
    v.Bool("flag_1", c.flag_1);
    v.Reserved(4);
    v.StrictText("text_3", c.text_3, "TERA text_3");
    v.Single("single_5", c.single_5);
    v.Byte("byte_1", c.byte_1);
    v.Reserved(15);
    v.Heights("heights", c, cells);
    v.Reserved(16);
}

template <class V, RecordOf<EnvcChunk> C>
void Describe(V& v, C& c) {
    v.Reserved(16);
    v.OptionalText("text_1", c.text_1);
    v.OptionalText("text_2", c.text_2);
    v.Reserved(16);
}

// Cells of the TERA grid; 0 when either side is 0 or negative.
inline std::int64_t TeraCells(const TeraChunk& c) {
    if (c.rows <= 0 || c.columns <= 0) return 0;
    return static_cast<std::int64_t>(c.rows) * c.columns;
}

// The elements a count field stands for: a negative count means none.
inline std::size_t CountOf(Long count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }

// Element i, or a zero element past the end of a shorter array.
template <typename T>
const T& ElementOr(const std::vector<T>& items, std::size_t i) {
    static const T kEmpty{};
    return i < items.size() ? items[i] : kEmpty;
}

// Counts the bytes a record takes in the file (own fields only).
class ByteSizer {
public:
    std::int64_t bytes = 0;

    template <class T> void Long(const char*, const T&) { bytes += 4; }
    template <class T> void Single(const char*, const T&) { bytes += 4; }
    template <class T> void Byte(const char*, const T&) { bytes += 1; }
    template <class T> void Bool(const char*, const T&) { bytes += 1; }
    template <class T> void Color(const char*, const T&) { bytes += 4; }
    template <class T> void Vector(const char*, const T&) { bytes += 12; }
    template <std::size_t N> void Colors(const char*, const std::array<Colour, N>&) { bytes += 4 * N; }
    void Version(const char*, const std::array<torvix::track::Byte, 4>&) { bytes += 4; }
    void Reserved(std::int64_t n) { bytes += n; }
    void BlockSize(torvix::track::Long) { bytes += 4; }
    void OptionalText(const char*, const Text& t) { bytes += 4 + static_cast<std::int64_t>(t.size()); }
    void StrictText(const char*, const Text& t, const char*) { bytes += 4 + static_cast<std::int64_t>(t.size()); }
    template <class T>
    std::size_t Count(const char*, torvix::track::Long field, const std::vector<T>&, const char*) {
        bytes += 4;
        return CountOf(field);
    }
    template <class T>
    void Items(const char*, const std::vector<T>& items, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Describe(*this, ElementOr(items, i));
    }
    void Tail(const char*, torvix::track::Long field) { bytes += 4 + static_cast<std::int64_t>(CountOf(field)); }
    std::int64_t Grid(torvix::track::Long columns, torvix::track::Long rows) {
        bytes += 8;
        TeraChunk c;
        c.columns = columns;
        c.rows = rows;
        return TeraCells(c);
    }
    void Heights(const char*, const TeraChunk&, std::int64_t cells) { bytes += 4 * cells; }
};

template <class R>
std::int64_t RecordBytes(const R& record) {
    ByteSizer s;
    Describe(s, record);
    return s.bytes;
}

// The fewest bytes one element of type T can take: what a count is checked
// against before anything is allocated.
template <class T>
std::int64_t MinElementBytes() {
    if constexpr (std::is_same_v<T, Segment>) {
        Segment s;
        s.segment_type = -1;  // a type without a block
        return RecordBytes(s);
    } else {
        return RecordBytes(T{});
    }
}

// chunk_size of every chunk as the writer writes it: its own fields, its
// child count and its written children with their headers.
using ChunkSizes = std::array<std::int64_t, kChunkKinds>;
ChunkSizes WrittenChunkSizes(const Track& track);

// The child count the writer writes for chunk `id`.
Long WrittenChildCount(const Track& track, ChunkId id);

}  // namespace torvix::track
