// Pins the solver's output bit for bit. The checksums were recorded from the
// straightforward out-of-line implementation; any change to the order or
// precision of the arithmetic (inlining, hoisting, FMA contraction, fast-math)
// shows up here as a different checksum, in every build type.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "geometry/fit_segments.h"
#include "heartline/solver.h"
#include "support/track_builders.h"
#include "heartline/track_length.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix {
namespace {

// FNV-1a over 64 bits.
class Checksum {
public:
    void Add(std::uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            hash_ ^= (word >> (8 * i)) & 0xffu;
            hash_ *= 0x100000001b3ull;
        }
    }
    void Add(float f) { Add(std::bit_cast<std::uint32_t>(f)); }
    void Add(const Vector3& v) {
        Add(v.x);
        Add(v.y);
        Add(v.z);
    }
    std::uint64_t value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ull;
};

// Every bit of the new spline (positions, control points, rolls, flags), the
// counts and the final Filter.
std::uint64_t SolveAndChecksum(const Track& loaded, const HeartlineParams& params) {
    Track track = loaded;
    double length = 0;
    length = TrackLength(track).value();
    const SolveResult result = SolveHeartline(track, length, params);
    EXPECT_TRUE(result.status.ok()) << result.status.message();
    Checksum sum;
    sum.Add(static_cast<std::uint32_t>(result.filter));
    sum.Add(static_cast<std::uint32_t>(track.bezr.vertex_count));
    sum.Add(static_cast<std::uint32_t>(track.segm.segment_count));
    for (const BezierVertex& v : track.bezr.vertices) {
        sum.Add(v.position);
        sum.Add(v.control_prev);
        sum.Add(v.control_next);
        sum.Add(v.roll);
        sum.Add(static_cast<std::uint32_t>(v.roll_flag | v.relative_roll << 1 | v.flag_3 << 2));
    }
    return sum.value();
}

using test::Params;

Vector3 V(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// Control arms along the chord of the neighbours, a third of the spacing long.
// Plain arithmetic and sqrt only, so the input is the same in every build.
Track ThroughPoints(const std::vector<Vector3>& points) {
    Track track;
    const int count = static_cast<int>(points.size());
    track.bezr.vertex_count = count;
    for (int i = 0; i < count; ++i) {
        const Vector3& a = points[i == 0 ? 0 : i - 1];
        const Vector3& b = points[i == count - 1 ? i : i + 1];
        const Vector3 dir = VecNormalize(VecSub(b, a));
        const double arm = VecDistance(a, b) / (i == 0 || i == count - 1 ? 3 : 6);
        BezierVertex v;
        v.position = points[i];
        v.control_next = VecAdd(points[i], VecScale(dir, arm));
        v.control_prev = VecSub(points[i], VecScale(dir, arm));
        track.bezr.vertices.push_back(v);
    }
    track.segm.segment_count = count - 1;
    track.segm.segments.assign(count - 1, Segment{});
    for (Segment& s : track.segm.segments) {
        s.color_1 = 16777215;
        s.color_2 = 16777215;
    }
    return track;
}

// Three descending turns of a helix of radius 30 m, 45 degrees per curve.
Track Helix() {
    // cos and sin of multiples of 45 degrees, written out so no build folds them differently.
    constexpr double kC[8] = {1, 0.70710678118654752, 0, -0.70710678118654752,
                              -1, -0.70710678118654752, 0, 0.70710678118654752};
    constexpr double kArm = 0.26521648984;  // 4/3 tan(pi/16): a 45-degree arc
    constexpr double kRadius = 30, kDrop = 0.75;
    Track track;
    const int count = 25;
    track.bezr.vertex_count = count;
    for (int i = 0; i < count; ++i) {
        const double c = kC[i % 8], s = kC[(i + 6) % 8];
        const double y = 20 - kDrop * i;
        BezierVertex v;
        v.position = V(kRadius * c, y, -kRadius * s);
        v.control_next = V(kRadius * (c - kArm * s), y - kDrop / 3, -kRadius * (s + kArm * c));
        v.control_prev = V(kRadius * (c + kArm * s), y + kDrop / 3, -kRadius * (s - kArm * c));
        track.bezr.vertices.push_back(v);
    }
    track.segm.segment_count = count - 1;
    track.segm.segments.assign(count - 1, Segment{});
    for (Segment& s : track.segm.segments) s.color_1 = s.color_2 = 16777215;
    return track;
}

// S-bends over hills, every banking mode and explicit smoothing counts, with
// designer rolls that are smooth, relative and plain.
Track ColourModes() {
    Track track = ThroughPoints({V(0, 10, 0), V(40, 8, 6), V(75, 12, 25), V(100, 7, 55), V(130, 9, 70),
                                 V(170, 5, 60), V(200, 8, 30), V(230, 6, 10), V(270, 4, 12), V(310, 3, 0)});
    const float rolls[] = {0.0f, 0.4f, -0.3f, 0.9f, 0.2f, -0.6f, 3.0f, -3.0f, 0.1f, 0.0f};
    for (int i = 0; i < 10; ++i) {
        BezierVertex& v = track.bezr.vertices[i];
        v.roll = rolls[i];
        v.roll_flag = i % 3 != 2;
        v.relative_roll = i == 4 || i == 8;
    }
    const Colour colour_1[] = {0, 255, 65280, 16777215, 65280, 255, 0, 4321, 255};
    const Colour colour_2[] = {16777215, 0, 5, 60, 2816, 16777215, -1, 12, 40};
    for (int i = 0; i < 9; ++i) {
        track.segm.segments[i].color_1 = colour_1[i];
        track.segm.segments[i].color_2 = colour_2[i];
    }
    return track;
}

Track ReadOrFail(const std::string& path) {
    Track track;
    EXPECT_TRUE(ReadTrackFile(path, track)) << path;
    return track;
}

const std::string kSample = test::SampleTrackPath().string();

TEST(OutputChecksum, SolverRunsKeepEveryBit) {
    struct Case {
        const char* name;
        Track track;
        HeartlineParams params;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {"sample, default settings", ReadOrFail(kSample), HeartlineParams{}, 0x1573c697f015ddd7ull},
        {"sample, 200 x 16", ReadOrFail(kSample), Params(200, 16, 15, 1.0, 20, 17), 0x5b0659f8a7bae384ull},
        {"descending helix", Helix(), Params(48, 8, 15, 1.2, 12, 15), 0x4d3048ce2a108be1ull},
        {"every colour mode, hanging train", ColourModes(), Params(45, 6, 12, -0.8, 18, 16), 0x7a80d1a0fbedb33full},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SolveAndChecksum(c.track, c.params), c.expected) << c.name;
    }
}

TEST(OutputChecksum, DemoCircuitAt200x16KeepsEveryBit) {
    const auto path = test::DemoTrackPath();
    if (path.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
    EXPECT_EQ(SolveAndChecksum(ReadOrFail(path.string()), Params(200, 16, 15, 1.0, 25, 20)), 0xa57919a29af67a37ull);
}

// The solver only asks for one segment; the halving path of the fitter is pinned here.
TEST(OutputChecksum, MultiSegmentFitKeepsEveryBit) {
    std::vector<Vector3> points;
    for (int i = 0; i <= 40; ++i) {
        const double t = i / 40.0;
        points.push_back(V(100 * t, 20 * t * (1 - t) * (1 - 2 * t), 15 * t * t));
    }
    const FitResult fit = FitSegments(points, 41, VecNormalize(VecSub(points[1], points[0])),
                                      VecNormalize(VecSub(points[39], points[40])), 8);
    ASSERT_TRUE(fit.status.ok()) << fit.status.message();
    Checksum sum;
    sum.Add(static_cast<std::uint32_t>(fit.segment_count));
    for (const FittedSegment& s : fit.segments) {
        sum.Add(s.start);
        sum.Add(s.start_control);
        sum.Add(s.end_control);
        sum.Add(s.end);
    }
    EXPECT_EQ(sum.value(), 0x98cf14b843c15fbfull);
}

}  // namespace
}  // namespace torvix
