#include "sweep/sweep.h"

#include <gtest/gtest.h>

#include "support/track_builders.h"
#include "heartline/track_length.h"

using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::sweep {
namespace {

TEST(SweepGrid, ListsRangesAndMistakes) {
    EXPECT_EQ(*ParseGrid("60"), (std::vector<int>{60}));
    EXPECT_EQ(*ParseGrid("40,60,80"), (std::vector<int>{40, 60, 80}));
    EXPECT_EQ(*ParseGrid("40:100:20"), (std::vector<int>{40, 60, 80, 100}));
    EXPECT_EQ(*ParseGrid("5:12:4"), (std::vector<int>{5, 9}));
    EXPECT_EQ(*ParseGrid("10,40:60:10"), (std::vector<int>{10, 40, 50, 60}));
    for (const char* bad : {"", "6x", "1,,2", "40:20:5", "1:9:0", "1:9", "1:9:-1", "0:100000:1", "4.5"}) {
        const base::Result<std::vector<int>> grid = ParseGrid(bad);
        EXPECT_FALSE(grid.ok()) << bad;
        EXPECT_FALSE(grid.error().empty()) << bad;
    }
}

TEST(SweepRank, BestFirstFailuresLastTiesByVertices) {
    auto entry = [](int segments, bool ok, double rms, int vertices) {
        SweepEntry e;
        e.segments = segments;
        e.status = ok ? base::Status::Ok() : base::Status::Fail("valley");
        e.lateral_rms = rms;
        e.vertex_count = vertices;
        return e;
    };
    std::vector<SweepEntry> entries = {entry(10, false, 0, 0), entry(20, true, 0.5, 21), entry(30, true, 0.2, 31),
                                       entry(40, true, 0.2, 11)};
    RankEntries(entries, RankBy::kLateralRms);
    EXPECT_EQ(entries[0].segments, 40);
    EXPECT_EQ(entries[1].segments, 30);
    EXPECT_EQ(entries[2].segments, 20);
    EXPECT_EQ(entries[3].segments, 10);
    RankEntries(entries, RankBy::kVertexCount);
    EXPECT_EQ(entries[0].segments, 40);
    EXPECT_EQ(entries[1].segments, 20);
    ASSERT_TRUE(ParseRank("heart_deviation_max").has_value());
    EXPECT_STREQ(RankName(*ParseRank("file_size")), "file_size");
    EXPECT_FALSE(ParseRank("comfort").has_value());

    // A track turned over where nothing asks for it ranks after every other,
    // however small its lateral force; by verdict, then lateral RMS.
    entries = {entry(20, true, 0.5, 21), entry(30, true, 0.2, 31), entry(40, true, 0.1, 41), entry(50, true, 0.9, 51)};
    entries[2].unasked_roll = 3;
    entries[0].verdict = ride::VerdictLevel::kTolerable;
    entries[1].verdict = ride::VerdictLevel::kTolerable;
    entries[3].verdict = ride::VerdictLevel::kComfortable;
    RankEntries(entries, RankBy::kLateralRms);
    EXPECT_EQ(entries[3].segments, 40);
    RankEntries(entries, *ParseRank("verdict"));
    EXPECT_EQ(entries[0].segments, 50);
    EXPECT_EQ(entries[1].segments, 30);
    EXPECT_EQ(entries[2].segments, 20);
    EXPECT_EQ(entries[3].segments, 40);
}

TEST(Sweep, EveryCombinationRunsAndFailuresSayWhy) {
    const Track hill = test::HillTrack(20);
    double length = 0;
    length = TrackLength(hill).value();
    SweepSettings s;
    s.segments = {4, 8};
    s.precision = {4, 6};
    s.filter = {0, 5};
    s.start_speed = 25;
    s.end_speed = 20;
    s.jobs = 2;
    SweepResult r = RunSweep(hill, length, s);
    ASSERT_EQ(r.entries.size(), 8u);
    EXPECT_FALSE(r.cancelled);
    for (std::size_t i = 0; i < r.entries.size(); ++i) {
        const SweepEntry& e = r.entries[i];
        EXPECT_TRUE(e.status.ok()) << e.status.message();
        EXPECT_EQ(e.vertex_count, e.segments + 1);
        EXPECT_GT(e.file_size, 0u);
        EXPECT_LT(e.heart_deviation_max, 3.0);  // four curves over a 160 m hill follow it only roughly
        // Settings whose track turns the riders over where nothing asks for it come last.
        if (i > 0) {
            const SweepEntry& before = r.entries[i - 1];
            EXPECT_LE(before.unasked_roll > 0, e.unasked_roll > 0);
            if ((before.unasked_roll > 0) == (e.unasked_roll > 0)) {
                EXPECT_LE(before.lateral_rms, e.lateral_rms);
            }
        }
    }

    s.start_speed = 10;  // cannot climb a 20 m hill
    r = RunSweep(hill, length, s);
    ASSERT_EQ(r.entries.size(), 8u);
    for (const SweepEntry& e : r.entries) {
        EXPECT_FALSE(e.status.ok());
        EXPECT_FALSE(e.status.message().empty());
    }

    const std::atomic<bool> stop{true};
    EXPECT_TRUE(RunSweep(hill, length, s, &stop).cancelled);
}

TEST(SweepSuggestion, ModestGridAndACloseFollowingWinner) {
    const SweepSettings grid = SuggestionGrid(480);
    EXPECT_EQ(grid.segments, (std::vector<int>{60, 80, 107, 160}));
    EXPECT_EQ(grid.precision.size() * grid.filter.size() * grid.segments.size(), 24u);
    EXPECT_EQ(SuggestionGrid(5).segments, (std::vector<int>{2}));

    SweepEntry loose, close, failed;
    loose.status = close.status = base::Status::Ok();
    loose.lateral_rms = 0.1, loose.heart_deviation_max = 1.0;
    close.lateral_rms = 0.2, close.heart_deviation_max = 0.1, close.segments = 7;
    EXPECT_EQ(PickSuggestion({loose, close, failed})->segments, 7);
    EXPECT_DOUBLE_EQ(PickSuggestion({loose, failed})->lateral_rms, 0.1);
    EXPECT_FALSE(PickSuggestion({failed}).has_value());
}

}  // namespace
}  // namespace torvix::sweep
