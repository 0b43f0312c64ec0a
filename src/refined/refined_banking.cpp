// What the track should be banked to at each grid point: the seat force or
// the designer's roll per segment colour, measured against a frame that does
// not twist, with airtime left upright; then smoothed in ride time.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "railframe/carried_frame.h"
#include "refined/refined_internal.h"
#include "ride/attitude.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::refined {

namespace {

constexpr double kTwoPi = 2 * kPi;
constexpr double kMinForceWeight = 0.05;  // smoothing weight of a point with almost no force
constexpr double kDegrees = 180 / kPi;
constexpr int kGaussTable = 2048;
constexpr double kGaussReach = 4.5;  // (3 widths)^2 / 2

double Nearest(double angle, double to) { return angle - kTwoPi * std::round((angle - to) / kTwoPi); }

struct Weights {
    double roll = 0, force = 1;
};

Weights ColourWeights(Colour color_1, double u) {
    const double ease = (1 - std::cos(kPi * u)) / 2;
    if (color_1 == kDesignerRollColour) return {1, 0};
    if (color_1 == kBlendToRollColour) return {ease, 1 - ease};
    if (color_1 == kBlendToForceColour) return {1 - ease, ease};
    return {0, 1};
}

// Whether riders are seated (0) or floated (1) at every point, as the
// cheapest sequence by turning (radians) plus floating (per second, growing
// with the force). Only the attitude within a right angle of the natural one
// may be floated (airtime is floated upright); the seat beyond a right angle
// of it may be taken only where the forces call for it and the seat is
// overbanked rather than turned over, so a crest is floated upright however
// hard it throws the riders.
std::vector<int> ChooseStates(const Grid& grid, const std::vector<double>& seat, const std::vector<double>& natural,
                              const std::vector<double>& force, const RefinedTuning& tuning) {
    const std::size_t n = seat.size();
    const double inf = std::numeric_limits<double>::infinity();
    auto allowed = [&](std::size_t i, int s) {
        const double from_natural = std::abs(Nearest(seat[i] + s * kPi - natural[i], 0.0));
        if (from_natural <= kPi / 2) return true;
        return s == 0 && force[i] >= ride::kCallingForce && from_natural <= tuning.overbank_limit;
    };
    auto float_cost = [&](std::size_t i) {
        const double before = i > 0 ? grid.points[i].time - grid.points[i - 1].time : 0;
        const double after = i + 1 < n ? grid.points[i + 1].time - grid.points[i].time : 0;
        return tuning.float_cost * force[i] * (1 + force[i]) * (before + after) / 2;
    };
    auto cost_at = [&](std::size_t i, int s) { return !allowed(i, s) ? inf : s == 1 ? float_cost(i) : 0.0; };
    std::vector<std::array<int, 2>> from(n);
    std::array<double, 2> cost{cost_at(0, 0), cost_at(0, 1)};
    for (std::size_t i = 1; i < n; ++i) {
        std::array<double, 2> next{};
        for (int s = 0; s < 2; ++s) {
            const double here = seat[i] + s * kPi;
            double best = inf;
            int arg = 0;
            for (int r = 0; r < 2; ++r) {
                const double there = seat[i - 1] + r * kPi;
                const double c = cost[r] + std::abs(Nearest(here, there) - there);
                if (c < best) best = c, arg = r;
            }
            next[s] = best + cost_at(i, s);
            from[i][s] = arg;
        }
        cost = next;
    }
    std::vector<int> state(n, 0);
    state[n - 1] = cost[1] < cost[0] ? 1 : 0;
    for (std::size_t i = n - 1; i > 0; --i) state[i - 1] = from[i][state[i]];
    return state;
}

}  // namespace

std::vector<DVec3> MinimalFrame(const Grid& grid) {
    const auto& g = grid.points;
    std::vector<DVec3> frame(g.size());
    DVec3 r = railframe::ZeroRollDown(g[0].tangent);
    if (Norm(r) == 0) r = AnyNormal(g[0].tangent);
    frame[0] = r;
    for (std::size_t i = 1; i < g.size(); ++i) {
        r = railframe::Carry(r, g[i - 1].p, g[i - 1].tangent, g[i].p, g[i].tangent);
        frame[i] = r;
    }
    return frame;
}

BankTargets ChooseTargets(const Grid& grid, const std::vector<DVec3>& frame, const std::vector<DVec3>& designer_down,
                          std::span<const Segment> segments, int filter, const RefinedTuning& tuning) {
    const auto& g = grid.points;
    const std::size_t n = g.size();

    // Seat direction, natural attitude and the designer's roll against the frame.
    std::vector<DVec3> tangents(n);
    for (std::size_t i = 0; i < n; ++i) tangents[i] = g[i].tangent;
    const std::vector<DVec3> natural_down = ride::NaturalDown(tangents);
    std::vector<double> seat(n), force(n), designer(n), natural(n);
    double last_seat = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const DVec3 t = g[i].tangent;
        force[i] = Norm(g[i].force_perp);
        if (force[i] > 1e-12) last_seat = railframe::AngleAbout(frame[i], t, -g[i].force_perp);
        seat[i] = last_seat;
        designer[i] = railframe::AngleAbout(frame[i], t, designer_down[i]);
        natural[i] = railframe::AngleAbout(frame[i], t, natural_down[i]);
        if (i > 0) natural[i] = Nearest(natural[i], natural[i - 1]);
    }

    // Angles are bridged and blended as offsets from the natural attitude, so
    // that a bridge between two upright stretches stays upright even where
    // the frame turns against world up.
    const std::vector<int> state = ChooseStates(grid, seat, natural, force, tuning);
    std::vector<double> raw(n), offset(n);
    for (std::size_t i = 0; i < n; ++i) {
        raw[i] = seat[i] + state[i] * kPi;
        offset[i] = std::remainder(raw[i] - natural[i], kTwoPi);
    }

    // Where the force is weak its direction says little: bridge between the
    // strong stretches on each side, taking the shorter way round.
    std::vector<std::size_t> anchors;
    for (std::size_t i = 0; i < n; ++i)
        if (force[i] >= tuning.weak_force) anchors.push_back(i);
    std::vector<double> bridged(offset);
    if (!anchors.empty()) {
        for (std::size_t k = 1; k < anchors.size(); ++k)
            bridged[anchors[k]] = Nearest(offset[anchors[k]], bridged[anchors[k - 1]]);
        auto blend = [&](std::size_t i, double bridge) {
            const double w = std::min(1.0, std::pow(force[i] / tuning.weak_force, 2));
            bridged[i] = w * Nearest(offset[i], bridge) + (1 - w) * bridge;
        };
        for (std::size_t i = 0; i < anchors.front(); ++i) blend(i, bridged[anchors.front()]);
        for (std::size_t i = anchors.back() + 1; i < n; ++i) blend(i, bridged[anchors.back()]);
        for (std::size_t k = 1; k < anchors.size(); ++k) {
            const std::size_t a = anchors[k - 1], b = anchors[k];
            const double ta = g[a].time, tb = g[b].time;
            for (std::size_t i = a + 1; i < b; ++i) {
                const double f = tb > ta ? (g[i].time - ta) / (tb - ta) : 0.5;
                blend(i, bridged[a] + f * (bridged[b] - bridged[a]));
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) bridged[i] += natural[i];

    BankTargets out;
    out.angle.resize(n);
    out.weight.resize(n);
    out.sigma.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Segment& seg = segments[g[i].in_curve];
        const Weights w = ColourWeights(seg.color_1, g[i].in_t);
        double angle = bridged[i];
        if (w.roll > 0) {
            const double reference = w.force > 0 ? bridged[i] : (i > 0 ? out.angle[i - 1] : bridged[i]);
            angle = w.roll * Nearest(designer[i], reference) + w.force * bridged[i];
        }
        if (i > 0) angle = Nearest(angle, out.angle[i - 1]);
        out.angle[i] = angle;
        out.weight[i] = w.roll + w.force * std::pow(std::clamp(force[i], kMinForceWeight, tuning.weight_cap), tuning.weight_power);
        const int count = seg.color_2 < kFirstNonCountColour ? std::max<int>(0, seg.color_2) : std::max(0, filter);
        out.sigma[i] = count * tuning.sigma_per_count;
    }
    return out;
}

std::vector<double> SmoothInTime(const Grid& grid, BankTargets& targets, const RefinedTuning& tuning) {
    const std::size_t n = grid.points.size();
    // Ride times side by side: the window sums below walk them far more often than anything else.
    std::vector<double> time(n);
    for (std::size_t i = 0; i < n; ++i) time[i] = grid.points[i].time;
    std::vector<double>& sigma = targets.sigma;
    // The width may shrink only slowly along the ride, so a small count beside a large one cannot cut a step.
    auto limit_fall = [&] {
        for (std::size_t i = 1; i < n; ++i)
            sigma[i] = std::max(sigma[i], sigma[i - 1] - tuning.sigma_fall_rate * (time[i] - time[i - 1]));
        for (std::size_t i = n - 1; i > 0; --i)
            sigma[i - 1] = std::max(sigma[i - 1], sigma[i] - tuning.sigma_fall_rate * (time[i] - time[i - 1]));
    };
    std::vector<double> out(n);
    // exp(-x) for x in [0, 4.5] (out to three widths), interpolated from a table.
    std::vector<double> gauss(kGaussTable + 1);
    for (int k = 0; k <= kGaussTable; ++k) gauss[k] = std::exp(-kGaussReach * k / kGaussTable);
    // A point's smoothed angle depends on its own width only: recompute where that changed.
    std::vector<double> done(n, -1.0);
    auto smooth = [&] {
        std::size_t lo = 0, hi = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double s = sigma[i];
            if (s == done[i]) continue;
            done[i] = s;
            if (s <= 0) {
                out[i] = targets.angle[i];
                continue;
            }
            const double reach = 3 * s, t0 = time[i];
            while (lo < i && time[lo] < t0 - reach) ++lo;
            while (lo > 0 && time[lo - 1] >= t0 - reach) --lo;
            hi = std::max(hi, i);
            while (hi + 1 < n && time[hi + 1] <= t0 + reach) ++hi;
            while (hi > i && time[hi] > t0 + reach) --hi;
            const double scale = kGaussTable / (2 * s * s * kGaussReach);
            double sum = 0, wsum = 0;
            for (std::size_t j = lo; j <= hi; ++j) {
                const double dt = time[j] - t0;
                const double x = std::min(dt * dt * scale, double(kGaussTable));
                const std::size_t at = std::min(static_cast<std::size_t>(x), std::size_t{kGaussTable - 1});
                const double f = x - double(at);
                const double w = targets.weight[j] * (gauss[at] + f * (gauss[at + 1] - gauss[at]));
                sum += w * targets.angle[j];
                wsum += w;
            }
            out[i] = wsum > 0 ? sum / wsum : targets.angle[i];
        }
    };
    limit_fall();
    smooth();
    // Widen the width wherever the roll still turns faster than the bound.
    const double limit = tuning.roll_rate_limit / kDegrees;
    for (int round = 0; round < 12; ++round) {
        bool widened = false;
        for (std::size_t i = 1; i < n; ++i) {
            const double dt = time[i] - time[i - 1];
            if (dt <= 0 || std::abs(out[i] - out[i - 1]) <= limit * dt) continue;
            for (std::size_t j : {i - 1, i}) sigma[j] = std::max(sigma[j] * 1.5, sigma[j] + 0.03);
            widened = true;
        }
        if (!widened) break;
        limit_fall();
        smooth();
    }
    return out;
}

}  // namespace torvix::refined
