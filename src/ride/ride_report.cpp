#include "ride/ride_report.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <cmath>
#include <cstdio>
#include <limits>

#include "geometry/constants.h"
#include "railframe/rail_frame.h"
#include "ride/attitude.h"
#include "ride/ride_line.h"
#include "texts/valley_texts.h"

namespace torvix::ride {

namespace {

using railframe::EvaluateRail;
using railframe::PrepareRails;
using railframe::RailCurve;
using railframe::RailPoint;

constexpr double kDegrees = 180 / kPi;
constexpr double kMinStep = 0.01;
// Longest grid cell the heart line's length is measured on; the samples are placed by a cubic over each cell.
constexpr double kMaxCell = 0.5;
// Evaluations and samples one report may make: 2000 km at 1 m, or 20 km at 1 cm, and a
// few hundred megabytes at most. A step this fine over a heart line this long (a file's
// rolls can swing the hearts round the rails hundreds of times) is refused, not run for minutes.
constexpr double kMaxEvaluations = 2e6;

// One point of the fine grid along a curve that the heart line's length is measured on.
struct GridPoint {
    double t = 0;
    double s = 0;    // heart-line distance from the first vertex
    double ds = 0;   // |d heart / dt|
    double dds = 0;  // d|d heart / dt| / dt
    double heart[3] = {};
};

double Length3(const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

void ParamSpeed(const RailPoint& p, double& ds, double& dds) {
    const double h1[3] = {p.heart.x.d, p.heart.y.d, p.heart.z.d};
    const double h2[3] = {p.heart.x.dd, p.heart.y.dd, p.heart.z.dd};
    ds = Length3(h1);
    dds = ds == 0 ? 0 : (h1[0] * h2[0] + h1[1] * h2[1] + h1[2] * h2[2]) / ds;
}

// Heart-line distance between two grid points: the trapezoid with its end
// correction, exact for cubics. Where the heart line turns so abruptly that
// the correction is no longer small (a control point almost on its vertex),
// the plain trapezoid; never less than the chord.
double CellLength(const GridPoint& a, const GridPoint& b) {
    const double h = b.t - a.t;
    const double trapezoid = h * (a.ds + b.ds) / 2;
    const double correction = h * h * (a.dds - b.dds) / 12;
    const double d[3] = {b.heart[0] - a.heart[0], b.heart[1] - a.heart[1], b.heart[2] - a.heart[2]};
    const double chord = Length3(d);
    const double length = std::abs(correction) < 0.25 * trapezoid ? trapezoid + correction : trapezoid;
    return std::isfinite(length) ? std::max(length, chord) : chord;
}

// The cubic Hermite of s over one cell, solved for `target` by Newton kept
// inside a bisection bracket.
double SolveCell(const GridPoint& a, const GridPoint& b, double target) {
    const double h = b.t - a.t;
    const double span = b.s - a.s;
    if (h <= 0 || span <= 0) return a.t;
    const double m0 = a.ds * h, m1 = b.ds * h;
    auto value = [&](double x) {
        const double x2 = x * x, x3 = x2 * x;
        return (2 * x3 - 3 * x2 + 1) * a.s + (x3 - 2 * x2 + x) * m0 + (-2 * x3 + 3 * x2) * b.s + (x3 - x2) * m1;
    };
    auto slope = [&](double x) {
        const double x2 = x * x;
        return (6 * x2 - 6 * x) * a.s + (3 * x2 - 4 * x + 1) * m0 + (-6 * x2 + 6 * x) * b.s + (3 * x2 - 2 * x) * m1;
    };
    double lo = 0, hi = 1, x = (target - a.s) / span;
    for (int it = 0; it < 40; ++it) {
        const double f = value(x) - target;
        if (std::abs(f) < 1e-10) break;
        if (f < 0) lo = x; else hi = x;
        const double d = slope(x);
        double next = d > 0 ? x - f / d : (lo + hi) / 2;
        if (!(next > lo && next < hi)) next = (lo + hi) / 2;
        x = next;
    }
    return a.t + x * h;
}

bool AllFinite(std::span<const BezierVertex> vertices) {
    for (const BezierVertex& v : vertices)
        for (const Vector3* p : {&v.position, &v.control_prev, &v.control_next})
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z)) return false;
    return true;
}

std::string ParamsProblem(const RideParams& params) {
    if (!std::isfinite(params.heartline) || !std::isfinite(params.start_speed) || !std::isfinite(params.end_speed) ||
        !std::isfinite(params.step))
        return "Heartline, speeds and step must be finite numbers.";
    if (params.step < kMinStep) return "The step must be at least 0.01 m.";
    return {};
}

// The frame of a sample that the attitude measure needs after sampling.
struct SampleFrame {
    DVec3 tangent;  // of the heart line
    DVec3 down;     // the track's
    DVec3 force;    // seat force across the heart line, g
};

bool AsksForDesignerRoll(const Track& track, std::size_t curve) {
    const std::size_t count = std::min(static_cast<std::size_t>(std::max<Long>(0, track.segm.segment_count)),
                                       track.segm.segments.size());
    return curve < count && track.segm.segments[curve].color_1 == kDesignerRollColour;
}

// Per sample, where the designer's own roll is asked for, the down vector of
// that roll, which the track is measured against there instead of the
// natural attitude. A track measured alone is its own drawing (colour-0
// stretches follow the drawn roll by definition); a rebuilt track is measured
// against the drawn track at the same share of the ride, since its curves are
// not the drawn ones.
std::vector<std::optional<DVec3>> DesignerReference(const std::vector<RideSample>& samples,
                                                    const std::vector<SampleFrame>& frames, const Track& track,
                                                    const Track* drawn, railframe::RollReading reading,
                                                    double ride_length) {
    std::vector<std::optional<DVec3>> out(samples.size());
    if (!drawn) {
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (AsksForDesignerRoll(track, static_cast<std::size_t>(samples[i].curve))) out[i] = frames[i].down;
        return out;
    }
    const auto& v = drawn->bezr.vertices;
    const std::size_t count = std::min(static_cast<std::size_t>(std::max<Long>(0, drawn->bezr.vertex_count)), v.size());
    if (count < 2 || !(ride_length > 0) || !AllFinite({v.data(), count})) return out;
    bool any = false;
    for (std::size_t c = 0; c + 1 < count && !any; ++c) any = AsksForDesignerRoll(*drawn, c);
    if (!any) return out;
    const std::vector<RailCurve> rails = PrepareRails({v.data(), count}, reading, IsClosedCircuit(*drawn));
    // Each drawn curve's length as a fine polyline, kept per step to find a parameter by length.
    constexpr int kSteps = 32;
    std::vector<std::array<double, kSteps + 1>> table(rails.size());
    double total = 0;
    for (std::size_t c = 0; c < rails.size(); ++c) {
        auto point = [&](double t) {
            const double u = 1 - t;
            const auto& p = rails[c].p;
            const double w[4] = {u * u * u, 3 * t * u * u, 3 * t * t * u, t * t * t};
            DVec3 q;
            for (int k = 0; k < 4; ++k) q = q + w[k] * DVec3{p[k][0], p[k][1], p[k][2]};
            return q;
        };
        DVec3 prev = point(0);
        table[c][0] = total;
        for (int k = 1; k <= kSteps; ++k) {
            const DVec3 q = point(double(k) / kSteps);
            total += Norm(q - prev);
            table[c][k] = total;
            prev = q;
        }
    }
    std::size_t c = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double at = samples[i].s / ride_length * total;
        while (c + 1 < rails.size() && table[c][kSteps] < at) ++c;
        if (!AsksForDesignerRoll(*drawn, c)) continue;
        const auto& row = table[c];
        const std::size_t k = std::min<std::size_t>(
            kSteps - 1, static_cast<std::size_t>(std::upper_bound(row.begin(), row.end(), at) - row.begin()) - 1);
        const double span = row[k + 1] - row[k];
        const double t = (double(k) + (span > 0 ? std::clamp((at - row[k]) / span, 0.0, 1.0) : 0.0)) / kSteps;
        const RailPoint r = EvaluateRail(rails[c], 0.0, t);
        out[i] = DVec3{r.down[0], r.down[1], r.down[2]};
    }
    return out;
}

// Marks the samples turned over without a reason.
void MarkUnasked(std::vector<RideSample>& samples, const std::vector<SampleFrame>& frames,
                 const std::vector<std::optional<DVec3>>& designer) {
    std::vector<DVec3> tangents(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) tangents[i] = frames[i].tangent;
    const std::vector<DVec3> natural = NaturalDown(tangents);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i].unasked = UnaskedRoll(designer[i].value_or(natural[i]), frames[i].down, frames[i].force);
}

// The share of an interval where |lateral| exceeds `limit`, the force taken as linear across it.
double ShareAbove(double a, double b, double limit) {
    const double x = std::abs(a), y = std::abs(b);
    if (x > limit && y > limit) return 1;
    if (x <= limit && y <= limit) return 0;
    // Crosses the limit once when the sign stays; a change of sign passes through 0 first.
    if ((a >= 0) == (b >= 0)) return (std::max(x, y) - limit) / std::abs(x - y);
    const double zero = x / (x + y);
    return x > limit ? zero * (x - limit) / x : (1 - zero) * (y - limit) / y;
}

void Summarise(RideReport& report) {
    RideSummary& sum = report.summary;
    const auto& sm = report.samples;
    if (sm.empty()) return;
    sum.duration = sm.back().t;
    sum.speed_min = sum.speed_max = sm[0].speed;
    sum.vertical_min = sum.vertical_max = sm[0].vertical;
    sum.vertical_min_s = sum.vertical_max_s = sm[0].s;
    double lateral_sq = 0, covered = 0;
    for (std::size_t i = 0; i < sm.size(); ++i) {
        const RideSample& p = sm[i];
        sum.speed_min = std::min(sum.speed_min, p.speed);
        sum.speed_max = std::max(sum.speed_max, p.speed);
        if (p.vertical < sum.vertical_min) sum.vertical_min = p.vertical, sum.vertical_min_s = p.s;
        if (p.vertical > sum.vertical_max) sum.vertical_max = p.vertical, sum.vertical_max_s = p.s;
        if (std::abs(p.lateral) > std::abs(sum.lateral_max)) sum.lateral_max = p.lateral, sum.lateral_max_s = p.s;
        if (std::abs(p.roll_rate) > std::abs(sum.roll_rate_max)) sum.roll_rate_max = p.roll_rate, sum.roll_rate_max_s = p.s;
        if (p.vertical >= kSeatedVertical) {
            const double error = std::atan2(p.lateral, p.vertical) * kDegrees;
            if (std::abs(error) > std::abs(sum.bank_error_max)) sum.bank_error_max = error, sum.bank_error_max_s = p.s;
        }
        if (i == 0) continue;
        const RideSample& q = sm[i - 1];
        const double ds = p.s - q.s;
        lateral_sq += ds * (q.lateral * q.lateral + p.lateral * p.lateral) / 2;
        covered += ds;
        // The share of the interval spent floating, the vertical force taken as linear across it.
        double floating = 0;
        if (q.vertical < 0 && p.vertical < 0) floating = 1;
        else if (q.vertical < 0 || p.vertical < 0) floating = std::abs(std::min(q.vertical, p.vertical)) /
                                                              std::abs(q.vertical - p.vertical);
        sum.airtime += floating * (p.t - q.t);
        sum.lateral_above_tolerable += ds * ShareAbove(q.lateral, p.lateral, kTolerableLateral);
        sum.unasked_roll += ds * ((q.unasked ? 0.5 : 0) + (p.unasked ? 0.5 : 0));
    }
    if (covered > 0) sum.lateral_above_tolerable /= covered;
    for (std::size_t i = 0; i < sm.size(); ++i) {
        if (!sm[i].unasked) continue;
        if (i == 0 || !sm[i - 1].unasked) sum.unasked_stretches.push_back({sm[i].s, sm[i].s});
        sum.unasked_stretches.back().to = sm[i].s;
    }
    sum.lateral_max = std::abs(sum.lateral_max);
    sum.roll_rate_max = std::abs(sum.roll_rate_max);
    sum.lateral_rms = covered > 0 ? std::sqrt(lateral_sq / covered) : std::abs(sm[0].lateral);

    // Greedy from the largest |lateral| down, over the local maxima (every peak is one).
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < sm.size(); ++i) {
        const double a = std::abs(sm[i].lateral);
        if ((i == 0 || a >= std::abs(sm[i - 1].lateral)) && (i + 1 == sm.size() || a >= std::abs(sm[i + 1].lateral)))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&sm](std::size_t a, std::size_t b) { return std::abs(sm[a].lateral) > std::abs(sm[b].lateral); });
    for (std::size_t i : order) {
        if (sum.peaks.size() == kPeakCount) break;
        const bool near = std::any_of(sum.peaks.begin(), sum.peaks.end(), [&](const RidePeak& pk) {
            return std::abs(pk.s - sm[i].s) < kPeakSeparation;
        });
        if (!near) sum.peaks.push_back({sm[i].s, sm[i].lateral, sm[i].curve});
    }
}

// Per sample, the designer's roll the track is measured against there, if any.
using DesignerReferenceFn = std::function<std::vector<std::optional<DVec3>>(
    const std::vector<RideSample>&, const std::vector<SampleFrame>&, double ride_length)>;

// The report of a line, its unasked roll measured against `designer` where that says so.
RideReport Measure(const RideLine& line, const RideParams& params, const DesignerReferenceFn& designer);

}  // namespace

RideReport MeasureRide(const Track& track, const RideParams& params, const Track* drawn) {
    RideReport report;
    report.params = params;
    const Long count = track.bezr.vertex_count;
    if (count < 2 || static_cast<std::size_t>(count) > track.bezr.vertices.size()) {
        report.message = "The track needs at least two vertices.";
        return report;
    }
    report.message = ParamsProblem(params);
    if (!report.message.empty()) return report;
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(), static_cast<std::size_t>(count));
    if (std::string why = NotFiniteReason(vertices); !why.empty()) {
        report.message = std::move(why);
        return report;
    }
    return Measure(TrackLine(vertices, params.reading, IsClosedCircuit(track), params.heartline), params,
                   [&](const std::vector<RideSample>& samples, const std::vector<SampleFrame>& frames, double length) {
                       return DesignerReference(samples, frames, track, drawn, params.reading, length);
                   });
}

RideReport MeasureRide(const RideLine& line, const RideParams& params) {
    return Measure(line, params, [](const std::vector<RideSample>& samples, const std::vector<SampleFrame>&, double) {
        return std::vector<std::optional<DVec3>>(samples.size());
    });
}

namespace {

RideReport Measure(const RideLine& line, const RideParams& params, const DesignerReferenceFn& designer) {
    RideReport report;
    report.params = params;
    if (line.Pieces() == 0) {
        report.message = "The track needs at least two vertices.";
        return report;
    }
    report.message = ParamsProblem(params);
    if (!report.message.empty()) return report;
    const std::size_t pieces = line.Pieces();
    const std::size_t speed_pieces = std::clamp<std::size_t>(line.SpeedPieces(), 1, pieces);

    // Grid sizes first, so that a step too fine for the track is refused before any work.
    std::vector<int> cells(pieces);
    double total_cells = 0;
    for (std::size_t c = 0; c < pieces; ++c) {
        const double wanted = std::max(8.0, std::ceil(line.LengthEstimate(c) / std::min(params.step, kMaxCell)));
        total_cells += wanted;
        if (total_cells > kMaxEvaluations) {
            report.message = "The track is too long for so fine a step.";
            return report;
        }
        cells[c] = static_cast<int>(wanted);
    }

    // The heart line's length, curve by curve.
    std::vector<std::vector<GridPoint>> grid(pieces);
    double s = 0;
    for (std::size_t c = 0; c < pieces; ++c) {
        auto& g = grid[c];
        g.resize(static_cast<std::size_t>(cells[c]) + 1);
        for (int i = 0; i <= cells[c]; ++i) {
            GridPoint& q = g[i];
            q.t = static_cast<double>(i) / cells[c];
            const RailPoint p = line.At(c, q.t);
            ParamSpeed(p, q.ds, q.dds);
            q.heart[0] = p.heart.x.v, q.heart[1] = p.heart.y.v, q.heart[2] = p.heart.z.v;
            if (i > 0) s += CellLength(g[i - 1], q);
            q.s = s;
        }
        report.vertex_s.push_back(g.front().s);
    }
    const double length = s;
    report.vertex_s.push_back(length);
    report.summary.length = length;
    if (!(length > 0)) {
        report.message = "The heart line has no length.";
        return report;
    }
    // A frame that turns without bound (a file's rolls can ask for anything)
    // can stretch the heart line beyond any sampling.
    if (!std::isfinite(length) || length / params.step + kMinSamplesPerCurve * double(grid.size()) > kMaxEvaluations) {
        report.message = "The track is too long for so fine a step.";
        return report;
    }

    // Energy along the heart line, and where it first runs short. The start
    // speed holds at the start, the end speed where the speed pieces end; a
    // closing curve after them continues the same line.
    const GridPoint& speed_end = grid[speed_pieces - 1].back();
    const double speed_length = speed_end.s;
    if (!(speed_length > 0)) {
        report.message = "The heart line has no length.";
        return report;
    }
    const double y0 = grid.front().front().heart[1];
    const double e0 = params.start_speed * params.start_speed / kTwoGravity + y0;
    const double e1 = params.end_speed * params.end_speed / kTwoGravity + speed_end.heart[1];
    const double gradient = (e1 - e0) / speed_length;
    double valley_s = std::numeric_limits<double>::infinity();
    int valley_curve = 0;
    double need = 0;  // start energy above y0 that every point up to the end speed asks for
    // Beyond the end speed's point a higher start lowers the line: the most start energy above y0 allowed there.
    double allowed = std::numeric_limits<double>::infinity();
    for (std::size_t c = 0; c < grid.size(); ++c) {
        for (const GridPoint& q : grid[c]) {
            if (e0 + gradient * q.s - q.heart[1] < 0 && q.s < valley_s) valley_s = q.s, valley_curve = static_cast<int>(c);
            const double f = q.s / speed_length;
            if (f < 1) need = std::max(need, (q.heart[1] - f * e1) / (1 - f) - y0);
            else if (f > 1) allowed = std::min(allowed, (f * e1 - q.heart[1]) / (f - 1) - y0);
        }
    }

    // Samples at equal heart-line spacing within each curve, vertices included.
    std::vector<SampleFrame> frames;
    auto sample_at = [&](std::size_t c, double t, double at) -> std::optional<RideSample> {
        const RailPoint p = line.At(c, t);
        const double head = e0 + gradient * at - p.heart.y.v;
        if (head < 0) return std::nullopt;
        RideSample out;
        out.s = at;
        out.x = p.heart.x.v, out.y = p.heart.y.v, out.z = p.heart.z.v;
        out.curve = static_cast<int>(c);
        out.speed = std::sqrt(kTwoGravity * head);
        const double h1[3] = {p.heart.x.d, p.heart.y.d, p.heart.z.d};
        const double h2[3] = {p.heart.x.dd, p.heart.y.dd, p.heart.z.dd};
        const double ds = Length3(h1);
        double force[3] = {0, 1, 0};  // seat force in g without the path's curvature
        double along_y = 0, roll_rate = 0;
        double tg[3] = {p.tangent[0], p.tangent[1], p.tangent[2]};
        if (ds > 0) {
            for (int k = 0; k < 3; ++k) tg[k] = h1[k] / ds;
            const double h2t = h2[0] * tg[0] + h2[1] * tg[1] + h2[2] * tg[2];
            const double centripetal = out.speed * out.speed / (ds * ds) / kGravity;
            for (int k = 0; k < 3; ++k) force[k] += centripetal * (h2[k] - h2t * tg[k]);
            along_y = tg[1];
            roll_rate = p.roll.d / ds * out.speed * kDegrees;
        }
        out.vertical = -(force[0] * p.down[0] + force[1] * p.down[1] + force[2] * p.down[2]);
        out.lateral = force[0] * p.left[0] + force[1] * p.left[1] + force[2] * p.left[2];
        // dv/dt = v dv/ds, and v^2 = 2g (E(s) - y) gives g (gradient - dy/ds).
        out.longitudinal = gradient - along_y;
        out.roll = p.roll.v * kDegrees;
        out.roll_rate = roll_rate;
        const DVec3 tangent{tg[0], tg[1], tg[2]}, f{force[0], force[1], force[2]};
        frames.push_back({tangent, {p.down[0], p.down[1], p.down[2]}, f - Dot(f, tangent) * tangent});
        return out;
    };

    report.samples.reserve(static_cast<std::size_t>(length / params.step) + 4 * grid.size() + 1);
    bool stopped = false;
    for (std::size_t c = 0; c < grid.size() && !stopped; ++c) {
        const auto& g = grid[c];
        const double start = g.front().s, span = g.back().s - start;
        const int m = std::max(kMinSamplesPerCurve, static_cast<int>(std::ceil(span / params.step - 1e-9)));
        const bool last = c + 1 == grid.size();
        std::size_t cell = 0;
        for (int j = 0; j < m + (last ? 1 : 0); ++j) {
            const double target = start + span * j / m;
            if (target >= valley_s) {
                stopped = true;
                break;
            }
            double t = 1;
            if (j < m) {
                while (cell + 2 < g.size() && g[cell + 1].s <= target) ++cell;
                t = SolveCell(g[cell], g[cell + 1], target);
            }
            const std::optional<RideSample> sample = sample_at(c, t, target);
            if (!sample) {
                // Between two grid points the hearts rise above the energy line.
                valley_s = target;
                valley_curve = static_cast<int>(c);
                stopped = true;
                break;
            }
            report.samples.push_back(*sample);
        }
    }
    MarkUnasked(report.samples, frames, designer(report.samples, frames, length));

    // Ride time: constant acceleration over each interval.
    for (std::size_t i = 1; i < report.samples.size(); ++i) {
        RideSample& p = report.samples[i];
        const RideSample& q = report.samples[i - 1];
        const double v = q.speed + p.speed;
        p.t = q.t + (v > 0 ? 2 * (p.s - q.s) / v : 0);
    }
    Summarise(report);

    if (std::isfinite(valley_s)) {
        RideValley valley;
        valley.s = valley_s;
        valley.curve = valley_curve;
        valley.min_start_speed = std::sqrt(kTwoGravity * std::max(0.0, need));
        report.summary.valley = valley;
        const std::string curve = "curve " + std::to_string(valley_curve);
        report.message = need <= allowed ? ValleySentence(valley_s, curve, valley.min_start_speed)
                                         : ClosingValleySentence(valley_s, curve);
        return report;
    }
    report.ok = true;
    return report;
}

}  // namespace

std::vector<double> LocateAlong(const RideReport& report, std::span<const Vector3> points) {
    std::vector<double> out;
    const auto& sm = report.samples;
    std::size_t from = 0;
    for (const Vector3& p : points) {
        if (sm.empty()) {
            out.push_back(0);
            continue;
        }
        // Nearest sample ahead; a short look-back tolerates points slightly out of order.
        std::size_t best = from;
        double best_d = std::numeric_limits<double>::infinity();
        for (std::size_t i = from; i < sm.size(); ++i) {
            const double dx = sm[i].x - p.x, dy = sm[i].y - p.y, dz = sm[i].z - p.z;
            const double d = dx * dx + dy * dy + dz * dz;
            if (d < best_d) best_d = d, best = i;
            // Once well past a close match, the rest of the ride cannot be the same spot.
            if (best_d < 1 && sm[i].s - sm[best].s > 20) break;
        }
        out.push_back(sm[best].s);
        from = best;
    }
    return out;
}

double HeartDeviationMax(const RideReport& report, const Track& designed) {
    // Beyond this distance a match near the expected stretch is checked against the whole path.
    constexpr double kCloseEnough = 0.5;
    const Long count = designed.bezr.vertex_count;
    if (report.samples.empty() || count < 2 || static_cast<std::size_t>(count) > designed.bezr.vertices.size())
        return -1;
    // The designed path as a fine polyline with its running length.
    struct Point {
        double p[3];
        double s;
    };
    std::vector<Point> path;
    const auto& v = designed.bezr.vertices;
    // A closed circuit was drawn with its closing curve, back to the first vertex.
    const Long curves = IsClosedCircuit(designed) ? count : count - 1;
    for (Long i = 0; i < curves; ++i) {
        const BezierVertex ends[2] = {v[i], v[(i + 1) % count]};
        const RailCurve c = PrepareRails(ends, railframe::RollReading::kDesigner).front();
        const double est = EstimateHeartLength(c, 0);
        const int steps = static_cast<int>(std::clamp(std::ceil(est / 0.1), 4.0, 1e5));
        for (int k = i == 0 ? 0 : 1; k <= steps; ++k) {
            const double t = static_cast<double>(k) / steps, u = 1 - t;
            Point q{};
            for (int a = 0; a < 3; ++a)
                q.p[a] = u * u * u * c.p[0][a] + 3 * t * u * u * c.p[1][a] + 3 * t * t * u * c.p[2][a] + t * t * t * c.p[3][a];
            if (!path.empty()) {
                const double d[3] = {q.p[0] - path.back().p[0], q.p[1] - path.back().p[1], q.p[2] - path.back().p[2]};
                q.s = path.back().s + Length3(d);
            }
            path.push_back(q);
        }
    }
    const double path_length = path.back().s;
    const double ride_length = std::max(report.summary.length, 1e-9);
    const double window = 20 + 0.05 * path_length;
    auto nearest = [&path](const RideSample& sample, std::size_t from, std::size_t to) {
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t k = from; k + 1 < to; ++k) {
            const Point& a = path[k];
            const Point& b = path[k + 1];
            const double ab[3] = {b.p[0] - a.p[0], b.p[1] - a.p[1], b.p[2] - a.p[2]};
            const double ap[3] = {sample.x - a.p[0], sample.y - a.p[1], sample.z - a.p[2]};
            const double len2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
            const double f = len2 > 0 ? std::clamp((ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2]) / len2, 0.0, 1.0) : 0;
            const double d[3] = {ap[0] - f * ab[0], ap[1] - f * ab[1], ap[2] - f * ab[2]};
            best = std::min(best, d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        }
        return best;
    };
    double worst = 0;
    std::size_t lo = 0;
    for (const RideSample& sample : report.samples) {
        // First the stretch of the path near the same share of the ride; where
        // nothing there is close, the whole path.
        const double expected = sample.s / ride_length * path_length;
        while (lo + 1 < path.size() && path[lo + 1].s < expected - window) ++lo;
        std::size_t hi = lo;
        while (hi < path.size() && path[hi].s <= expected + window) ++hi;
        double best = nearest(sample, lo, std::min(hi + 1, path.size()));
        if (!(best < kCloseEnough * kCloseEnough)) best = std::min(best, nearest(sample, 0, path.size()));
        if (std::isfinite(best)) worst = std::max(worst, best);
    }
    return std::sqrt(worst);
}

std::string SamplesCsv(const RideReport& report) {
    std::string out = "s,t,x,y,z,speed,vertical,lateral,longitudinal,roll,roll_rate,curve,unasked\n";
    char line[320];
    for (const RideSample& p : report.samples) {
        std::snprintf(line, sizeof line, "%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.5f,%.5f,%.5f,%.3f,%.3f,%d,%d\n", p.s, p.t,
                      p.x, p.y, p.z, p.speed, p.vertical, p.lateral, p.longitudinal, p.roll, p.roll_rate, p.curve,
                      p.unasked ? 1 : 0);
        out += line;
    }
    return out;
}

}  // namespace torvix::ride
