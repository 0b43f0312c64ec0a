// Test tracks for the banking methods, shared by the tests and the ride table
// program: a banked helix, an airtime camelback, a flat course of mixed
// segment colours and counts, a vertical loop and a designer-rolled course.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "track/track.h"

namespace torvix::ridetracks {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr track::Colour kWhite = 16777215;

// A curve's end point with its derivative along the curve parameter (the
// control arms are a third of it on each side).
struct Node {
    double p[3];
    double d[3];
    double roll = 0;
};

struct CurveColours {
    track::Colour color_1 = kWhite;
    track::Colour color_2 = kWhite;
};

inline track::Track FromNodes(const std::vector<Node>& nodes, const std::vector<CurveColours>& colours = {}) {
    track::Track track;
    track.bezr.vertex_count = static_cast<track::Long>(nodes.size());
    auto f = [](double x, double y, double z) { return geometry::Vector3{float(x), float(y), float(z)}; };
    for (const Node& n : nodes) {
        track::BezierVertex v;
        v.position = f(n.p[0], n.p[1], n.p[2]);
        v.control_next = f(n.p[0] + n.d[0] / 3, n.p[1] + n.d[1] / 3, n.p[2] + n.d[2] / 3);
        v.control_prev = f(n.p[0] - n.d[0] / 3, n.p[1] - n.d[1] / 3, n.p[2] - n.d[2] / 3);
        v.roll = float(n.roll);
        track.bezr.vertices.push_back(v);
    }
    const std::size_t curves = nodes.size() - 1;
    track.segm.segment_count = static_cast<track::Long>(curves);
    track.segm.segments.assign(curves, track::Segment{});
    for (std::size_t i = 0; i < curves; ++i) {
        const CurveColours c = i < colours.size() ? colours[i] : CurveColours{};
        track.segm.segments[i].color_1 = c.color_1;
        track.segm.segments[i].color_2 = c.color_2;
    }
    return track;
}

// A flat course drawn by heading: straights and arcs at height `y`.
class FlatCourse {
public:
    explicit FlatCourse(double y = 0) : y_(y) { Add(1.0); }
    // `length` metres straight ahead in `curves` curves.
    FlatCourse& Straight(double length, int curves) {
        const double step = length / curves;
        for (int i = 0; i < curves; ++i) {
            x_ += step * std::cos(h_);
            z_ -= step * std::sin(h_);
            Add(step);
        }
        return *this;
    }
    // An arc of `radius` turning by `angle` radians (positive: to the left, seen from above).
    FlatCourse& Turn(double radius, double angle, int curves) {
        const double step = angle / curves;
        for (int i = 0; i < curves; ++i) {
            const double cx = x_ - radius * std::sin(h_) * (angle > 0 ? 1 : -1);
            const double cz = z_ - radius * std::cos(h_) * (angle > 0 ? 1 : -1);
            const double a0 = std::atan2(-(z_ - cz), x_ - cx);
            const double a1 = a0 + step;
            x_ = cx + radius * std::cos(a1);
            z_ = cz - radius * std::sin(a1);
            h_ += step;
            Add(4 * radius * std::tan(std::abs(step) / 4));  // the arm that matches a circular arc best
        }
        return *this;
    }
    // Sets the roll of the last vertex added.
    FlatCourse& Roll(double radians) {
        nodes_.back().roll = radians;
        return *this;
    }
    const std::vector<Node>& nodes() const { return nodes_; }

private:
    void Add(double arm) {
        // Derivative = heading times curve length; neighbouring curves of
        // different lengths share the direction, not the magnitude.
        Node n{{x_, y_, z_}, {arm * std::cos(h_), 0, -arm * std::sin(h_)}, 0};
        if (!nodes_.empty()) {
            // Arms of the curve just finished: keep the outgoing arm of the previous node at this curve's length.
            Node& prev = nodes_.back();
            const double len = std::hypot(prev.d[0], prev.d[2]);
            if (len > 0) {
                prev.d[0] *= arm / len;
                prev.d[2] *= arm / len;
            }
        }
        nodes_.push_back(n);
    }
    double x_ = 0, y_ = 0, z_ = 0, h_ = 0;
    std::vector<Node> nodes_;
};

// Two turns of radius 30 m descending 6 m per turn in 30-degree curves; at
// equal start and end speeds the train keeps its speed all the way.
inline track::Track BankedHelix() {
    const double r = 30, drop = 6.0 / (2 * kPi), step = kPi / 6;
    const double arc = 4 * std::tan(step / 4);  // horizontal arms that match a circular arc best
    std::vector<Node> nodes;
    for (int i = 0; i <= 24; ++i) {
        const double a = i * step;
        nodes.push_back({{r * std::cos(a), 20 - drop * a, -r * std::sin(a)},
                         {-r * std::sin(a) * arc, -drop * step, -r * std::cos(a) * arc}});
    }
    return FromNodes(nodes);
}

// Level run-in, a 12 m cosine hill whose crest throws the riders up
// (about -0.2 g at 20 m/s in), level run-out. Drawn in one vertical plane.
inline track::Track AirtimeCamelback() {
    const double h = 12, w = 24, run = 40;
    const int pieces = 8;
    const double step = 2 * w / pieces;
    std::vector<Node> nodes = {{{0, 0, 0}, {run, 0, 0}}};
    for (int i = 0; i <= pieces; ++i) {
        const double x = -w + i * step;
        const double y = h / 2 * (1 + std::cos(kPi * x / w));
        const double slope = -h / 2 * kPi / w * std::sin(kPi * x / w);
        nodes.push_back({{run + w + x, y, 0}, {step, slope * step, 0}});
    }
    nodes.push_back({{2 * run + 2 * w, 0, 0}, {run, 0, 0}});
    nodes[1].d[0] = step, nodes.back().d[0] = run;
    return FromNodes(nodes);
}

// A level station straight at 20 m, a drop whose crest throws the riders up
// hard (about -2 g at 20 m/s) and pulls out at the bottom, a level run-out.
// Drawn in one vertical plane.
inline track::Track AirtimeDrop() {
    const double h = 20, w = 35, run = 40;
    const int pieces = 8;
    const double step = w / pieces;
    std::vector<Node> nodes = {{{0, h, 0}, {run / 2, 0, 0}}, {{run / 2, h, 0}, {run / 2, 0, 0}}};
    for (int i = 0; i <= pieces; ++i) {
        const double x = i * step;
        const double y = h - h / 2 * (1 - std::cos(kPi * x / w));
        const double slope = -h / 2 * kPi / w * std::sin(kPi * x / w);
        nodes.push_back({{run + x, y, 0}, {step, slope * step, 0}});
    }
    nodes.push_back({{2 * run + w, 0, 0}, {run, 0, 0}});
    return FromNodes(nodes);
}

// A flat course whose curves use every banking colour and explicit smoothing
// counts from 0 to 40 beside speed-derived ones; the designer banks the
// left turn by hand, close to what the forces ask for.
inline track::Track MixedColours() {
    FlatCourse course;
    course.Straight(30, 2).Turn(40, -kPi / 2, 3).Straight(20, 1).Turn(40, kPi / 2, 3).Straight(15, 1)
        .Turn(30, -kPi / 2, 3).Straight(20, 2);
    std::vector<Node> nodes = course.nodes();
    const double rolls[] = {0, 0, 0, 0, 0, 0, 0.3, 0.7, 0.75, 0.5, 0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < nodes.size(); ++i) nodes[i].roll = rolls[i];
    const std::vector<CurveColours> colours = {
        {kWhite, kWhite}, {kWhite, kWhite},                  // run-in
        {kWhite, kWhite}, {kWhite, 40},   {kWhite, 40},      // force-aligned right turn, heavy smoothing at its end
        {255, 0},                                            // force turning into the designer's roll, count 0
        {0, 0},           {0, 5},         {65280, 5},        // designer roll, then back to force
        {0, 0},                                              // a designer straight rolling back to level, count 0
        {kWhite, kWhite}, {kWhite, 12},   {kWhite, kWhite},  // force-aligned right turn
        {kWhite, kWhite}, {kWhite, kWhite},
    };
    return FromNodes(nodes, colours);
}

// Run-in, a vertical loop of radius 8 m that shifts 3 m sideways, run-out.
inline track::Track VerticalLoop() {
    const double r = 8, w = 3;
    std::vector<Node> nodes = {{{-30, 0, 0}, {30, 0, 0}}};
    const int arcs = 8;
    const double step = 2 * kPi / arcs;
    for (int i = 0; i <= arcs; ++i) {
        const double a = i * step;
        nodes.push_back({{r * std::sin(a), r - r * std::cos(a), w * (1 - std::cos(a / 2)) / 2},
                         {r * std::cos(a) * step, r * std::sin(a) * step, w * std::sin(a / 2) / 4 * step}});
    }
    nodes[1].d[0] = r * step;  // the run-in meets the loop along x
    nodes.push_back({{30, 0, w}, {30, 0, 0}});
    return FromNodes(nodes);
}

// Run-in, a vertical loop of radius 8 m in one plane, run-out, all level at
// the ends. The rolls are seat-aligned: 0 at the bottom, pi at the top; the
// two vertices on the vertical sides, where a bank against world up is
// undefined, add no twist (relative roll 0).
inline track::Track SeatAlignedLoop() {
    const double r = 8;
    const int arcs = 8;
    const double step = 2 * kPi / arcs;
    std::vector<Node> nodes = {{{-30, 0, 0}, {30, 0, 0}}};
    for (int i = 0; i <= arcs; ++i) {
        const double a = i * step;
        const bool inverted = std::cos(a) < -1e-9;
        nodes.push_back({{r * std::sin(a), r - r * std::cos(a), 0}, {r * std::cos(a) * step, r * std::sin(a) * step, 0},
                         inverted ? kPi : 0.0});
    }
    nodes[1].d[0] = r * step;
    nodes.push_back({{30, 0, 0}, {30, 0, 0}});
    track::Track track = FromNodes(nodes);
    for (int i : {1 + arcs / 4, 1 + 3 * arcs / 4}) track.bezr.vertices[i].relative_roll = true;
    return track;
}

// One turn of radius 15 m descending at 45 degrees in 30-degree curves, every
// vertex banked by `roll` and flagged to roll on through it.
inline track::Track SteepFlaggedHelix(double roll = 0.5) {
    const double r = 15, step = kPi / 6;
    const double arc = 4 * std::tan(step / 4);
    std::vector<Node> nodes;
    for (int i = 0; i <= 12; ++i) {
        const double a = i * step;
        nodes.push_back({{r * std::cos(a), 100 - r * a, -r * std::sin(a)},
                         {-r * std::sin(a) * arc, -r * step, -r * std::cos(a) * arc}, roll});
    }
    track::Track track = FromNodes(nodes);
    for (track::BezierVertex& v : track.bezr.vertices) v.roll_flag = true;
    return track;
}

// A flat course banked by the designer's own rolls only (colour 0).
inline track::Track DesignerRolls() {
    FlatCourse course;
    course.Straight(20, 1).Turn(30, kPi / 2, 3).Straight(20, 1).Turn(25, -kPi / 2, 3).Straight(20, 1).Turn(35, kPi / 3, 2).Straight(20, 1);
    std::vector<Node> nodes = course.nodes();
    // Rolls through the turns: the middle vertices of each arc carry the bank.
    const double rolls[] = {0, 0, -0.5, -0.7, -0.6, -0.2, 0.4, 0.7, 0.7, 0.1, -0.4, -0.5, 0};
    for (std::size_t i = 0; i < nodes.size() && i < std::size(rolls); ++i) nodes[i].roll = rolls[i];
    std::vector<CurveColours> colours(nodes.size() - 1, CurveColours{0, kWhite});
    return FromNodes(nodes, colours);
}

// A closed circuit: the seat-aligned loop, a level return of two left
// U-turns (radius 15 m) that ends 15 m behind the start, and the closing
// curve, a straight, back to the first vertex. The designer banks the end of
// the last U-turn by 0.4 rad, which the closing curve rolls out again.
inline track::Track LoopAndReturnCircuit() {
    std::vector<Node> nodes = [] {
        std::vector<Node> loop;
        const track::Track seat = SeatAlignedLoop();
        for (const track::BezierVertex& v : seat.bezr.vertices)
            loop.push_back({{v.position.x, v.position.y, v.position.z},
                            {3.0 * (v.control_next.x - v.position.x), 3.0 * (v.control_next.y - v.position.y),
                             3.0 * (v.control_next.z - v.position.z)},
                            v.roll});
        return loop;
    }();
    FlatCourse back;
    back.Straight(10, 1).Turn(15, kPi, 2).Straight(85, 2).Turn(15, kPi, 2).Roll(0.4);
    for (std::size_t i = 1; i < back.nodes().size(); ++i) {
        Node n = back.nodes()[i];
        n.p[0] += 30;
        nodes.push_back(n);
    }
    track::Track track = FromNodes(nodes);
    const track::Track seat = SeatAlignedLoop();
    for (std::size_t i = 0; i < seat.bezr.vertices.size(); ++i)
        track.bezr.vertices[i].relative_roll = seat.bezr.vertices[i].relative_roll;
    track.bezr.vertices[seat.bezr.vertices.size() - 1].control_next = {30 + 10.0f / 3, 0, 0};  // the 10 m straight
    // The closing straight, with arms at its thirds.
    track.bezr.vertices.back().control_next = {-40, 0, 0};
    track.bezr.vertices.front().control_prev = {-35, 0, 0};
    track.segm.flag = true;
    track.segm.segment_count = track.bezr.vertex_count;
    track.segm.segments.resize(static_cast<std::size_t>(track.bezr.vertex_count));
    return track;
}

struct NamedTrack {
    std::string name;
    track::Track track;
    double start_speed, end_speed;
};

inline std::vector<NamedTrack> AllRideTracks() {
    return {{"Banked helix, constant speed", BankedHelix(), 15, 15},
            {"Airtime camelback", AirtimeCamelback(), 20, 19},
            {"Station into an airtime drop", AirtimeDrop(), 20, 27},
            {"Mixed colour modes and counts", MixedColours(), 20, 19},
            {"Vertical loop", VerticalLoop(), 22, 21},
            {"Seat-aligned planar loop", SeatAlignedLoop(), 22, 21},
            {"Steep flagged helix", SteepFlaggedHelix(), 15, 15},
            {"Designer-roll track", DesignerRolls(), 20, 19}};
}

}  // namespace torvix::ridetracks
