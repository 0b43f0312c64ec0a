#include <gtest/gtest.h>

#include <cmath>

#include "heartline/solver_phases_internal.h"
#include "support/track_builders.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::heartline {
namespace {

struct FitCall {
    std::vector<Vector3> points;
    Vector3 start_tangent;
    Vector3 end_tangent;
    int segments_wanted = 0;
};

// Records every call and answers with arms of different lengths along the given tangents.
struct RecordingFitter {
    std::vector<FitCall>* calls;
    FitResult operator()(std::span<const Vector3> points, int count, const Vector3& t1, const Vector3& t2,
                         int wanted) const {
        calls->push_back({std::vector<Vector3>(points.begin(), points.begin() + count), t1, t2, wanted});
        FitResult r;
        const Vector3 a = points[0], b = points[count - 1];
        r.segments.push_back({a, VecAdd(a, VecScale(t1, 1.0)), b, VecAdd(b, VecScale(t2, 2.0))});
        r.segment_count = 1;
        return r;
    }
};

// Samples of a straight level path along +x, spacing 1 m, straight down.
SampleSet StraightSamples(int n) {
    SampleSet set(n);
    for (int k = 0; k <= n + 1; ++k) {
        set.point[k] = {float(k), 0, 0};
        set.tangent[k] = {1, 0, 0};
        set.zero_roll_down[k] = {0, -1, 0};
        set.down[k] = {0, -1, 0};
    }
    return set;
}

TEST(Rebuild, FitsEachRunOfMovedSamplesWithJoinedTangents) {
    const Track track = test::StraightTrack(3, 2);  // x from 0 to 6
    SampleSet set = StraightSamples(6);
    std::vector<FitCall> calls;
    std::vector<BezierVertex> out;
    SolverObserver observer;
    Progress progress(observer);
    const RebuildInputs in{track.bezr.vertices, 3, 2, 1.5};
    ASSERT_TRUE(RebuildSpline(in, set, RecordingFitter{&calls}, out, progress).ok());

    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(progress.count(), 3 * 3);
    EXPECT_EQ(calls[0].points, (std::vector<Vector3>{{0, -1.5f, 0}, {1, -1.5f, 0}, {2, -1.5f, 0}}));
    EXPECT_EQ(calls[1].points.front(), calls[0].points.back());
    EXPECT_EQ(calls[0].segments_wanted, 1);
    EXPECT_EQ(calls[0].start_tangent, (Vector3{1, 0, 0}));  // from the input's first vertex
    EXPECT_EQ(calls[0].end_tangent, (Vector3{-1, 0, 0}));   // central difference of H(1) and H(3)
    EXPECT_EQ(calls[1].start_tangent, (Vector3{1, 0, 0}));  // negated end tangent
    EXPECT_EQ(calls[2].end_tangent, (Vector3{-1, 0, 0}));   // from the input's last vertex

    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[4], BezierVertex{});
    for (int c = 0; c <= 3; ++c) {
        EXPECT_EQ(out[c].position, (Vector3{float(2 * c), -1.5f, 0})) << c;
        EXPECT_EQ(out[c].roll, 0.0f) << c;
        EXPECT_TRUE(out[c].roll_flag) << c;
        EXPECT_FALSE(out[c].relative_roll) << c;
    }
    // Inner vertex: arms of different lengths on one line through it.
    EXPECT_EQ(out[1].control_prev, (Vector3{0, -1.5f, 0}));
    EXPECT_EQ(out[1].control_next, (Vector3{3, -1.5f, 0}));
    // Outer control points mirror the inner ones through the end vertices.
    EXPECT_EQ(out[0].control_next, (Vector3{1, -1.5f, 0}));
    EXPECT_EQ(out[0].control_prev, (Vector3{-1, -1.5f, 0}));
    EXPECT_EQ(out[3].control_prev, (Vector3{4, -1.5f, 0}));
    EXPECT_EQ(out[3].control_next, (Vector3{8, -1.5f, 0}));
}

TEST(Rebuild, OneSegmentTakesBothTangentsFromTheInputEnds) {
    Track track = test::StraightTrack(1, 4);
    track.bezr.vertices[0].control_prev = {-1, -1, 0};  // arrives climbing
    track.bezr.vertices[1].control_next = {5, 0, 1};    // leaves turning
    SampleSet set = StraightSamples(4);
    std::vector<FitCall> calls;
    std::vector<BezierVertex> out;
    SolverObserver observer;
    Progress progress(observer);
    ASSERT_TRUE(RebuildSpline({track.bezr.vertices, 1, 4, 0.0}, set, RecordingFitter{&calls}, out, progress).ok());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].points.size(), 5u);
    for (int m = 0; m <= 4; ++m) EXPECT_EQ(calls[0].points[m], set.point[m]);  // Heartline 0
    EXPECT_EQ(calls[0].start_tangent, VecNormalize(Vector3{1, 1, 0}));
    EXPECT_EQ(calls[0].end_tangent, VecNormalize(Vector3{-1, 0, -1}));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].position, (Vector3{4, 0, 0}));
}

TEST(Rebuild, VertexRollFollowsTheDownVectorWithSign) {
    const Vector3 zero{0, -1, 0}, tangent{1, 0, 0};
    EXPECT_DOUBLE_EQ(VertexRoll(Vector3{0, 0, 1}, zero, tangent), 2 * std::atan(1.0));
    EXPECT_DOUBLE_EQ(VertexRoll(Vector3{0, 0, -1}, zero, tangent), -2 * std::atan(1.0));
    EXPECT_DOUBLE_EQ(VertexRoll(Vector3{0, 1, 0}, zero, tangent), 4 * std::atan(1.0));
    EXPECT_EQ(VertexRoll(Vector3{0, -1, 0}, Vector3{}, tangent), 0.0);  // vertical start: no frame
}

TEST(Rebuild, RollsUseTheFittedFrameInsideAndTheSampledFrameAtTheEnd) {
    const Track track = test::StraightTrack(2, 2);
    SampleSet set = StraightSamples(4);
    for (int k = 0; k <= 5; ++k) {
        set.down[k] = {0, 0, 1};
        set.zero_roll_down[k] = {0, 0, -1};  // a frame the fitted curves do not have
    }
    std::vector<FitCall> calls;
    std::vector<BezierVertex> out;
    SolverObserver observer;
    Progress progress(observer);
    ASSERT_TRUE(RebuildSpline({track.bezr.vertices, 2, 2, 1.0}, set, RecordingFitter{&calls}, out, progress).ok());
    EXPECT_FLOAT_EQ(out[0].roll, float(2 * std::atan(1.0)));
    EXPECT_FLOAT_EQ(out[1].roll, float(2 * std::atan(1.0)));
    EXPECT_FLOAT_EQ(out[2].roll, float(4 * std::atan(1.0)));
    EXPECT_EQ(set.zero_roll_down[0], (Vector3{0, -1, 0}));  // overwritten from the fit at curve starts
    EXPECT_EQ(set.zero_roll_down[2], (Vector3{0, -1, 0}));
    EXPECT_EQ(set.zero_roll_down[4], (Vector3{0, 0, -1}));
}

TEST(Rebuild, FitterFailureEndsTheRun) {
    const Track track = test::StraightTrack(1, 2);
    SampleSet set = StraightSamples(2);
    std::vector<BezierVertex> out;
    SolverObserver observer;
    Progress progress(observer);
    const Fitter failing = [](std::span<const Vector3>, int, const Vector3&, const Vector3&, int) {
        FitResult r;
        r.status = base::Status::Fail("all points coincide");
        return r;
    };
    const base::Status f = RebuildSpline({track.bezr.vertices, 1, 2, 1.0}, set, failing, out, progress);
    ASSERT_FALSE(f.ok());
    EXPECT_NE(f.message().find("all points coincide"), std::string::npos);
}

TEST(Commit, ReplacesSplineSegmentsRascAndInfoOnly) {
    Track track = test::StraightTrack(3, 10);
    track.segm.segments[1].color_1 = 255;
    track.segm.segments[2].segment_type = 2;
    track.rasc.entry_count = 2;
    track.rasc.entries.resize(2);
    track.info.info_text = "old";
    track.bezr.chunk_size = 99;
    track.fund.entry_count = 1;
    track.fund.entries.resize(1);
    Track expected = track;

    std::vector<BezierVertex> fresh(7);
    fresh[2].roll = 0.5f;
    CommitTrack(track, fresh, 5);
    EXPECT_EQ(track.bezr.vertex_count, 6);
    EXPECT_EQ(track.bezr.chunk_size, 0);
    EXPECT_EQ(track.bezr.child_count, 0);
    EXPECT_EQ(track.bezr.vertices, fresh);
    EXPECT_EQ(track.segm.segment_count, 5);
    ASSERT_EQ(track.segm.segments.size(), 6u);
    EXPECT_EQ(track.segm.segments[1], expected.segm.segments[1]);
    EXPECT_EQ(track.segm.segments[2], expected.segm.segments[2]);
    for (int i = 3; i <= 5; ++i) EXPECT_EQ(track.segm.segments[i], Segment{}) << i;
    EXPECT_EQ(track.rasc.entry_count, 0);
    EXPECT_EQ(track.rasc.entries.size(), 2u);
    EXPECT_EQ(track.info.info_text, "--- Torvix V1.6 ---");
    EXPECT_EQ(track.fund, expected.fund);

    CommitTrack(track, std::vector<BezierVertex>(3), 1);
    ASSERT_EQ(track.segm.segments.size(), 2u);
    EXPECT_EQ(track.segm.segments[1], expected.segm.segments[1]);
}

}  // namespace
}  // namespace torvix::heartline
