#include "analysis/track_ends.h"
#include "track/track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace torvix::analysis;
using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix {
namespace {

struct Curve {
    Vector3 p0, p1, p2, p3;
};

// A track of consecutive curves; the first vertex's incoming control point
// lies on the line back from p1 through p0.
Track TrackOf(const std::vector<Curve>& curves) {
    Track t;
    for (const Curve& c : curves) {
        BezierVertex a;
        if (t.bezr.vertices.empty()) {
            a.position = c.p0;
            a.control_prev = VecSub(c.p0, VecSub(c.p1, c.p0));
            t.bezr.vertices.push_back(a);
        }
        t.bezr.vertices.back().control_next = c.p1;
        BezierVertex b;
        b.position = c.p3;
        b.control_prev = c.p2;
        b.control_next = VecAdd(c.p3, VecSub(c.p3, c.p2));
        t.bezr.vertices.push_back(b);
    }
    t.bezr.vertex_count = static_cast<Long>(t.bezr.vertices.size());
    return t;
}

const Curve kStraight{{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}};

TEST(TrackEnds, StraightFirstCurve) {
    const Curve rising{{0, 0, 0}, {10, 10, 0}, {20, 20, 0}, {30, 30, 0}};
    const TrackEndMeasures m = AnalyzeTrackEnds(TrackOf({rising, {{30, 30, 0}, {40, 40, 0}, {50, 45, 0}, {60, 45, 0}}}));
    EXPECT_EQ(m.radius_in, -1.0);
    EXPECT_EQ(m.tilt_in, -1.0);
    EXPECT_NEAR(m.slope_in, 45.0, 1e-9);  // still computed
    EXPECT_GT(m.radius_out, 0);            // a straight start does not stop the end
}

TEST(TrackEnds, LevelTurnTiltSign) {
    const Curve left{{0, 0, 0}, {10, 0, 0}, {20, 0, 5}, {25, 0, 15}};
    const TrackEndMeasures m = AnalyzeTrackEnds(TrackOf({left}));
    EXPECT_EQ(m.slope_in, 0);
    EXPECT_GT(m.radius_in, 0);
    EXPECT_NEAR(m.tilt_in, 90.0, 1e-4);

    const Curve right{{0, 0, 0}, {10, 0, 0}, {20, 0, -5}, {25, 0, -15}};
    EXPECT_NEAR(AnalyzeTrackEnds(TrackOf({right})).tilt_in, -90.0, 1e-4);
}

TEST(TrackEnds, SlopeRisingAndFalling) {
    Track up = TrackOf({kStraight});
    up.bezr.vertices[0].control_prev = {-1, -1, 0};
    up.bezr.vertices[1].control_prev = {29, 1, 0};  // falling into the last vertex
    TrackEndMeasures m = AnalyzeTrackEnds(up);
    EXPECT_NEAR(m.slope_in, 45.0, 1e-9);
    EXPECT_NEAR(m.slope_out, -45.0, 1e-9);

    // Vertical and zero directions have no horizontal part: slope 0.
    up.bezr.vertices[0].control_prev = {0, -1, 0};
    up.bezr.vertices[1].control_prev = up.bezr.vertices[1].position;
    m = AnalyzeTrackEnds(up);
    EXPECT_EQ(m.slope_in, 0);
    EXPECT_EQ(m.slope_out, 0);
}

TEST(TrackEnds, CurvatureThreshold) {
    // |B'(0)| = 300 and |B' x B''| = 27000 are exact: curvature 0.001 exactly.
    const Curve at_limit{{0, 0, 0}, {100, 0, 0}, {200, 15, 0}, {300, 15, 0}};
    const TrackEndMeasures m = AnalyzeTrackEnds(TrackOf({at_limit}));
    EXPECT_DOUBLE_EQ(m.radius_in, 1000.0);
    EXPECT_NEAR(m.tilt_in, 180.0, 1e-9);

    const Curve flatter{{0, 0, 0}, {100, 0, 0}, {200, 14.99f, 0}, {300, 15, 0}};
    const TrackEndMeasures f = AnalyzeTrackEnds(TrackOf({flatter}));
    EXPECT_EQ(f.radius_in, -1.0);
    EXPECT_EQ(f.tilt_in, -1.0);
}

TEST(TrackEnds, ValleyAndCrestAtTheEnd) {
    const Curve valley{{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 5, 0}};
    const TrackEndMeasures v = AnalyzeTrackEnds(TrackOf({kStraight, valley}));
    EXPECT_GT(v.radius_out, 0);
    EXPECT_NEAR(v.tilt_out, 180.0, 1e-9);
    EXPECT_EQ(v.radius_in, -1.0);

    const Curve crest{{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, -5, 0}};
    const TrackEndMeasures c = AnalyzeTrackEnds(TrackOf({kStraight, crest}));
    EXPECT_GT(c.radius_out, 0);
    EXPECT_NEAR(c.tilt_out, 0.0, 1e-9);
    EXPECT_NEAR(c.slope_out, -std::atan(0.5) * 180 / 3.14159265358979, 1e-4);
}

TEST(TrackEnds, RadiusOfACircularArc) {
    // Quarter circle of radius 50 approximated by one cubic, turning left.
    const float k = static_cast<float>(50 * 4.0 / 3 * (std::sqrt(2.0) - 1));
    const Curve arc{{0, 0, 0}, {k, 0, 0}, {50, 0, 50 - k}, {50, 0, 50}};
    const TrackEndMeasures m = AnalyzeTrackEnds(TrackOf({arc}));
    EXPECT_NEAR(m.radius_in, 50.0, 2.0);
    EXPECT_NEAR(m.radius_out, 50.0, 2.0);
    EXPECT_NEAR(m.tilt_in, 90.0, 1e-4);
    EXPECT_NEAR(m.tilt_out, 90.0, 1e-4);
}

TEST(TrackEnds, DegenerateInput) {
    // Control point on its vertex: no derivative at that end, reported straight.
    const Curve flat_start{{0, 0, 0}, {0, 0, 0}, {20, 5, 0}, {30, 5, 0}};
    const TrackEndMeasures m = AnalyzeTrackEnds(TrackOf({flat_start}));
    EXPECT_EQ(m.radius_in, -1.0);
    EXPECT_EQ(m.tilt_in, -1.0);
    EXPECT_FALSE(std::isnan(m.radius_out));

    Track one = TrackOf({kStraight});
    one.bezr.vertex_count = 1;
    for (const Track& t : {one, Track{}}) {
        const TrackEndMeasures e = AnalyzeTrackEnds(t);
        EXPECT_EQ(e.radius_in, -1.0);
        EXPECT_EQ(e.radius_out, -1.0);
        EXPECT_EQ(e.slope_in, 0);
        EXPECT_EQ(e.slope_out, 0);
        EXPECT_EQ(e.tilt_in, -1.0);
        EXPECT_EQ(e.tilt_out, -1.0);
    }
}

}  // namespace
}  // namespace torvix
