// In-memory image of one .nltrack file. Every chunk has exactly one record;
// only the spline, the segment colours, the RASC count and the info text are
// interpreted, everything else passes through a load/modify/save unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "track/bulk_allocator.h"
#include "geometry/vector3.h"

namespace torvix::track {

using Long = std::int32_t;
using Single = float;
using Byte = std::uint8_t;
using Colour = std::int32_t;  // 24-bit value kept in a Long
using Text = std::string;     // raw bytes, one char per byte

struct TrckEntry {
    bool flag = false;
    std::array<Colour, 4> colors{};
    Text name;
    bool operator==(const TrckEntry&) const = default;
};

struct TrckChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long long_1 = 0;
    std::vector<TrckEntry> entries;
    Long entry_count = 0;
    Long long_2 = 0;
    std::array<Colour, 8> colors{};
    bool operator==(const TrckChunk&) const = default;
};

struct InfoChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Text info_text;
    bool operator==(const InfoChunk&) const = default;
};

struct BezierVertex {
    geometry::Vector3 position;
    geometry::Vector3 control_prev;  // P2 of the curve arriving at this vertex
    geometry::Vector3 control_next;  // P1 of the curve leaving this vertex
    Single roll = 0;       // radians
    bool roll_flag = false;
    bool relative_roll = false;
    bool flag_3 = false;
    bool operator==(const BezierVertex&) const = default;
};

struct BezrChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long vertex_count = 0;
    std::vector<BezierVertex> vertices;
    bool operator==(const BezrChunk&) const = default;
};

struct Segment {
    Long segment_type = 0;
    Colour color_1 = 0;
    Colour color_2 = 0;
    Colour color_3 = 0;
    bool flag_1 = false;
    bool flag_2 = false;

    Single t1_single_1 = 0, t1_single_2 = 0, t1_single_3 = 0, t1_single_4 = 0;
    bool t1_flag_1 = false;
    Single t1_single_5 = 0;
    Byte t1_byte_1 = 0, t1_byte_2 = 0, t1_byte_3 = 0;
    bool t1_flag_2 = false;
    Single t1_single_6 = 0, t1_single_7 = 0, t1_single_8 = 0;
    bool t1_flag_3 = false;
    Single t1_single_9 = 0, t1_single_10 = 0, t1_single_11 = 0;

    Single t2_single_1 = 0, t2_single_2 = 0, t2_single_3 = 0;
    Byte t2_byte_1 = 0;
    bool t2_flag_1 = false, t2_flag_2 = false;

    Single t3_single_1 = 0, t3_single_2 = 0, t3_single_3 = 0;
    Byte t3_byte_1 = 0;
    bool t3_flag_1 = false, t3_flag_2 = false;

    bool t4_flag_1 = false, t4_flag_2 = false;
    Single t4_single_1 = 0, t4_single_2 = 0, t4_single_3 = 0;
    bool t4_flag_3 = false;
    Single t4_single_4 = 0, t4_single_5 = 0, t4_single_6 = 0;
    Single t4_single_7 = 0;
    bool t4_flag_4 = false, t4_flag_5 = false;

    bool operator==(const Segment&) const = default;
};

// What a segment's colours ask of the banking of its curve. color_1 picks the
// banking: the designer's roll, a blend along the curve from one to the other,
// or (any other colour) the force-aligned banking. color_2 below
// kFirstNonCountColour is the curve's smoothing count; from it on the count is
// derived from the speed.
inline constexpr Colour kDesignerRollColour = 0;
inline constexpr Colour kBlendToRollColour = 255;     // from force-aligned to the designer's roll
inline constexpr Colour kBlendToForceColour = 65280;  // from the designer's roll to force-aligned
inline constexpr Colour kFirstNonCountColour = 2816;

struct SegmChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    bool flag = false;
    Long segment_count = 0;
    std::vector<Segment> segments;
    bool operator==(const SegmChunk&) const = default;
};

struct SuppChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    bool operator==(const SuppChunk&) const = default;
};

struct FundEntry {
    geometry::Vector3 point;
    bool flag_1 = false;
    Single single_1 = 0;
    bool flag_2 = false;
    Single single_2 = 0;
    bool operator==(const FundEntry&) const = default;
};

struct FundChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long entry_count = 0;
    std::vector<FundEntry> entries;
    bool operator==(const FundChunk&) const = default;
};

struct RascPair {
    Long long_1 = 0;
    Single single_1 = 0;
    bool operator==(const RascPair&) const = default;
};

struct RascEntry {
    Long pair_count = 0;
    std::vector<RascPair> pairs;
    bool operator==(const RascEntry&) const = default;
};

struct RascChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long entry_count = 0;
    std::vector<RascEntry> entries;
    bool operator==(const RascChunk&) const = default;
};

struct FrenEntry {
    geometry::Vector3 point;
    bool operator==(const FrenEntry&) const = default;
};

struct FrenChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long entry_count = 0;
    std::vector<FrenEntry> entries;
    bool operator==(const FrenChunk&) const = default;
};

struct TubeEntry {
    Long long_1 = 0, long_2 = 0, long_3 = 0, long_4 = 0;
    Long long_5 = 0, long_6 = 0, long_7 = 0, long_8 = 0;
    Single single_1 = 0;
    bool operator==(const TubeEntry&) const = default;
};

struct TubeChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long entry_count = 0;
    std::vector<TubeEntry> entries;
    bool operator==(const TubeChunk&) const = default;
};

struct CatwEntry {
    Long long_1 = 0, long_2 = 0, long_3 = 0, long_4 = 0, long_5 = 0, long_6 = 0;
    Long tail_length = 0;  // bytes after the fields; skipped on read, zeros on write
    bool operator==(const CatwEntry&) const = default;
};

struct CatwChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long entry_count = 0;
    std::vector<CatwEntry> entries;
    bool operator==(const CatwChunk&) const = default;
};

struct ScenEntry {
    Single single_1 = 0, single_2 = 0, single_3 = 0, single_4 = 0;
    Long long_1 = 0;
    bool operator==(const ScenEntry&) const = default;
};

struct ScenChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long entry_count = 0;
    std::vector<ScenEntry> entries;
    bool operator==(const ScenChunk&) const = default;
};

struct ScobEntry {
    Text text_1;
    Text text_2;
    std::array<Single, 15> singles{};  // single_1 .. single_15
    bool operator==(const ScobEntry&) const = default;
};

struct ScobChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Long entry_count = 0;
    std::vector<ScobEntry> entries;
    bool operator==(const ScobChunk&) const = default;
};

struct TeraChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    bool present = false;  // only a read that found TERA sets it; the writer obeys it
    Long columns = 0;
    Long rows = 0;
    Single single_1 = 0, single_2 = 0;
    Text text_1;
    Single single_3 = 0;
    Text text_2;
    Single single_4 = 0;
    Text text_3;
    Single single_5 = 0;
    Byte byte_1 = 0;
    bool flag_1 = false;
    // rows x columns, row-major: heights[row * columns + column]
    std::vector<Single, BulkAllocator<Single>> heights;
    bool operator==(const TeraChunk&) const = default;
};

struct EnvcChunk {
    Long chunk_size = 0;
    Long child_count = 0;
    Text text_1;
    Text text_2;
    bool operator==(const EnvcChunk&) const = default;
};

// NLIM and everything nested in it, flattened: one record per chunk kind.
// A value type: copies share nothing.
struct Track {
    Long chunk_size = 0;
    Long child_count = 0;
    std::array<Byte, 4> version{};
    TrckChunk trck;
    InfoChunk info;
    BezrChunk bezr;
    SegmChunk segm;
    SuppChunk supp;
    FundChunk fund;
    RascChunk rasc;
    FrenChunk fren;
    TubeChunk tube;
    CatwChunk catw;
    ScenChunk scen;
    ScobChunk scob;
    TeraChunk tera;
    EnvcChunk envc;
    bool operator==(const Track&) const = default;
};

// Empties the track: every number 0, every Boolean false, every Text and array empty.
void ResetTrack(Track& track);

// True when every position, control point and roll of `vertices` is a finite number.
bool AllFinite(std::span<const BezierVertex> vertices);

// Why `vertices` cannot be worked on, naming the first vertex with a
// coordinate or roll that is not a finite number; ok when AllFinite.
base::Status NotFiniteReason(std::span<const BezierVertex> vertices);

}  // namespace torvix::track
