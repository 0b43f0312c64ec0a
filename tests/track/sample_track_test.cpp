// The shipped sample ride must stay a valid, smooth, open track that the
// solver's default speeds (20 m/s in, 17 m/s out) carry all the way.
#include <gtest/gtest.h>

#include <cmath>

#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix {
namespace {

TEST(SampleTrackTest, IsASmoothOpenRideTheDefaultSpeedsCarry) {
    const std::string path = test::SampleTrackPath().string();
    Track track;
    TrackIoError error;
    ASSERT_TRUE(ReadTrackFile(path, track, &error)) << error.message;
    EXPECT_FALSE(track.tera.present);
    const auto& v = track.bezr.vertices;
    ASSERT_GE(track.bezr.vertex_count, 50);
    ASSERT_EQ(track.segm.segment_count, track.bezr.vertex_count - 1);
    EXPECT_GT(VecDistance(v.front().position, v.back().position), 10.0);

    int force_aligned = 0;
    for (const Segment& s : track.segm.segments) {
        EXPECT_EQ(s.segment_type, 0);
        if (s.color_1 == 16777215 && s.color_2 == 16777215) ++force_aligned;
    }
    EXPECT_GE(force_aligned, track.segm.segment_count - 8);

    // Tangent-continuous: both handles of every inner vertex on one line.
    for (std::size_t i = 1; i + 1 < v.size(); ++i) {
        const Vector3 in = VecNormalize(VecSub(v[i].position, v[i].control_prev));
        const Vector3 out = VecNormalize(VecSub(v[i].control_next, v[i].position));
        EXPECT_GT(VecDot(in, out), 0.99999) << "vertex " << i;
    }

    // Energy along the path: start head minus a uniform loss down to the end
    // head; the highest point the solver evaluates is 2 m (twice the default
    // heartline) above the path. Keep at least 5 m of head (about 10 m/s).
    const double length = TrackLength(track).value();
    ASSERT_GT(length, 300.0);
    const double e_start = 20.0 * 20.0 / 19.62 + v.front().position.y;
    const double e_end = 17.0 * 17.0 / 19.62 + v.back().position.y;
    const double gradient = (e_end - e_start) / length;
    double s = 0;
    Vector3 prev = v.front().position;
    double least_head = 1e9;
    for (std::size_t k = 0; k + 1 < v.size(); ++k) {
        for (int j = 0; j <= 100; ++j) {
            const Vector3 p = BezierPoint(v[k].position, v[k].control_next, v[k + 1].position, v[k + 1].control_prev,
                                          static_cast<float>(j) / 100.0f);
            s += VecDistance(prev, p);
            prev = p;
            least_head = std::min(least_head, e_start + gradient * s - (p.y + 2.0));
        }
    }
    EXPECT_GT(least_head, 5.0);
    EXPECT_GT(gradient, -0.03);  // a plausible friction loss
}

TEST(SampleTrackTest, SolverRunsWithTheDefaultParameters) {
    Track track;
    ASSERT_TRUE(ReadTrackFile(test::SampleTrackPath().string(), track));
    const double track_length = TrackLength(track).value();
    const SolveResult result = SolveHeartline(track, track_length, HeartlineParams{});
    ASSERT_TRUE(result.status.ok()) << result.status.message();
    EXPECT_EQ(track.bezr.vertex_count, HeartlineParams{}.segments + 1);
}

}  // namespace
}  // namespace torvix
