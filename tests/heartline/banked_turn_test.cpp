// End to end: a level circle and a descending helix come out banked so that
// the riders feel their weight and the turn's pull straight down into the
// seat, and the rails lie the heartline height below the path drawn.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/vec_angle.h"
#include "heartline/solver.h"
#include "support/track_builders.h"
#include "heartline/track_length.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix {
namespace {

constexpr double kG = 9.81;
constexpr double kPi = 3.14159265358979;

// `arcs` arcs of 45 degrees about the y axis, anticlockwise from above, the
// height changing by `rise` metres per radian.
Track Helix(double radius, int arcs, double rise) {
    const double step = kPi / 4;
    const double arm = 4.0 / 3.0 * std::tan(step / 4);  // per unit of d(position)/d(angle)
    Track track = test::CircleTrack(radius, arcs);
    for (int i = 0; i <= arcs; ++i) {
        const double a = i * step;
        const Vector3 p{static_cast<float>(radius * std::cos(a)), static_cast<float>(rise * a),
                        static_cast<float>(-radius * std::sin(a))};
        const Vector3 d{static_cast<float>(-radius * std::sin(a)), static_cast<float>(rise),
                        static_cast<float>(-radius * std::cos(a))};
        BezierVertex& v = track.bezr.vertices[static_cast<std::size_t>(i)];
        v.position = p;
        v.control_next = VecAdd(p, VecScale(d, arm));
        v.control_prev = VecSub(p, VecScale(d, arm));
    }
    return track;
}

// The down vector a vertex's roll stands for: the roll turns the unbanked
// down vector about the curve's start direction.
Vector3 DownOf(const BezierVertex& v) {
    const Vector3 t = VecNormalize(VecSub(v.control_next, v.position));
    const Vector3 level = VecNormalize(VecCross(t, VecNormalize(VecCross(Vector3{0, -1, 0}, t))));
    return VecSub(VecScale(level, std::cos(v.roll)), VecScale(VecCross(t, level), std::sin(v.roll)));
}

void ExpectBankedAroundTheAxis(const Track& input, double radius, double rise, double start_speed) {
    const double heartline = 1.1;
    const double drop = -rise * (input.bezr.vertex_count - 1) * kPi / 4;
    HeartlineParams params;
    params.segments = 4 * (input.bezr.vertex_count - 1);
    params.heartline = heartline;
    params.start_speed = start_speed;
    params.end_speed = std::sqrt(start_speed * start_speed + 2 * kG * drop);  // no friction
    Track track = input;
    const base::Result<double> length = TrackLength(track);
    ASSERT_TRUE(length.ok());
    const SolveResult result = SolveHeartline(track, *length, params);
    ASSERT_TRUE(result.status.ok()) << result.status.message();

    // Radius of curvature of the helix and its slope.
    const double rho = (radius * radius + rise * rise) / radius;
    const double slope = std::atan(rise / radius);
    // The ends follow the input's end vertices; the turn is judged inside.
    for (int i = 2; i + 2 <= params.segments; ++i) {
        const BezierVertex& v = track.bezr.vertices[static_cast<std::size_t>(i)];
        const Vector3 down = DownOf(v);
        const Vector3 heart = VecSub(v.position, VecScale(down, heartline));
        // Four new curves per arc: vertex i lies near angle i * pi / 16; the
        // exact angle comes from the heart point, unwrapped to that turn.
        const double near = i * kPi / 16;
        double angle = std::atan2(-static_cast<double>(heart.z), heart.x);
        angle += 2 * kPi * std::round((near - angle) / (2 * kPi));
        // The heart line stays on the path drawn.
        EXPECT_NEAR(std::hypot(heart.x, heart.z), radius, 0.03) << i;
        EXPECT_NEAR(heart.y, rise * angle, 0.03) << i;

        const double speed2 = start_speed * start_speed - 2 * kG * heart.y;
        const double expected = std::atan(speed2 / rho / (kG * std::cos(slope)));
        const Vector3 t = VecNormalize(VecSub(v.control_next, v.position));
        const Vector3 level = VecNormalize(VecCross(t, VecNormalize(VecCross(Vector3{0, -1, 0}, t))));
        EXPECT_NEAR(VecAngle(down, level), expected, 3 * kPi / 180) << i;
        // Tilted away from the axis: the pull of the turn adds to the weight.
        const Vector3 outward = VecNormalize(Vector3{heart.x, 0, heart.z});
        EXPECT_GT(VecDot(down, outward), 0.3) << i;
    }
}

TEST(BankedTurn, LevelCircle) { ExpectBankedAroundTheAxis(test::CircleTrack(30, 8), 30, 0, 15); }

TEST(BankedTurn, DescendingHelix) { ExpectBankedAroundTheAxis(Helix(25, 16, -0.8), 25, -0.8, 14); }

}  // namespace
}  // namespace torvix
