#include "nl2/element_export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "geometry/constants.h"
#include "geometry/dvec3.h"
#include "geometry/hermite.h"
#include "nl2/element_track.h"
#include "ride/ride_line.h"
#include "track/track.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::nl2 {

namespace {

// Longest cell of the grid the heart line's length is measured on.
constexpr double kMaxCell = 0.5;
// A stretch of heart line this close to its chord, with tangents this close
// to the chord's direction, is a straight.
constexpr double kStraightGap = 5e-4;
constexpr double kStraightAngle = 2e-4;
// Heart lines longer than this are refused (the track reader bounds curves to 100 km in all).
constexpr double kMaxLength = 1e5;

// One point of the fine grid over a piece of the heart line.
struct GridPoint {
    double t = 0;
    double s = 0;
    double ds = 0;   // |d heart / dt|
    double dds = 0;  // d|d heart / dt| / dt
};

GridPoint MakeGridPoint(const railframe::RailPoint& p, double t) {
    const DVec3 h1{p.heart.x.d, p.heart.y.d, p.heart.z.d}, h2{p.heart.x.dd, p.heart.y.dd, p.heart.z.dd};
    GridPoint g;
    g.t = t;
    g.ds = Norm(h1);
    g.dds = g.ds == 0 ? 0 : Dot(h1, h2) / g.ds;
    return g;
}

// Trapezoid with its end correction (exact for cubics); the plain trapezoid where the correction is not small.
double CellLength(const GridPoint& a, const GridPoint& b) {
    const double h = b.t - a.t;
    const double trapezoid = h * (a.ds + b.ds) / 2;
    const double correction = h * h * (a.dds - b.dds) / 12;
    const double length = std::abs(correction) < 0.25 * trapezoid ? trapezoid + correction : trapezoid;
    return std::isfinite(length) ? std::max(length, 0.0) : 0.0;
}

// The parameter at distance `target` within a cell, by the cubic Hermite of s over it.
double SolveCell(const GridPoint& a, const GridPoint& b, double target) {
    const double h = b.t - a.t;
    if (h <= 0 || b.s <= a.s) return a.t;
    return a.t + SolveHermite(a.s, a.ds * h, b.s, b.ds * h, target) * h;
}

// The heart line of a track with its length measured, located by distance.
class HeartLine {
public:
    HeartLine(const ride::RideLine& line) : line_(line) {
        double s = 0;
        grid_.resize(line.Pieces());
        for (std::size_t c = 0; c < line.Pieces(); ++c) {
            const int cells = static_cast<int>(std::clamp(std::ceil(line.LengthEstimate(c) / kMaxCell), 8.0, 1e6));
            auto& g = grid_[c];
            g.reserve(static_cast<std::size_t>(cells) + 1);
            for (int i = 0; i <= cells; ++i) {
                const double t = static_cast<double>(i) / cells;
                GridPoint q = MakeGridPoint(line.At(c, t), t);
                if (i > 0) s += CellLength(g.back(), q);
                q.s = s;
                g.push_back(q);
            }
        }
        length_ = s;
    }
    double length() const { return length_; }
    // Piece and parameter at distance s.
    std::pair<std::size_t, double> Locate(double s) const {
        const auto piece = std::lower_bound(grid_.begin(), grid_.end() - 1, s,
                                            [](const std::vector<GridPoint>& g, double v) { return g.back().s < v; });
        const std::size_t c = static_cast<std::size_t>(piece - grid_.begin());
        const auto& g = grid_[c];
        const auto it = std::upper_bound(g.begin(), g.end(), s, [](double v, const GridPoint& q) { return v < q.s; });
        const std::size_t i = std::clamp<std::size_t>(static_cast<std::size_t>(it - g.begin()), 1, g.size() - 1);
        return {c, SolveCell(g[i - 1], g[i], s)};
    }
    railframe::RailPoint At(double s) const {
        const auto [c, t] = Locate(s);
        return line_.At(c, t);
    }

private:
    const ride::RideLine& line_;
    std::vector<std::vector<GridPoint>> grid_;
    double length_ = 0;
};

DVec3 Heart(const railframe::RailPoint& p) { return {p.heart.x.v, p.heart.y.v, p.heart.z.v}; }
DVec3 HeartTangent(const railframe::RailPoint& p) { return Unit({p.heart.x.d, p.heart.y.d, p.heart.z.d}); }

double DistanceToLine(DVec3 p, DVec3 origin, DVec3 dir) {
    const DVec3 d = p - origin;
    return Norm(d - Dot(d, dir) * dir);
}

// Control points of a clamped uniform cubic B-spline through q[0..m] at knots
// 0..m, leaving q[0] along d0 and arriving at q[m] along dm (derivatives per knot).
std::vector<DVec3> InterpolateRun(const std::vector<DVec3>& q, DVec3 d0, DVec3 dm) {
    const std::size_t m = q.size() - 1;
    std::vector<DVec3> p(m + 3);
    p[0] = q[0];
    p[1] = q[0] + (1.0 / 3) * d0;
    p[m + 1] = q[m] - (1.0 / 3) * dm;
    p[m + 2] = q[m];
    if (m == 1) return p;
    if (m == 2) {
        p[2] = 2.0 * q[1] - 0.5 * (p[1] + p[3]);
        return p;
    }
    // Rows j = 1 .. m-1 for the unknowns p[2] .. p[m]; Thomas' algorithm.
    const std::size_t n = m - 1;
    std::vector<double> sub(n), diag(n), super(n);
    std::vector<DVec3> rhs(n);
    for (std::size_t r = 0; r < n; ++r) {
        const std::size_t j = r + 1;
        sub[r] = 1.0 / 6, diag[r] = 4.0 / 6, super[r] = 1.0 / 6, rhs[r] = q[j];
        if (j == 1) {
            diag[r] = 7.0 / 12;
            rhs[r] = rhs[r] - 0.25 * p[1];
            sub[r] = 0;
        }
        if (j == m - 1) {
            diag[r] = 7.0 / 12;
            rhs[r] = rhs[r] - 0.25 * p[m + 1];
            super[r] = 0;
        }
    }
    for (std::size_t r = 1; r < n; ++r) {
        const double w = sub[r] / diag[r - 1];
        diag[r] -= w * super[r - 1];
        rhs[r] = rhs[r] - w * rhs[r - 1];
    }
    p[n + 1] = (1 / diag[n - 1]) * rhs[n - 1];
    for (std::size_t r = n - 1; r-- > 0;) p[r + 2] = (1 / diag[r]) * (rhs[r] - super[r] * p[r + 3]);
    return p;
}

std::string Fixed(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

}  // namespace

base::Status CheckExportParams(const ExportParams& params) {
    if (!(params.spacing >= kMinSpacing && params.spacing <= kMaxSpacing))
        return base::Status::Fail("the spacing must be a number from " + Fixed(kMinSpacing, 1) + " to " +
                                  Fixed(kMaxSpacing, 0) + " m");
    if (!std::isfinite(params.heartline) || std::abs(params.heartline) > 10)
        return base::Status::Fail("the heartline height must be a number from -10 to 10 m");
    return base::Status::Ok();
}

std::string ElementDescription(double heartline) {
    const std::string h = Fixed(heartline, 2);
    return "Heart line exported by Torvix, heartline height " + h +
           " m. Import it into a coaster whose spline position is Heart Line with a heartline height of " + h +
           " m (or Custom: x 0, y " + h + " m).";
}

namespace {

struct Sample {
    double s = 0;
    DVec3 q, tangent, down;
};

// A stretch of samples a..b drawn one way: a straight between two strict
// vertices, or one clamped B-spline at the run's own even spacing.
struct Run {
    std::size_t a = 0, b = 0;
    bool straight = false;
};

Sample SampleAt(const HeartLine& heart, double s) {
    const railframe::RailPoint p = heart.At(s);
    return {s, Heart(p), HeartTangent(p), p.down};
}

// Whether the heart line over interval i lies on its chord.
bool StraightInterval(const HeartLine& heart, const std::vector<Sample>& sm, std::size_t i) {
    const DVec3 chord = sm[i + 1].q - sm[i].q;
    const DVec3 dir = Unit(chord);
    if (Norm(chord) == 0 || Dot(sm[i].tangent, dir) <= 0 || Norm(Cross(sm[i].tangent, dir)) > kStraightAngle ||
        Norm(Cross(sm[i + 1].tangent, dir)) > kStraightAngle)
        return false;
    for (double f : {0.25, 0.5, 0.75})
        if (DistanceToLine(Heart(heart.At(sm[i].s + f * (sm[i + 1].s - sm[i].s))), sm[i].q, dir) >= kStraightGap)
            return false;
    return true;
}

// The runs: straights joined while they run on along one line, curves between
// them and between `breaks` (samples where the spacing changes). Two straights
// never share a sample: NoLimits 2 reads consecutive strict vertices as one line.
std::vector<Run> MakeRuns(const std::vector<Sample>& sm, const std::vector<bool>& straight,
                          const std::vector<bool>& breaks) {
    const std::size_t intervals = sm.size() - 1;
    std::vector<Run> runs;
    bool after_straight = false;
    for (std::size_t i = 0; i < intervals;) {
        if (straight[i] && !after_straight) {
            const DVec3 dir = Unit(sm[i + 1].q - sm[i].q);
            std::size_t j = i + 1;
            while (j < intervals && straight[j] && Norm(Cross(Unit(sm[j + 1].q - sm[j].q), dir)) < kStraightAngle &&
                   DistanceToLine(sm[j + 1].q, sm[i].q, dir) < kStraightGap)
                ++j;
            runs.push_back({i, j, true});
            after_straight = true;
            i = j;
            continue;
        }
        // A curve runs to the next straight or break; right after a straight it takes at least one interval.
        std::size_t k = i + 1;
        while (k < intervals && !breaks[k] && !straight[k]) ++k;
        runs.push_back({i, k, false});
        after_straight = false;
        i = k;
    }
    return runs;
}

struct Drawn {
    Element element;
    std::vector<std::pair<std::size_t, double>> place;  // piece and parameter of every sample
    std::vector<std::size_t> run_of;                      // run of every interval
    std::optional<ElementTrack> track;
    base::Status status;  // why there is no track
};

// Vertices through the samples, the curve NoLimits 2 builds from them, and one
// roll point per sample: the frame's up and right made exactly perpendicular
// to that curve's own tangent there.
// `reuse` keeps the storage of the curve drawn before.
Drawn Draw(const std::vector<Sample>& sm, const std::vector<Run>& runs, const std::string& description,
           std::optional<ElementTrack> reuse = std::nullopt) {
    Drawn out;
    Element& element = out.element;
    element.description = description;
    const std::size_t n = sm.size();
    element.vertices.push_back({sm[0].q.x, sm[0].q.y, sm[0].q.z, true});
    out.place.resize(n);
    out.run_of.resize(n - 1);
    std::size_t piece = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        const DVec3 qa = sm[run.a].q, qb = sm[run.b].q;
        for (std::size_t i = run.a; i < run.b; ++i) {
            out.run_of[i] = r;
            out.place[i] = run.straight ? std::pair{piece, Norm(sm[i].q - qa) / Norm(qb - qa)}
                                        : std::pair{piece + (i - run.a), 0.0};
        }
        if (!run.straight) {
            std::vector<DVec3> q;
            for (std::size_t i = run.a; i <= run.b; ++i) q.push_back(sm[i].q);
            // Derivatives per knot: the run's own spacing along the heart line's tangent.
            const double h = (sm[run.b].s - sm[run.a].s) / static_cast<double>(run.b - run.a);
            const std::vector<DVec3> p = InterpolateRun(q, h * sm[run.a].tangent, h * sm[run.b].tangent);
            for (std::size_t k = 1; k + 1 < p.size(); ++k) element.vertices.push_back({p[k].x, p[k].y, p[k].z, false});
        }
        element.vertices.push_back({qb.x, qb.y, qb.z, true});
        piece += run.straight ? 1 : run.b - run.a;
    }
    out.place[n - 1] = {piece - 1, 1.0};
    std::optional<ElementTrack> curve = std::move(reuse);
    if (!curve) curve.emplace();
    out.status = curve->Assign(element);
    if (!out.status.ok()) return out;
    if (curve->Pieces() != piece) {
        out.status = base::Status::Fail("its curve came out in " + std::to_string(curve->Pieces()) +
                                        " pieces instead of " + std::to_string(piece));
        return out;
    }
    const double total = curve->length();
    for (std::size_t i = 0; i < n; ++i) {
        const auto [at, t] = out.place[i];
        const Frame f = curve->FrameAt(at, t);
        const DVec3 forward = f.forward;
        const DVec3 up0 = -1.0 * sm[i].down;
        const DVec3 up = Unit(up0 - Dot(up0, forward) * forward);
        RollPoint r;
        r.up = up;
        r.right = Unit(Cross(forward, up));
        r.coord = i == 0 ? 0.0 : i + 1 == n ? 1.0 : std::clamp(curve->ArcLength(at, t) / total, 0.0, 1.0);
        element.rolls.push_back(r);
    }
    out.status = curve->SetRolls(element.rolls);
    if (out.status.ok()) out.track = std::move(curve);
    return out;
}

// Intervals where the element read back strays from the heart line or its bank.
std::vector<std::size_t> StrayIntervals(const HeartLine& heart, const std::vector<Sample>& sm,
                                        const std::vector<Run>& runs, const Drawn& drawn) {
    constexpr double kHeartTolerance = 0.003;   // metres
    constexpr double kBankTolerance = 0.7;      // degrees
    const double cos_bank = std::cos(kBankTolerance * kPi / 180);
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i + 1 < sm.size(); ++i) {
        if (runs[drawn.run_of[i]].straight) continue;
        const std::size_t piece = drawn.place[i].first;
        const CurvePiece& c = drawn.track->pieces()[piece];
        for (double f : {0.2, 0.4, 0.6, 0.8}) {
            const railframe::RailPoint src = heart.At(sm[i].s + f * (sm[i + 1].s - sm[i].s));
            const DVec3 target = Heart(src);
            // The nearest point of the piece, from the same share of it.
            double t = f;
            DVec3 point;
            for (int it = 0; it < 3; ++it) {
                point = c.Point(t);
                const DVec3 d = c.D1(t);
                if (Dot(d, d) > 0) t = std::clamp(t + Dot(target - point, d) / Dot(d, d), 0.0, 1.0);
            }
            const Frame frame = drawn.track->FrameAt(piece, t);
            if (Norm(target - frame.point) > kHeartTolerance || -Dot(frame.up, src.down) < cos_bank) {
                out.push_back(i);
                break;
            }
        }
    }
    return out;
}

}  // namespace

namespace {

// Why a track's vertices cannot be exported, or ok.
base::Status VerticesProblem(const Track& track) {
    const Long count = track.bezr.vertex_count;
    if (count < 2 || static_cast<std::size_t>(count) > track.bezr.vertices.size())
        return base::Status::Fail("The track needs at least two vertices.");
    for (Long i = 0; i < count; ++i) {
        const BezierVertex& v = track.bezr.vertices[i];
        for (const Vector3* p : {&v.position, &v.control_prev, &v.control_next})
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z) || !std::isfinite(v.roll))
                return base::Status::Fail("The track has a coordinate or roll that is not a finite number.");
    }
    return base::Status::Ok();
}

// The samples with what each interval is, and the element drawn through them.
struct Sampling {
    std::vector<Sample> sm;
    std::vector<bool> straight;  // per interval
    std::vector<bool> breaks;    // per sample: the spacing changes there
    std::vector<Run> runs;
    Drawn drawn;
};

// Samples at equal distances `step` apart, the last the line's own end, and the element through them.
Sampling FirstSampling(const ride::TrackLine& source, const HeartLine& heart, std::size_t intervals, double step,
                       const std::string& description) {
    Sampling x;
    for (std::size_t i = 0; i < intervals; ++i) x.sm.push_back(SampleAt(heart, step * static_cast<double>(i)));
    const railframe::RailPoint end = source.At(source.Pieces() - 1, 1);
    x.sm.push_back({heart.length(), Heart(end), HeartTangent(end), end.down});
    x.straight.resize(intervals);
    for (std::size_t i = 0; i < intervals; ++i) x.straight[i] = StraightInterval(heart, x.sm, i);
    x.breaks.assign(x.sm.size(), false);
    x.runs = MakeRuns(x.sm, x.straight, x.breaks);
    x.drawn = Draw(x.sm, x.runs, description);
    return x;
}

// Where the heart line changes faster than the spacing follows (a curvature
// jump at a joint of the track's curves, a quick roll), the curve would
// stray: such stretches are sampled again at half the spacing, each a run of
// its own between strict vertices, down to a quarter metre. False when
// nothing strays or nothing can be sampled finer.
bool RefineStrays(const HeartLine& heart, Sampling& x, const std::string& description) {
    constexpr double kFinestSpacing = 0.25;
    const std::vector<std::size_t> stray = StrayIntervals(heart, x.sm, x.runs, x.drawn);
    if (stray.empty()) return false;
    // Each stray interval with one neighbour either side within its run.
    std::vector<bool> refine(x.sm.size() - 1, false);
    for (std::size_t i : stray) {
        const Run& run = x.runs[x.drawn.run_of[i]];
        for (std::size_t k = std::max(run.a, i == 0 ? 0 : i - 1); k < std::min(run.b, i + 2); ++k)
            refine[k] = x.sm[k + 1].s - x.sm[k].s >= 2 * kFinestSpacing;
    }
    // Where the spacing changes, the sample is a break between runs.
    std::vector<Sample> next;
    std::vector<bool> next_straight, next_breaks;
    for (std::size_t i = 0; i < x.sm.size(); ++i) {
        next.push_back(x.sm[i]);
        next_breaks.push_back(x.breaks[i] || (i > 0 && i + 1 < x.sm.size() && refine[i - 1] != refine[i]));
        if (i + 1 == x.sm.size()) break;
        next_straight.push_back(x.straight[i] && !refine[i]);
        if (refine[i]) {
            next.push_back(SampleAt(heart, (x.sm[i].s + x.sm[i + 1].s) / 2));
            next_breaks.push_back(false);
            next_straight.push_back(false);
        }
    }
    if (next.size() == x.sm.size()) return false;
    x.sm = std::move(next);
    x.straight = std::move(next_straight);
    x.breaks = std::move(next_breaks);
    x.runs = MakeRuns(x.sm, x.straight, x.breaks);
    x.drawn = Draw(x.sm, x.runs, description, std::move(x.drawn.track));
    return true;
}

}  // namespace

ExportResult ExportElement(const Track& track, const ExportParams& params) {
    ExportResult out;
    if (base::Status params_ok = CheckExportParams(params); !params_ok) {
        out.status = base::Status::Fail("Cannot export: " + params_ok.message() + ".");
        return out;
    }
    if (base::Status vertices_ok = VerticesProblem(track); !vertices_ok) {
        out.status = vertices_ok;
        return out;
    }
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(),
                                                 static_cast<std::size_t>(track.bezr.vertex_count));
    out.closed = ride::IsClosedCircuit(track);
    const ride::TrackLine source(vertices, railframe::RollReading::kSimulator, out.closed, params.heartline);
    const HeartLine heart(source);
    const double length = heart.length();
    if (!(length > 0) || length > kMaxLength) {
        out.status = base::Status::Fail(length > 0 ? "The heart line is too long to export." : "The heart line has no length.");
        return out;
    }
    const std::size_t intervals = static_cast<std::size_t>(std::max(1.0, std::ceil(length / params.spacing - 1e-9)));
    out.length = length;
    out.spacing = length / static_cast<double>(intervals);
    const std::string description = ElementDescription(params.heartline);
    Sampling x = FirstSampling(source, heart, intervals, out.spacing, description);
    for (int round = 0; round < 6 && x.drawn.track; ++round)
        if (!RefineStrays(heart, x, description)) break;
    if (!x.drawn.track) {
        out.status = base::Status::Fail("The heart line cannot be exported: " + x.drawn.status.message() + ".");
        return out;
    }
    out.element = std::move(x.drawn.element);
    for (const Sample& q : x.sm) out.samples.push_back(q.q);
    out.status = base::Status::Ok();
    return out;
}

std::filesystem::path WithElementExtension(const std::filesystem::path& path) {
    if (HasElementExtension(path.string())) return path;
    std::filesystem::path out = path;
    out += ".nl2elem";
    return out;
}

WriteResult WriteElementFile(const Track& track, double heartline, double spacing, const std::filesystem::path& path) {
    WriteResult result;
    if (path.empty()) {
        result.status = base::Status::Fail("No file name given.");
        return result;
    }
    result.element = ExportElement(track, {heartline, spacing});
    if (!result.element.status.ok()) {
        result.status = result.element.status;
        return result;
    }
    result.written = WithElementExtension(path);
    if (base::Status saved = WriteElementXmlFile(result.written, result.element.element); !saved) {
        result.status = base::Status::Fail("Error saving the element: " + saved.message());
        return result;
    }
    result.status = base::Status::Ok();
    return result;
}

}  // namespace torvix::nl2
