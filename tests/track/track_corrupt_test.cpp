// Damaged inputs: each must fail cleanly (message, offset), never crash,
// hang, read out of bounds or allocate what the file cannot hold.
#include <gtest/gtest.h>

#include <cstring>

#include "track/chunk_cursor.h"
#include "support/track_fixtures.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix {
namespace {

std::vector<std::uint8_t> SmallValidFile() {
    Track track = test::MakeRichTrack(true);
    return EncodeTrack(track);
}

std::size_t FindTag(const std::vector<std::uint8_t>& bytes, const char* tag) {
    const auto it = std::search(bytes.begin(), bytes.end(), tag, tag + 4);
    EXPECT_NE(it, bytes.end()) << tag;
    return static_cast<std::size_t>(it - bytes.begin());
}

void PutLong(std::vector<std::uint8_t>& bytes, std::size_t offset, Long value) {
    ChunkWriter out;
    out.WriteLong(value);
    std::memcpy(bytes.data() + offset, out.bytes().data(), 4);
}

void ExpectFailure(const std::vector<std::uint8_t>& bytes, const std::string& what) {
    Track track;
    TrackIoError error;
    EXPECT_FALSE(ReadTrackBytes(bytes, track, &error)) << what;
    EXPECT_FALSE(error.message.empty()) << what;
    EXPECT_GE(error.offset, 0) << what;
    EXPECT_LE(error.offset, static_cast<std::int64_t>(bytes.size())) << what;
}

TEST(CorruptTrackTest, EveryTruncationFails) {
    const auto bytes = SmallValidFile();
    Track track;
    ASSERT_TRUE(ReadTrackBytes(bytes, track));
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        ExpectFailure(cut, "truncated to " + std::to_string(length));
    }
}

TEST(CorruptTrackTest, NegativeCountsFail) {
    const auto good = SmallValidFile();
    // Offset of each count field from its chunk's tag.
    const std::pair<const char*, std::size_t> counts[] = {
        {"TRCK", 12}, {"BEZR", 24}, {"SEGM", 8},  {"FUND", 24}, {"RASC", 24}, {"FREN", 24},
        {"TUBE", 24}, {"CATW", 24}, {"SCEN", 24}, {"SCOB", 24}, {"TERA", 8},  {"TERA", 12}};
    for (const auto& [tag, offset] : counts) {
        auto bytes = good;
        PutLong(bytes, FindTag(bytes, tag) + offset, -1);
        ExpectFailure(bytes, std::string(tag) + " count -1");
    }
    // Per-entry lengths: the second RASC entry's pair count, the first CATW
    // entry's tail length, a SCOB text length, the NLIM child count.
    const std::pair<std::string, std::size_t> fields[] = {
        {"RASC pair_count", FindTag(good, "RASC") + 28 + 4},
        {"CATW tail_length", FindTag(good, "CATW") + 28 + 24},
        {"SCOB text length", FindTag(good, "SCOB") + 28},
        {"NLIM child_count", 28},
        {"BEZR child_count", FindTag(good, "SEGM") - 4},
    };
    for (const auto& [what, offset] : fields) {
        auto bytes = good;
        PutLong(bytes, offset, -7);
        ExpectFailure(bytes, what);
    }
}

TEST(CorruptTrackTest, HugeCountsFailBeforeAllocating) {
    const auto good = SmallValidFile();
    for (Long huge : {2000000000, 0x7FFFFFFF, 1 << 24}) {
        for (const auto& [tag, offset] : std::initializer_list<std::pair<const char*, std::size_t>>{
                 {"TRCK", 12}, {"BEZR", 24}, {"SEGM", 8}, {"RASC", 24}, {"CATW", 24}, {"SCOB", 24}}) {
            auto bytes = good;
            PutLong(bytes, FindTag(bytes, tag) + offset, huge);
            ExpectFailure(bytes, std::string(tag) + " count " + std::to_string(huge));
        }
        auto pairs = good;
        PutLong(pairs, FindTag(pairs, "RASC") + 28, huge);
        ExpectFailure(pairs, "pair_count");
        auto tail = good;
        PutLong(tail, FindTag(tail, "CATW") + 28 + 24, huge);
        ExpectFailure(tail, "tail_length");
        auto text = good;
        PutLong(text, FindTag(text, "TERA") + 24, huge);
        ExpectFailure(text, "TERA text length");
    }
    // A grid whose rows x columns overflows 32 bits, and one that just does not fit.
    for (const auto& [columns, rows] : {std::pair<Long, Long>{65536, 65536}, {0x7FFFFFFF, 0x7FFFFFFF}, {1000, 1000}}) {
        auto bytes = good;
        PutLong(bytes, FindTag(bytes, "TERA") + 8, columns);
        PutLong(bytes, FindTag(bytes, "TERA") + 12, rows);
        ExpectFailure(bytes, "grid " + std::to_string(columns) + " x " + std::to_string(rows));
    }
}

TEST(CorruptTrackTest, TinyFileClaimingBillionsOfVertices) {
    ChunkWriter out;
    out.WriteTag("NLIM");
    out.WriteLong(0);
    out.WriteZeros(20);
    out.WriteLong(1);
    out.WriteTag("BEZR");
    out.WriteLong(0);
    out.WriteZeros(16);
    out.WriteLong(2000000000);
    auto bytes = out.Release();
    bytes.resize(bytes.size() + 2, 0);
    Track track;
    TrackIoError error;
    EXPECT_FALSE(ReadTrackBytes(bytes, track, &error));
    EXPECT_EQ(error.offset, 56);  // the count field itself
    EXPECT_NE(error.message.find("BEZR vertex count"), std::string::npos) << error.message;
}

TEST(CorruptTrackTest, UnknownChunkSizePastTheEndOrNegative) {
    for (Long size : {-1, 21, 0x7FFFFFFF}) {
        ChunkWriter out;
        out.WriteTag("NLIM");
        out.WriteLong(0);
        out.WriteZeros(20);
        out.WriteLong(1);
        out.WriteTag("CSTM");
        out.WriteLong(size);
        out.WriteZeros(20);
        ExpectFailure(out.bytes(), "unknown chunk size " + std::to_string(size));
    }
}

TEST(CorruptTrackTest, ChildCountsBeyondTheFileEndTheRead) {
    auto bytes = SmallValidFile();
    PutLong(bytes, 28, 0x7FFFFFFF);
    ExpectFailure(bytes, "NLIM child count too large");
    // Zero-size unknown chunks nested without end still run out of bytes.
    ChunkWriter out;
    out.WriteTag("NLIM");
    out.WriteLong(0);
    out.WriteZeros(20);
    out.WriteLong(0x7FFFFFFF);
    for (int i = 0; i < 100; ++i) {
        out.WriteTag("ZZZZ");
        out.WriteLong(0);
    }
    ExpectFailure(out.bytes(), "many empty unknown chunks");
}

TEST(CorruptTrackTest, OtherTagThanNlimIsRefused) {
    auto bytes = SmallValidFile();
    std::memcpy(bytes.data(), "NLIX", 4);
    Track track = test::MakeRichTrack(false);
    TrackIoError error;
    EXPECT_FALSE(ReadTrackBytes(bytes, track, &error));
    EXPECT_EQ(track, Track{});
    EXPECT_EQ(error.offset, 0);
}

TEST(CorruptTrackTest, ScrambledBytesNeverCrash) {
    // Deterministic byte flips over the whole file; success or failure are both
    // fine, the point is that every variant is decoded safely.
    const auto good = SmallValidFile();
    std::uint32_t state = 12345;
    for (int round = 0; round < 3000; ++round) {
        auto bytes = good;
        for (int flips = 0; flips < 3; ++flips) {
            state = state * 1664525u + 1013904223u;
            bytes[state % bytes.size()] = static_cast<std::uint8_t>(state >> 24);
        }
        Track track;
        TrackIoError error;
        if (!ReadTrackBytes(bytes, track, &error)) {
            EXPECT_FALSE(error.message.empty());
        }
    }
}

}  // namespace
}  // namespace torvix
