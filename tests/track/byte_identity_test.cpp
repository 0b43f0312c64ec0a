// The writer's output for every shape of track the suite builds, pinned by
// size and checksum as the writer produced it before its records were
// described once for reader, writer and dump. Any change to a written byte
// shows up here.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>

#include "heartline/solver.h"
#include "support/track_builders.h"
#include "heartline/track_length.h"
#include "support/test_support.h"
#include "track/chunk_cursor.h"
#include "support/track_fixtures.h"
#include "track/track_io.h"

using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix {
namespace {

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

struct Pinned {
    const char* name;
    std::size_t size;
    std::uint64_t checksum;
};

std::vector<std::uint8_t> Encoded(const Track& track) {
    Track copy = track;
    return EncodeTrack(copy);
}

Track Read(const std::filesystem::path& path) {
    Track track;
    TrackIoError error;
    EXPECT_TRUE(ReadTrackFile(path.string(), track, &error)) << path << ": " << error.message;
    return track;
}

Track Solved(Track track, int segments) {
    const double length = TrackLength(track).value();
    HeartlineParams params;
    params.segments = segments;
    EXPECT_TRUE(SolveHeartline(track, length, params).status.ok());
    return track;
}

// Counts that disagree with their arrays, negative counts and a short TERA
// grid: the writer's rules for inconsistent models.
Track Inconsistent() {
    Track t = test::MakeRichTrack(true);
    t.rasc.entry_count = 0;
    t.fren.entry_count = 6;
    t.bezr.vertex_count = -3;
    t.trck.entry_count = static_cast<Long>(t.trck.entries.size()) + 2;
    t.catw.entries.at(0).tail_length = -5;
    t.tera.heights.resize(t.tera.heights.size() / 2);
    t.version = {9, 9, 9, 9};
    t.trck.child_count = 77;
    return t;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Shapes() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> shapes;
    shapes.emplace_back("empty", Encoded(Track{}));
    const Track rich = test::MakeRichTrack(false);
    shapes.emplace_back("rich", Encoded(rich));
    shapes.emplace_back("rich_tera", Encoded(test::MakeRichTrack(true)));
    for (std::size_t i = 0; i < rich.segm.segments.size(); ++i) {
        Track one;
        one.segm.segment_count = 1;
        one.segm.segments = {rich.segm.segments[i]};
        shapes.emplace_back("segment_" + std::to_string(i), Encoded(one));
    }
    shapes.emplace_back("inconsistent", Encoded(Inconsistent()));
    shapes.emplace_back("straight", Encoded(test::StraightTrack(5, 100, 3, 0.25f)));
    shapes.emplace_back("circle", Encoded(test::CircleTrack(30, 8)));
    shapes.emplace_back("hill", Encoded(test::HillTrack(30)));
    const Track sample = Read(test::SampleTrackPath());
    shapes.emplace_back("sample", Encoded(sample));
    shapes.emplace_back("sample_solved", Encoded(Solved(sample, 60)));
    shapes.emplace_back("hill_solved", Encoded(Solved(test::HillTrack(10), 20)));
    shapes.emplace_back("circle_solved", Encoded(Solved(test::CircleTrack(30, 8), 16)));
    return shapes;
}

// Size and FNV-1a checksum of each shape as written before the rework.
constexpr Pinned kPinned[] = {
    {"empty", 665, 0x390b78fd079cc5e8ull},
    {"rich", 2955, 0x141db8e92cfdfc8full},
    {"rich_tera", 3201, 0x23baa4cca4c0f894ull},
    {"segment_0", 702, 0xa1253c3f358b0057ull},
    {"segment_1", 828, 0x98d334e9d0bfe24full},
    {"segment_2", 738, 0x7bbf59771f89b680ull},
    {"segment_3", 730, 0xcda41fb82b2e4db1ull},
    {"segment_4", 752, 0xcc2ba6ee991f549aull},
    {"segment_5", 698, 0x18c98ae544d419deull},
    {"inconsistent", 2799, 0x49dc5f8ef8064ec2ull},
    {"straight", 1210, 0xb879fb90174c8b9full},
    {"circle", 1501, 0x057f549dd8d0ee28ull},
    {"hill", 1113, 0x53c60442978e7fb5ull},
    {"sample", 12145, 0xc3cdff92dc15d5deull},
    {"sample_solved", 6564, 0x209fe8a7d6d56f06ull},
    {"hill_solved", 2684, 0xdadca60ae8041b24ull},
    {"circle_solved", 2296, 0xf7d2096d1689bbccull},
};

TEST(ByteIdentityTest, EveryShapeIsWrittenAsBefore) {
    const auto shapes = Shapes();
    ASSERT_EQ(shapes.size(), std::size(kPinned));
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const auto& [name, image] = shapes[i];
        EXPECT_EQ(name, kPinned[i].name);
        EXPECT_EQ(image.size(), kPinned[i].size) << name;
        EXPECT_EQ(Fnv1a(image), kPinned[i].checksum) << name;
    }
}

TEST(ByteIdentityTest, TheDemoTrackIsWrittenAsBefore) {
    const auto path = test::DemoTrackPath();
    if (path.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
    const auto image = Encoded(Read(path));
    // The simulator's file minus its CSTM chunk (28 bytes), which is dropped.
    EXPECT_EQ(image.size(), 744946u);
    EXPECT_EQ(Fnv1a(image), 0x636108f0590cb805ull);
}

}  // namespace
}  // namespace torvix
