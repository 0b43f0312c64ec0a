// The refined fit reads a track as the ride report does: its model of the
// simulator's reading (the frame carried along the rails, the twist laid on
// it from the vertex twists and rate flags), run on the vertices it
// committed, gives the rails model's down vectors.
#include <gtest/gtest.h>

#include <algorithm>

#include "heartline/track_length.h"
#include "railframe/rail_frame.h"
#include "refined/refined_internal.h"
#include "refined/solver_modes.h"
#include "ride/ride_line.h"
#include "support/ride_tracks.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::refined {
namespace {

Track Refined(Track track, int segments, double start, double end) {
    HeartlineParams p;
    p.segments = segments, p.precision = 6, p.filter = 15, p.heartline = 1.0;
    p.start_speed = start, p.end_speed = end;
    const double length = TrackLength(track).value();
    EXPECT_TRUE(SolveHeartlineRefined(track, length, p, {}).status.ok());
    return track;
}

// The largest distance between the fit's down vector and the rails model's, 12 points a curve.
double LargestGap(const Track& track) {
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(),
                                                 static_cast<std::size_t>(track.bezr.vertex_count));
    const auto rails = railframe::PrepareRails(vertices, railframe::RollReading::kSimulator,
                                               ride::IsClosedCircuit(track));
    std::vector<CubicBezier> curves;
    std::vector<double> theta;  // the twist each vertex has against the carried frame, as the rails model reads it
    for (const railframe::RailCurve& c : rails) {
        curves.push_back(c.bezier);
        theta.push_back(c.twist.start);
    }
    theta.push_back(rails.back().twist.start + rails.back().twist.change);
    std::vector<char> flags;
    for (const BezierVertex& v : vertices) flags.push_back(v.roll_flag);
    flags.resize(theta.size(), 0);

    Grid grid;
    grid.per_curve = 12;
    for (int c = 0; c < static_cast<int>(curves.size()); ++c)
        for (int k = 0; k <= grid.per_curve; ++k) {
            GridPoint g;
            g.out_curve = c, g.out_u = double(k) / grid.per_curve;
            grid.points.push_back(g);
        }
    const RailsReading reading = ReadRails(curves, grid);
    double gap = 0;
    for (std::size_t i = 0; i < grid.points.size(); ++i) {
        const GridPoint& g = grid.points[i];
        const DVec3 ride = railframe::EvaluateRail(rails[g.out_curve], 0.0, g.out_u).down;
        gap = std::max(gap, Norm(ReadDown(reading, grid, i, flags, theta) - ride));
    }
    return gap;
}

TEST(RefinedReading, FitReadsItsCommittedTrackAsTheRideReport) {
    // Flagged rates, relative rolls near vertical, upside down, a closed circuit's joint.
    const struct {
        const char* name;
        Track track;
        int segments;
        double start, end;
    } cases[] = {{"steep flagged helix", ridetracks::SteepFlaggedHelix(), 40, 15, 15},
                 {"vertical loop", ridetracks::VerticalLoop(), 40, 22, 21},
                 {"mixed colours", ridetracks::MixedColours(), 40, 20, 19},
                 {"loop and return circuit", ridetracks::LoopAndReturnCircuit(), 40, 22, 21}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Track out = Refined(c.track, c.segments, c.start, c.end);
        EXPECT_LT(LargestGap(out), 1e-9);
    }
    Track sample;
    ASSERT_TRUE(ReadTrackFile(test::SampleTrackPath().string(), sample));
    EXPECT_LT(LargestGap(Refined(sample, 60, 20, 17)), 1e-9);
}

}  // namespace
}  // namespace torvix::refined
