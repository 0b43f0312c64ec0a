#include "ride/ride_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "railframe/rail_frame.h"
#include "texts/valley_texts.h"

namespace torvix::ride {

namespace {

using railframe::EvaluateRail;
using railframe::PrepareRails;
using railframe::RailCurve;
using railframe::RailPoint;

constexpr double kG = 9.81;
constexpr double kTwoG = 19.62;
constexpr double kDegrees = 180 / 3.14159265358979323846;
constexpr double kMinStep = 0.01;
// Longest grid cell the heart line's length is measured on; the samples are placed by a cubic over each cell.
constexpr double kMaxCell = 0.5;
// Evaluations one report may make; a step this fine over a track this long is refused, not run for minutes.
constexpr double kMaxEvaluations = 20e6;

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

// Rough heart-line length of a curve, from the rails' control polygon and how far the hearts swing.
double EstimateLength(const RailCurve& c, double heartline) {
    auto dist = [&c](int a, int b) {
        const double d[3] = {c.p[b][0] - c.p[a][0], c.p[b][1] - c.p[a][1], c.p[b][2] - c.p[a][2]};
        return Length3(d);
    };
    const double rails = (dist(0, 1) + dist(1, 2) + dist(2, 3) + dist(0, 3)) / 2;
    const double swing = std::abs(heartline) * railframe::RollSwing(c);
    return rails + swing;
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

}  // namespace

RideReport MeasureRide(const Track& track, const RideParams& params) {
    RideReport report;
    report.params = params;
    const Long count = track.bezr.vertex_count;
    if (count < 2 || static_cast<std::size_t>(count) > track.bezr.vertices.size()) {
        report.message = "The track needs at least two vertices.";
        return report;
    }
    if (!std::isfinite(params.heartline) || !std::isfinite(params.start_speed) || !std::isfinite(params.end_speed) ||
        !std::isfinite(params.step)) {
        report.message = "Heartline, speeds and step must be finite numbers.";
        return report;
    }
    if (params.step < kMinStep) {
        report.message = "The step must be at least 0.01 m.";
        return report;
    }
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(), static_cast<std::size_t>(count));
    if (!AllFinite(vertices)) {
        report.message = "The track has a coordinate that is not a finite number.";
        return report;
    }
    const double h = params.heartline;
    const std::vector<RailCurve> rails = PrepareRails(vertices, params.reading);

    // Grid sizes first, so that a step too fine for the track is refused before any work.
    std::vector<int> cells(rails.size());
    double total_cells = 0;
    for (std::size_t c = 0; c < rails.size(); ++c) {
        const double wanted = std::max(8.0, std::ceil(EstimateLength(rails[c], h) / std::min(params.step, kMaxCell)));
        total_cells += wanted;
        if (total_cells > kMaxEvaluations) {
            report.message = "The track is too long for so fine a step.";
            return report;
        }
        cells[c] = static_cast<int>(wanted);
    }

    // The heart line's length, curve by curve.
    std::vector<std::vector<GridPoint>> grid(rails.size());
    double s = 0;
    for (std::size_t c = 0; c < rails.size(); ++c) {
        auto& g = grid[c];
        g.resize(static_cast<std::size_t>(cells[c]) + 1);
        for (int i = 0; i <= cells[c]; ++i) {
            GridPoint& q = g[i];
            q.t = static_cast<double>(i) / cells[c];
            const RailPoint p = EvaluateRail(rails[c], h, q.t);
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

    // Energy along the heart line, and where it first runs short.
    const double y0 = grid.front().front().heart[1];
    const double e0 = params.start_speed * params.start_speed / kTwoG + y0;
    const double e1 = params.end_speed * params.end_speed / kTwoG + grid.back().back().heart[1];
    const double gradient = (e1 - e0) / length;
    double valley_s = std::numeric_limits<double>::infinity();
    int valley_curve = 0;
    double need = 0;  // start energy above y0 that every point asks for
    for (std::size_t c = 0; c < grid.size(); ++c) {
        for (const GridPoint& q : grid[c]) {
            if (e0 + gradient * q.s - q.heart[1] < 0 && q.s < valley_s) valley_s = q.s, valley_curve = static_cast<int>(c);
            const double f = q.s / length;
            if (f < 1) need = std::max(need, (q.heart[1] - f * e1) / (1 - f) - y0);
        }
    }

    // Samples at equal heart-line spacing within each curve, vertices included.
    auto sample_at = [&](std::size_t c, double t, double at) -> std::optional<RideSample> {
        const RailPoint p = EvaluateRail(rails[c], h, t);
        const double head = e0 + gradient * at - p.heart.y.v;
        if (head < 0) return std::nullopt;
        RideSample out;
        out.s = at;
        out.x = p.heart.x.v, out.y = p.heart.y.v, out.z = p.heart.z.v;
        out.curve = static_cast<int>(c);
        out.speed = std::sqrt(kTwoG * head);
        const double h1[3] = {p.heart.x.d, p.heart.y.d, p.heart.z.d};
        const double h2[3] = {p.heart.x.dd, p.heart.y.dd, p.heart.z.dd};
        const double ds = Length3(h1);
        double force[3] = {0, 1, 0};  // seat force in g without the path's curvature
        double along_y = 0, roll_rate = 0;
        if (ds > 0) {
            const double tg[3] = {h1[0] / ds, h1[1] / ds, h1[2] / ds};
            const double h2t = h2[0] * tg[0] + h2[1] * tg[1] + h2[2] * tg[2];
            const double centripetal = out.speed * out.speed / (ds * ds) / kG;
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
        valley.min_start_speed = std::sqrt(kTwoG * std::max(0.0, need));
        report.summary.valley = valley;
        report.message = ValleySentence(valley_s, "curve " + std::to_string(valley_curve), valley.min_start_speed);
        return report;
    }
    report.ok = true;
    return report;
}

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
    for (Long i = 0; i + 1 < count; ++i) {
        const RailCurve c = PrepareRails(std::span<const BezierVertex>(&v[i], 2), railframe::RollReading::kDesigner).front();
        const double est = EstimateLength(c, 0);
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
    std::string out = "s,t,x,y,z,speed,vertical,lateral,longitudinal,roll,roll_rate,curve\n";
    char line[320];
    for (const RideSample& p : report.samples) {
        std::snprintf(line, sizeof line, "%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.5f,%.5f,%.5f,%.3f,%.3f,%d\n", p.s, p.t, p.x,
                      p.y, p.z, p.speed, p.vertical, p.lateral, p.longitudinal, p.roll, p.roll_rate, p.curve);
        out += line;
    }
    return out;
}

}  // namespace torvix::ride
