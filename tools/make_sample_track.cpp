// Writes the sample ride shipped as samples/sample.nltrack: a station
// straight, a drop, a banked 180-degree turn, an airtime hill, a vertical
// loop with a sideways shift and a climb onto a brake run. The path is
// traced by a "turtle" whose heading turns smoothly (angle rates shaped
// sin^2, so curvature grows from zero at both ends of every element); the
// vertices lie on the traced path with handles along the exact heading, so
// every vertex is tangent-continuous.
//
// Usage: make_sample_track OUT.nltrack
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/constants.h"
#include "track/track_io.h"

namespace {

using torvix::geometry::kPi;
constexpr double kDeg = kPi / 180.0;

// One element of the ride: over `length` metres the yaw and the pitch change
// by the given angles and the path drifts `shift` metres to the left.
struct Element {
    const char* name;
    double length;
    double yaw_change;    // radians, positive turns from +x toward +z
    double pitch_change;  // radians, positive noses up
    double spacing;       // target distance between vertices
    double shift = 0;
    bool banked = false;  // designer roll follows the turn
};

struct PathPoint {
    double x, y, z;
    double yaw, pitch;
    double yaw_rate;  // radians per metre
};

struct Turtle {
    double x = 0, y = 20, z = 0;
    double yaw = 0, pitch = 0;

    double dx() const { return std::cos(pitch) * std::cos(yaw); }
    double dy() const { return std::sin(pitch); }
    double dz() const { return std::cos(pitch) * std::sin(yaw); }
};

// Traces `e` from `t` in fine steps and returns the points at its vertex
// positions (the element's start excluded, its end included).
std::vector<PathPoint> Trace(Turtle& t, const Element& e) {
    const int pieces = std::max(1, static_cast<int>(std::ceil(e.length / e.spacing)));
    const int steps_per_piece = 400;
    const int steps = pieces * steps_per_piece;
    const double ds = e.length / steps;
    std::vector<PathPoint> out;
    for (int i = 0; i < steps; ++i) {
        const double u = (i + 0.5) / steps;
        const double shape = 2.0 * std::sin(kPi * u) * std::sin(kPi * u);  // integrates to 1 over u
        const double yaw_rate = e.yaw_change / e.length * shape;
        // Midpoint rule: half a turn, the step, the other half.
        t.yaw += 0.5 * yaw_rate * ds;
        t.pitch += 0.5 * e.pitch_change / e.length * shape * ds;
        const double side = e.shift / e.length * shape * ds;  // to the left of the heading
        t.x += t.dx() * ds + std::sin(t.yaw) * side;
        t.y += t.dy() * ds;
        t.z += t.dz() * ds - std::cos(t.yaw) * side;
        t.yaw += 0.5 * yaw_rate * ds;
        t.pitch += 0.5 * e.pitch_change / e.length * shape * ds;
        if ((i + 1) % steps_per_piece == 0) {
            const double u_end = static_cast<double>(i + 1) / steps;
            const double rate = e.yaw_change / e.length * 2.0 * std::sin(kPi * u_end) * std::sin(kPi * u_end);
            out.push_back({t.x, t.y, t.z, t.yaw, t.pitch, rate});
        }
    }
    return out;
}

torvix::geometry::Vector3 Vec(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.nltrack\n", argv[0]);
        return 2;
    }

    const std::vector<Element> ride = {
        {"station", 36, 0, 0, 6},
        {"crest", 14, 0, -48 * kDeg, 3.5},
        {"drop", 12, 0, 0, 6},
        {"pull-out", 24, 0, 48 * kDeg, 4},
        {"run-in", 8, 0, 0, 4},
        {"turn", 95, 180 * kDeg, 0, 5, 0, true},
        {"run-out", 10, 0, 0, 5},
        {"hill-up", 16, 0, 32 * kDeg, 4},
        {"hill-climb", 12, 0, 0, 4},
        {"hill-crest", 26, 0, -64 * kDeg, 3.25},
        {"hill-descent", 4, 0, 0, 4},
        {"hill-out", 16, 0, 32 * kDeg, 4},
        {"valley", 20, 0, 0, 5},
        {"loop", 72, 0, 360 * kDeg, 2.5, 5},
        {"loop-exit", 14, 0, 0, 4.5},
        {"climb-up", 16, 0, 25 * kDeg, 4},
        {"climb", 30, 0, 0, 5},
        {"climb-out", 16, 0, -25 * kDeg, 4},
        {"brake-run", 30, 0, 0, 6},
    };

    Turtle turtle;
    std::vector<PathPoint> points = {{turtle.x, turtle.y, turtle.z, 0, 0, 0}};
    std::vector<bool> banked = {false};
    std::vector<bool> station = {true};
    for (const Element& e : ride) {
        for (const PathPoint& p : Trace(turtle, e)) {
            points.push_back(p);
            banked.push_back(e.banked);
            station.push_back(std::string(e.name) == "station");
        }
    }

    torvix::track::Track track;
    track.info.info_text = "Sample ride: station, drop, banked turn, airtime hill, loop, brake run.";
    const double start_head = 20.0 * 20.0 / torvix::geometry::kTwoGravity + points.front().y;
    const auto n = points.size();
    for (std::size_t i = 0; i < n; ++i) {
        const PathPoint& p = points[i];
        const double hx = std::cos(p.pitch) * std::cos(p.yaw);
        const double hy = std::sin(p.pitch);
        const double hz = std::cos(p.pitch) * std::sin(p.yaw);
        const double back = i > 0 ? std::hypot(p.x - points[i - 1].x, p.y - points[i - 1].y, p.z - points[i - 1].z) / 3
                                  : 0;
        const double ahead =
            i + 1 < n ? std::hypot(points[i + 1].x - p.x, points[i + 1].y - p.y, points[i + 1].z - p.z) / 3 : 0;
        torvix::track::BezierVertex v;
        v.position = Vec(p.x, p.y, p.z);
        v.control_prev = Vec(p.x - hx * (i > 0 ? back : ahead), p.y - hy * (i > 0 ? back : ahead),
                             p.z - hz * (i > 0 ? back : ahead));
        v.control_next = Vec(p.x + hx * (i + 1 < n ? ahead : back), p.y + hy * (i + 1 < n ? ahead : back),
                             p.z + hz * (i + 1 < n ? ahead : back));
        if (banked[i]) {
            // Bank into the turn so that a train at about the speed it has
            // here (energy head minus height, less a little friction) feels
            // no sideways push; a left turn (toward +z) rolls negative.
            const double speed_sq = torvix::geometry::kTwoGravity * (start_head - 1.0 - p.y);
            v.roll = static_cast<float>(-std::atan(speed_sq * p.yaw_rate / torvix::geometry::kGravity));
        }
        v.roll_flag = true;
        track.bezr.vertices.push_back(v);
    }
    track.bezr.vertex_count = static_cast<torvix::track::Long>(n);

    // One segment per curve. The station keeps the designer's flat roll and
    // the curve leaving it blends into force-aligned banking; everything else
    // is force-aligned with the filter count taken from the speed.
    for (std::size_t k = 0; k + 1 < n; ++k) {
        torvix::track::Segment s;
        s.color_1 = s.color_2 = s.color_3 = 16777215;
        if (station[k + 1]) s.color_1 = torvix::track::kDesignerRollColour;
        if (station[k] && !station[k + 1]) s.color_1 = torvix::track::kBlendToForceColour;
        track.segm.segments.push_back(s);
    }
    track.segm.segment_count = static_cast<torvix::track::Long>(n - 1);

    double top = -1e9;
    double length = 0;
    for (std::size_t i = 1; i < n; ++i) {
        length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y, points[i].z - points[i - 1].z);
        top = std::max(top, points[i].y);
    }
    torvix::track::TrackIoError error;
    if (!torvix::track::WriteTrackFile(argv[1], track, &error)) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        return 4;
    }
    std::printf("%zu vertices, about %.0f m, start %.2f m, highest %.2f m, end %.2f m (energy head %.2f m)\n", n,
                length, points.front().y, top, points.back().y, start_head);
    return 0;
}
