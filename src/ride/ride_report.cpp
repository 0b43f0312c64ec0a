#include "ride/ride_report.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <cmath>
#include <cstdio>
#include <limits>

#include "geometry/constants.h"
#include "geometry/cubic_bezier.h"
#include "geometry/hermite.h"
#include "railframe/rail_frame.h"
#include "ride/attitude.h"
#include "ride/ride_line.h"
#include "texts/valley_texts.h"

using namespace torvix::geometry;
using namespace torvix::texts;
using namespace torvix::track;

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
    DVec3 heart;
};

DVec3 Value(const railframe::JetVec& v) { return {v.x.v, v.y.v, v.z.v}; }
DVec3 FirstDerivative(const railframe::JetVec& v) { return {v.x.d, v.y.d, v.z.d}; }
DVec3 SecondDerivative(const railframe::JetVec& v) { return {v.x.dd, v.y.dd, v.z.dd}; }

GridPoint MakeGridPoint(const RailPoint& p, double t) {
    const DVec3 h1 = FirstDerivative(p.heart);
    GridPoint q;
    q.t = t;
    q.ds = Norm(h1);
    q.dds = q.ds == 0 ? 0 : Dot(h1, SecondDerivative(p.heart)) / q.ds;
    q.heart = Value(p.heart);
    return q;
}

// Heart-line distance between two grid points: the trapezoid with its end
// correction, exact for cubics. Where the heart line turns so abruptly that
// the correction is no longer small (a control point almost on its vertex),
// the plain trapezoid; never less than the chord.
double CellLength(const GridPoint& a, const GridPoint& b) {
    const double h = b.t - a.t;
    const double trapezoid = h * (a.ds + b.ds) / 2;
    const double correction = h * h * (a.dds - b.dds) / 12;
    const double chord = Norm(b.heart - a.heart);
    const double length = std::abs(correction) < 0.25 * trapezoid ? trapezoid + correction : trapezoid;
    return std::isfinite(length) ? std::max(length, chord) : chord;
}

// The parameter at heart-line distance `target` within a cell: the cubic
// Hermite of s over it, solved.
double SolveCell(const GridPoint& a, const GridPoint& b, double target) {
    const double h = b.t - a.t;
    if (h <= 0 || b.s <= a.s) return a.t;
    return a.t + SolveHermite(a.s, a.ds * h, b.s, b.ds * h, target) * h;
}

bool AllFinite(std::span<const BezierVertex> vertices) {
    for (const BezierVertex& v : vertices)
        for (const Vector3* p : {&v.position, &v.control_prev, &v.control_next})
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z)) return false;
    return true;
}

base::Status ParamsProblem(const RideParams& params) {
    if (!std::isfinite(params.heartline) || !std::isfinite(params.start_speed) || !std::isfinite(params.end_speed) ||
        !std::isfinite(params.step))
        return base::Status::Fail("Heartline, speeds and step must be finite numbers.");
    if (params.step < kMinStep) return base::Status::Fail("The step must be at least 0.01 m.");
    return base::Status::Ok();
}

// The frame of a sample that the attitude measure needs after sampling.
struct SampleFrame {
    DVec3 tangent;  // of the heart line
    DVec3 down;     // the track's
    DVec3 force;    // seat force across the heart line, g
};
using SampleFrames = std::vector<SampleFrame, track::BulkAllocator<SampleFrame>>;

bool AsksForDesignerRoll(const Track& track, std::size_t curve) {
    const std::size_t count = std::min(static_cast<std::size_t>(std::max<Long>(0, track.segm.segment_count)),
                                       track.segm.segments.size());
    return curve < count && track.segm.segments[curve].color_1 == kDesignerRollColour;
}

// Each curve's running length as a fine polyline, kept per step to find a parameter by length.
constexpr int kTableSteps = 32;
using LengthRow = std::array<double, kTableSteps + 1>;

std::vector<LengthRow> LengthTable(const std::vector<RailCurve>& rails) {
    std::vector<LengthRow> table(rails.size());
    double total = 0;
    for (std::size_t c = 0; c < rails.size(); ++c) {
        DVec3 prev = rails[c].bezier.Point(0);
        table[c][0] = total;
        for (int k = 1; k <= kTableSteps; ++k) {
            const DVec3 q = rails[c].bezier.Point(double(k) / kTableSteps);
            total += Norm(q - prev);
            table[c][k] = total;
            prev = q;
        }
    }
    return table;
}

// The parameter of a curve at running length `at`, linear within each step of its row.
double ParameterAt(const LengthRow& row, double at) {
    const std::size_t k = std::min<std::size_t>(
        kTableSteps - 1, static_cast<std::size_t>(std::upper_bound(row.begin(), row.end(), at) - row.begin()) - 1);
    const double span = row[k + 1] - row[k];
    return (double(k) + (span > 0 ? std::clamp((at - row[k]) / span, 0.0, 1.0) : 0.0)) / kTableSteps;
}

// What a sample is measured against: the heart line's tangents that the
// natural attitude is worked out along, and, where the designer's own roll is
// asked for, the down vector of that roll instead.
struct Reference {
    std::vector<DVec3> tangents;
    std::vector<std::optional<DVec3>> designer;
};

// A track measured alone is its own drawing: the natural attitude along its
// own heart line, and colour-0 stretches follow the drawn roll by definition.
// A rebuilt track is measured against the track it was drawn as, at the same
// share of the ride: the natural attitude is the drawn path's (a rebuilt heart
// line that wobbles must not turn it), and so is the designer's roll.
// The track read as its own reference: its tangents, no designer's roll.
Reference OwnReference(const RideSamples& samples, const SampleFrames& frames) {
    Reference own;
    own.designer.resize(samples.size());
    own.tangents.reserve(frames.size());
    for (const SampleFrame& f : frames) own.tangents.push_back(f.tangent);
    return own;
}

Reference ReferenceOf(const RideSamples& samples, const SampleFrames& frames,
                      const Track& track, const Track* drawn, railframe::RollReading reading, double ride_length) {
    Reference out = OwnReference(samples, frames);
    const std::size_t count =
        drawn ? std::min(static_cast<std::size_t>(std::max<Long>(0, drawn->bezr.vertex_count)), drawn->bezr.vertices.size())
              : 0;
    if (!drawn || count < 2 || !(ride_length > 0) || !AllFinite({drawn->bezr.vertices.data(), count})) {
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (AsksForDesignerRoll(track, static_cast<std::size_t>(samples[i].curve))) out.designer[i] = frames[i].down;
        return out;
    }
    const std::vector<RailCurve> rails =
        PrepareRails({drawn->bezr.vertices.data(), count}, reading, IsClosedCircuit(*drawn));
    const std::vector<LengthRow> table = LengthTable(rails);
    const double total = table.back()[kTableSteps];
    std::size_t c = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double at = samples[i].s / ride_length * total;
        while (c + 1 < rails.size() && table[c][kTableSteps] < at) ++c;
        const double t = ParameterAt(table[c], at);
        const DVec3 tangent = Unit(rails[c].bezier.D1(t));
        if (Norm(tangent) > 0) out.tangents[i] = tangent;
        if (AsksForDesignerRoll(*drawn, c)) out.designer[i] = EvaluateRail(rails[c], 0.0, t).down;
    }
    return out;
}

// Marks the samples turned over without a reason.
void MarkUnasked(RideSamples& samples, const SampleFrames& frames, const Reference& reference) {
    const std::vector<DVec3> natural = NaturalDown(reference.tangents);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i].unasked =
            UnaskedRoll(reference.designer[i].value_or(natural[i]), frames[i].down, frames[i].force);
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
    if (covered > 0 && !std::isfinite(lateral_sq) && std::isfinite(sum.lateral_max)) {
        // Forces near a cusp can be so large that their squares overflow: sum them scaled by the largest.
        lateral_sq = 0;
        for (std::size_t i = 1; i < sm.size(); ++i) {
            const double q = sm[i - 1].lateral / sum.lateral_max, p = sm[i].lateral / sum.lateral_max;
            lateral_sq += (sm[i].s - sm[i - 1].s) * (q * q + p * p) / 2;
        }
        sum.lateral_rms = sum.lateral_max * std::sqrt(lateral_sq / covered);
    } else {
        sum.lateral_rms = covered > 0 ? std::sqrt(lateral_sq / covered) : std::abs(sm[0].lateral);
    }

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

// What the samples of a ride are measured against, once they are taken.
using ReferenceFn = std::function<Reference(const RideSamples&, const SampleFrames&,
                                            double ride_length)>;

// The report of a line, its unasked roll measured against `reference`.
RideReport Measure(const RideLine& line, const RideParams& params, const ReferenceFn& reference);

}  // namespace

RideReport MeasureRide(const Track& track, const RideParams& params, const Track* drawn) {
    RideReport report;
    report.params = params;
    const Long count = track.bezr.vertex_count;
    if (count < 2 || static_cast<std::size_t>(count) > track.bezr.vertices.size()) {
        report.status = base::Status::Fail("The track needs at least two vertices.");
        return report;
    }
    report.status = ParamsProblem(params);
    if (!report.status.ok()) return report;
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(), static_cast<std::size_t>(count));
    if (base::Status finite = NotFiniteReason(vertices); !finite) {
        report.status = finite;
        return report;
    }
    return Measure(TrackLine(vertices, params.reading, IsClosedCircuit(track), params.heartline), params,
                   [&](const RideSamples& samples, const SampleFrames& frames, double length) {
                       return ReferenceOf(samples, frames, track, drawn, params.reading, length);
                   });
}

RideReport MeasureRide(const RideLine& line, const RideParams& params) {
    return Measure(line, params,
                   [](const RideSamples& samples, const SampleFrames& frames, double) {
                       return OwnReference(samples, frames);
                   });
}

namespace {

// The fine grid per piece, sized first so that a step too fine for the line
// is refused before any work.
base::Result<std::vector<int>> GridCells(const RideLine& line, double step) {
    std::vector<int> cells(line.Pieces());
    double total_cells = 0;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const double wanted = std::max(8.0, std::ceil(line.LengthEstimate(c) / std::min(step, kMaxCell)));
        total_cells += wanted;
        if (total_cells > kMaxEvaluations) {
            return base::Status::Fail("The track is too long for so fine a step.");
        }
        cells[c] = static_cast<int>(wanted);
    }
    return cells;
}

// The heart line's length measured piece by piece on the grid.
std::vector<std::vector<GridPoint>> MeasureLength(const RideLine& line, const std::vector<int>& cells) {
    std::vector<std::vector<GridPoint>> grid(cells.size());
    double s = 0;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        auto& g = grid[c];
        g.reserve(static_cast<std::size_t>(cells[c]) + 1);
        for (int i = 0; i <= cells[c]; ++i) {
            const double t = static_cast<double>(i) / cells[c];
            GridPoint q = MakeGridPoint(line.At(c, t), t);
            if (i > 0) s += CellLength(g.back(), q);
            q.s = s;
            g.push_back(q);
        }
    }
    return grid;
}

// Energy along the heart line (a straight line in s), and where it first runs short.
struct EnergyLine {
    double e0 = 0, gradient = 0;
    double valley_s = std::numeric_limits<double>::infinity();
    int valley_curve = 0;
    double need = 0;  // start energy above the first heart point that every point up to the end speed asks for
    // Beyond the end speed's point a higher start lowers the line: the most start energy allowed there.
    double allowed = std::numeric_limits<double>::infinity();
};

// The start speed holds at the start, the end speed where the speed pieces
// end (`speed_end`); a closing curve after them continues the same line.
EnergyLine EnergyAlong(const std::vector<std::vector<GridPoint>>& grid, const GridPoint& speed_end,
                       const RideParams& params) {
    EnergyLine out;
    const double speed_length = speed_end.s;
    const double y0 = grid.front().front().heart.y;
    out.e0 = params.start_speed * params.start_speed / kTwoGravity + y0;
    const double e1 = params.end_speed * params.end_speed / kTwoGravity + speed_end.heart.y;
    out.gradient = (e1 - out.e0) / speed_length;
    for (std::size_t c = 0; c < grid.size(); ++c) {
        for (const GridPoint& q : grid[c]) {
            if (out.e0 + out.gradient * q.s - q.heart.y < 0 && q.s < out.valley_s)
                out.valley_s = q.s, out.valley_curve = static_cast<int>(c);
            const double f = q.s / speed_length;
            if (f < 1) out.need = std::max(out.need, (q.heart.y - f * e1) / (1 - f) - y0);
            else if (f > 1) out.allowed = std::min(out.allowed, (f * e1 - q.heart.y) / (f - 1) - y0);
        }
    }
    return out;
}

struct Sampled {
    RideSample sample;
    SampleFrame frame;
};

// The forces riders feel at parameter t of a piece, `at` metres along the
// heart line; nothing where the energy line lies below the hearts.
std::optional<Sampled> SampleAt(const RideLine& line, const EnergyLine& energy, std::size_t c, double t, double at) {
    const RailPoint p = line.At(c, t);
    const DVec3 heart = Value(p.heart);
    const double head = energy.e0 + energy.gradient * at - heart.y;
    if (head < 0) return std::nullopt;
    RideSample out;
    out.s = at;
    out.x = heart.x, out.y = heart.y, out.z = heart.z;
    out.curve = static_cast<int>(c);
    out.speed = std::sqrt(kTwoGravity * head);
    const DVec3 h1 = FirstDerivative(p.heart), h2 = SecondDerivative(p.heart);
    const double ds = Norm(h1);
    DVec3 force{0, 1, 0};  // seat force in g without the path's curvature
    double roll_rate = 0;
    DVec3 tangent = p.tangent;
    if (ds > 0) {
        tangent = {h1.x / ds, h1.y / ds, h1.z / ds};
        const double centripetal = out.speed * out.speed / (ds * ds) / kGravity;
        force = force + centripetal * (h2 - Dot(h2, tangent) * tangent);
        roll_rate = p.roll.d / ds * out.speed * kDegrees;
    }
    out.vertical = -Dot(force, p.down);
    out.lateral = Dot(force, p.left);
    // dv/dt = v dv/ds, and v^2 = 2g (E(s) - y) gives g (gradient - dy/ds).
    out.longitudinal = energy.gradient - (ds > 0 ? tangent.y : 0.0);
    out.roll = p.roll.v * kDegrees;
    out.roll_rate = roll_rate;
    return Sampled{out, {tangent, p.down, force - Dot(force, tangent) * tangent}};
}

// Samples at equal heart-line spacing within each piece, vertices included,
// up to the first point the train cannot reach (which `energy` then names).
void TakeSamples(const RideLine& line, const std::vector<std::vector<GridPoint>>& grid, double step,
                 EnergyLine& energy, RideReport& report, SampleFrames& frames) {
    // Samples per piece, counted first: a long ride's samples run to megabytes,
    // which growing as they come copies over and over.
    std::vector<int> per(grid.size());
    std::size_t total = 1;
    for (std::size_t c = 0; c < grid.size(); ++c) {
        const double span = grid[c].back().s - grid[c].front().s;
        per[c] = std::max(kMinSamplesPerCurve, static_cast<int>(std::ceil(span / step - 1e-9)));
        total += static_cast<std::size_t>(per[c]);
    }
    report.samples.reserve(total);
    frames.reserve(total);
    for (std::size_t c = 0; c < grid.size(); ++c) {
        const auto& g = grid[c];
        const double start = g.front().s, span = g.back().s - start;
        const int m = per[c];
        const bool last = c + 1 == grid.size();
        std::size_t cell = 0;
        for (int j = 0; j < m + (last ? 1 : 0); ++j) {
            const double target = start + span * j / m;
            if (target >= energy.valley_s) return;
            double t = 1;
            if (j < m) {
                while (cell + 2 < g.size() && g[cell + 1].s <= target) ++cell;
                t = SolveCell(g[cell], g[cell + 1], target);
            }
            const std::optional<Sampled> sampled = SampleAt(line, energy, c, t, target);
            if (!sampled) {
                // Between two grid points the hearts rise above the energy line.
                energy.valley_s = target;
                energy.valley_curve = static_cast<int>(c);
                return;
            }
            report.samples.push_back(sampled->sample);
            frames.push_back(sampled->frame);
        }
    }
}

// Ride time: constant acceleration over each interval.
void SetRideTimes(RideSamples& samples) {
    for (std::size_t i = 1; i < samples.size(); ++i) {
        RideSample& p = samples[i];
        const RideSample& q = samples[i - 1];
        const double v = q.speed + p.speed;
        p.t = q.t + (v > 0 ? 2 * (p.s - q.s) / v : 0);
    }
}

void ReportValley(const EnergyLine& energy, RideReport& report) {
    RideValley valley;
    valley.s = energy.valley_s;
    valley.curve = energy.valley_curve;
    valley.min_start_speed = std::sqrt(kTwoGravity * std::max(0.0, energy.need));
    report.summary.valley = valley;
    const std::string curve = "curve " + std::to_string(energy.valley_curve);
    report.status = base::Status::Fail(energy.need <= energy.allowed
                                           ? ValleySentence(energy.valley_s, curve, valley.min_start_speed)
                                           : ClosingValleySentence(energy.valley_s, curve));
}

RideReport Measure(const RideLine& line, const RideParams& params, const ReferenceFn& reference) {
    RideReport report;
    report.params = params;
    if (line.Pieces() == 0) {
        report.status = base::Status::Fail("The track needs at least two vertices.");
        return report;
    }
    report.status = ParamsProblem(params);
    if (!report.status.ok()) return report;
    const base::Result<std::vector<int>> cells = GridCells(line, params.step);
    if (!cells.ok()) {
        report.status = cells.status();
        return report;
    }
    const std::vector<std::vector<GridPoint>> grid = MeasureLength(line, *cells);
    for (const auto& g : grid) report.vertex_s.push_back(g.front().s);
    const double length = grid.back().back().s;
    report.vertex_s.push_back(length);
    report.summary.length = length;
    if (!(length > 0)) {
        report.status = base::Status::Fail("The heart line has no length.");
        return report;
    }
    // A frame that turns without bound (a file's rolls can ask for anything)
    // can stretch the heart line beyond any sampling.
    if (!std::isfinite(length) || length / params.step + kMinSamplesPerCurve * double(grid.size()) > kMaxEvaluations) {
        report.status = base::Status::Fail("The track is too long for so fine a step.");
        return report;
    }
    const std::size_t speed_pieces = std::clamp<std::size_t>(line.SpeedPieces(), 1, grid.size());
    const GridPoint& speed_end = grid[speed_pieces - 1].back();
    if (!(speed_end.s > 0)) {
        report.status = base::Status::Fail("The heart line has no length.");
        return report;
    }
    EnergyLine energy = EnergyAlong(grid, speed_end, params);
    SampleFrames frames;
    report.samples.reserve(static_cast<std::size_t>(length / params.step) + 4 * grid.size() + 1);
    TakeSamples(line, grid, params.step, energy, report, frames);
    MarkUnasked(report.samples, frames, reference(report.samples, frames, length));
    SetRideTimes(report.samples);
    Summarise(report);
    if (std::isfinite(energy.valley_s)) {
        ReportValley(energy, report);
        return report;
    }
    report.status = base::Status::Ok();
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

namespace {

// A point of a path drawn as a fine polyline, with its running length.
struct PathPoint {
    DVec3 p;
    double s = 0;
};

// The designed path (its `count` vertices) as a polyline about 0.1 m apart.
std::vector<PathPoint> DesignedPolyline(const Track& designed, Long count) {
    std::vector<PathPoint> path;
    const auto& v = designed.bezr.vertices;
    // A closed circuit was drawn with its closing curve, back to the first vertex.
    const Long curves = IsClosedCircuit(designed) ? count : count - 1;
    for (Long i = 0; i < curves; ++i) {
        const CubicBezier c = railframe::CurveBetween(v[i], v[(i + 1) % count]);
        const int steps = static_cast<int>(std::clamp(std::ceil(c.LengthEstimate() / 0.1), 4.0, 1e5));
        for (int k = i == 0 ? 0 : 1; k <= steps; ++k) {
            PathPoint q{c.Point(static_cast<double>(k) / steps)};
            if (!path.empty()) q.s = path.back().s + Norm(q.p - path.back().p);
            path.push_back(q);
        }
    }
    return path;
}

// The squared distance from x to the polyline's segments between points `from` and `to`.
double NearestSquared(const std::vector<PathPoint>& path, DVec3 x, std::size_t from, std::size_t to) {
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t k = from; k + 1 < to; ++k) {
        const DVec3 ab = path[k + 1].p - path[k].p;
        const DVec3 ap = x - path[k].p;
        const double len2 = Dot(ab, ab);
        const double f = len2 > 0 ? std::clamp(Dot(ap, ab) / len2, 0.0, 1.0) : 0;
        const DVec3 d = ap - f * ab;
        best = std::min(best, Dot(d, d));
    }
    return best;
}

}  // namespace

double HeartDeviationMax(const RideReport& report, const Track& designed) {
    // Beyond this distance a match near the expected stretch is checked against the whole path.
    constexpr double kCloseEnough = 0.5;
    const Long count = designed.bezr.vertex_count;
    if (report.samples.empty() || count < 2 || static_cast<std::size_t>(count) > designed.bezr.vertices.size())
        return -1;
    const std::vector<PathPoint> path = DesignedPolyline(designed, count);
    const double path_length = path.back().s;
    const double ride_length = std::max(report.summary.length, 1e-9);
    const double window = 20 + 0.05 * path_length;
    double worst = 0;
    std::size_t lo = 0;
    for (const RideSample& sample : report.samples) {
        // First the stretch of the path near the same share of the ride; where
        // nothing there is close, the whole path.
        const DVec3 x{sample.x, sample.y, sample.z};
        const double expected = sample.s / ride_length * path_length;
        while (lo + 1 < path.size() && path[lo + 1].s < expected - window) ++lo;
        std::size_t hi = lo;
        while (hi < path.size() && path[hi].s <= expected + window) ++hi;
        double best = NearestSquared(path, x, lo, std::min(hi + 1, path.size()));
        if (!(best < kCloseEnough * kCloseEnough)) best = std::min(best, NearestSquared(path, x, 0, path.size()));
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
