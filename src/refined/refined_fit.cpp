// Rails and vertex rolls fitted together: the rails as a C1 cubic Hermite
// spline through the heart points moved along the down vectors, the rolls by
// least squares through the reading the simulator applies (a frame carried
// along the rails with a twist laid on it); then the rails again along the
// down vectors those rolls actually give, and so on for a few rounds.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "refined/refined_internal.h"

namespace torvix::refined {

namespace {

constexpr double kTwoPi = 2 * kPi;
constexpr double kMaxTwistStep = kPi - 1e-3;  // twist change over one curve; a reader wraps anything beyond pi
constexpr double kRollNoise = 1e-9;           // radians: a vertex roll this small is 0
constexpr double kEndWeight = 1e4;  // the rails begin and end where the path does, moved by the heartline
// Horizontal share of a vertex tangent (sine of 5 degrees) below which its
// roll is written as a twist on the carried frame: against world up it would
// be ill-defined there.
constexpr double kSteepVertex = 0.0871557427476582;

double Nearest(double angle, double to) { return angle - kTwoPi * std::round((angle - to) / kTwoPi); }

// A symmetric positive definite band matrix (lower half, `band` diagonals
// below the main one) factored in place by Cholesky.
class BandSystem {
public:
    BandSystem(int n, int band) : n_(n), band_(band), a_(static_cast<std::size_t>(n) * (band + 1), 0.0) {}
    double& at(int row, int col) { return a_[static_cast<std::size_t>(row) * (band_ + 1) + (row - col)]; }
    void Add(int row, int col, double v) {
        if (row < col) std::swap(row, col);
        at(row, col) += v;
    }
    void Clear() { std::fill(a_.begin(), a_.end(), 0.0); }
    void Factor() {
        for (int i = 0; i < n_; ++i) {
            for (int j = std::max(0, i - band_); j <= i; ++j) {
                double sum = at(i, j);
                for (int k = std::max(0, i - band_); k < j; ++k) sum -= at(i, k) * at(j, k);
                if (i == j) at(i, i) = std::sqrt(std::max(sum, 1e-300));
                else at(i, j) = sum / at(j, j);
            }
        }
    }
    void Solve(std::vector<double>& b) {
        for (int i = 0; i < n_; ++i) {
            double sum = b[i];
            for (int k = std::max(0, i - band_); k < i; ++k) sum -= at(i, k) * b[k];
            b[i] = sum / at(i, i);
        }
        for (int i = n_ - 1; i >= 0; --i) {
            double sum = b[i];
            for (int k = i + 1; k <= std::min(n_ - 1, i + band_); ++k) sum -= at(k, i) * b[k];
            b[i] = sum / at(i, i);
        }
    }

private:
    int n_, band_;
    std::vector<double> a_;
};

struct Hermite {
    double h[4];   // weights of P_c, M_c, P_c+1, M_c+1
    double dh[4];  // their derivatives along u
};

Hermite HermiteAt(double u) {
    const double u2 = u * u, u3 = u2 * u;
    return {{2 * u3 - 3 * u2 + 1, u3 - 2 * u2 + u, -2 * u3 + 3 * u2, u3 - u2},
            {6 * u2 - 6 * u, 3 * u2 - 4 * u + 1, -6 * u2 + 6 * u, 3 * u2 - 2 * u}};
}

// Arc length of each rails curve (Gauss-Legendre on the Hermite derivative).
std::vector<double> CurveLengths(const std::vector<double> coord[3], int segments) {
    constexpr double x[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831, 0.9061798459386640};
    constexpr double w[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889, 0.4786286704993665,
                             0.2369268850561891};
    std::vector<double> length(static_cast<std::size_t>(segments), 0.0);
    for (int c = 0; c < segments; ++c) {
        for (int half = 0; half < 2; ++half) {
            for (int k = 0; k < 5; ++k) {
                const Hermite b = HermiteAt(0.25 + 0.5 * half + 0.25 * x[k]);
                D3 d{};
                for (int a = 0; a < 4; ++a)
                    d = d + b.dh[a] * D3{coord[0][2 * c + a], coord[1][2 * c + a], coord[2][2 * c + a]};
                length[c] += 0.25 * w[k] * Norm(d);
            }
        }
    }
    return length;
}

// Weights of the vertex twists T_c-1 .. T_c+2 in the twist a reader lays on
// the carried frame at u on curve c: a smoothstep of the curve's change plus
// the rate terms of flagged vertices, whose rate is the length-weighted mean
// of the changes of the two curves meeting there (none at either end).
void TwistWeights(int c, int segments, double u, const std::vector<char>& flags, const std::vector<double>& length,
                  double w[4]) {
    double f[3];
    TwistBasis(u, f);
    double alpha = 0, beta = 0, gamma = 0, delta = 0;
    if (c > 0 && flags[c]) {
        const double sum = length[c - 1] + length[c];
        alpha = sum > 0 ? length[c - 1] / sum : 0.5;
        beta = 1 - alpha;
    }
    if (c + 1 < segments && flags[c + 1]) {
        const double sum = length[c] + length[c + 1];
        gamma = sum > 0 ? length[c] / sum : 0.5;
        delta = 1 - gamma;
    }
    w[0] = -f[0] * alpha;
    w[1] = 1 + f[0] * (alpha - beta) - f[1] * gamma - f[2];
    w[2] = f[0] * beta + f[1] * (gamma - delta) + f[2];
    w[3] = f[1] * delta;
}

// A Gaussian of `width` metres along the grid over the inner points (the ends stay out).
std::vector<D3> SmoothAlong(const std::vector<GridPoint>& g, const std::vector<D3>& v, double width) {
    const std::size_t n = v.size();
    std::vector<D3> out(v);
    std::size_t lo = 1;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        while (lo < i && g[lo].s < g[i].s - 3 * width) ++lo;
        D3 sum{};
        double wsum = 0;
        for (std::size_t j = lo; j + 1 < n && g[j].s <= g[i].s + 3 * width; ++j) {
            const double d = (g[j].s - g[i].s) / width;
            const double w = std::exp(-0.5 * d * d);
            sum = sum + w * v[j];
            wsum += w;
        }
        out[i] = (1 / wsum) * sum;
    }
    return out;
}

}  // namespace

// One fit with the given rate flags per vertex; returns its misfit, and the
// misfit's share at every grid point in `local`.
// `path_bending` is the drawn path's bending at each grid point, as the rails should follow it.
double FitWithFlags(const Grid& grid, int segments, double heartline, const std::vector<D3>& wanted_down,
                    const std::vector<D3>& path_bending, const RefinedTuning& tuning, const std::vector<char>& flags,
                    std::vector<BezierVertex>& out, std::vector<double>& local,
                    const std::function<void()>& round_done) {
    const auto& g = grid.points;
    const std::size_t n = g.size();
    const int vertices = segments + 1;

    // The rails' system depends only on where the grid points sit on the output curves: factor once.
    BandSystem rails(2 * vertices, 3);
    std::vector<Hermite> basis(n);
    std::vector<double> rails_weight(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int c = g[i].out_curve;
        basis[i] = HermiteAt(g[i].out_u);
        rails_weight[i] = i == 0 || i + 1 == n ? kEndWeight : 1.0;
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b <= a; ++b) rails.Add(2 * c + a, 2 * c + b, rails_weight[i] * basis[i].h[a] * basis[i].h[b]);
    }
    // The rails' bending within each curve, matched to the bending of the
    // targets (second differences on the grid): riders feel a heart line bent
    // off the path, not a millimetre of offset.
    const double grid_step = (g[n - 1].s - g[0].s) / double(n - 1);
    const double bend_weight = tuning.bend_weight / std::pow(grid_step, 4);
    std::vector<std::array<double, 4>> bend(n);
    std::vector<char> bends(n, 0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const int c = g[i].out_curve;
        if (g[i - 1].out_curve != c || g[i + 1].out_curve != c || g[i].out_u <= 0 || g[i + 1].out_u < g[i].out_u) continue;
        bends[i] = 1;
        for (int a = 0; a < 4; ++a) bend[i][a] = basis[i + 1].h[a] - 2 * basis[i].h[a] + basis[i - 1].h[a];
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b <= a; ++b) rails.Add(2 * c + a, 2 * c + b, bend_weight * bend[i][a] * bend[i][b]);
    }
    for (int i = 0; i < 2 * vertices; ++i) rails.at(i, i) += 1e-12;
    rails.Factor();

    // The twist system changes with the curve lengths, so it is built each round.
    BandSystem twists(vertices, 3);
    const double smooth = 1e-3 * grid.per_curve;
    std::vector<std::array<double, 4>> twist_basis(n);

    std::vector<D3> down(wanted_down);
    std::vector<double> coord[3];
    std::vector<double> theta(static_cast<std::size_t>(vertices), 0.0);
    std::vector<D3> tangent(n), carried(n), rails_point(n);
    double best_misfit = std::numeric_limits<double>::infinity();
    std::vector<double> best_coord[3], best_theta;
    std::vector<D3> best_tangent, best_carried;
    for (int round = 0; round < tuning.rounds; ++round) {
        // Rails through the heart points moved by the heartline along the down vectors.
        for (auto& v : coord) v.assign(static_cast<std::size_t>(2 * vertices), 0.0);
        std::vector<D3> target(n);
        for (std::size_t i = 0; i < n; ++i) target[i] = g[i].p + heartline * down[i];
        // The bending the rails are matched to: the drawn path's plus the heartline offset's.
        std::vector<D3> bending(n);
        for (std::size_t i = 1; i + 1 < n; ++i)
            bending[i] = path_bending[i] + heartline * (down[i + 1] - 2 * down[i] + down[i - 1]);
        for (std::size_t i = 0; i < n; ++i) {
            const D3 q = target[i];
            const double qc[3] = {q.x, q.y, q.z};
            const int c = g[i].out_curve;
            for (int a = 0; a < 4; ++a)
                for (int k = 0; k < 3; ++k) coord[k][2 * c + a] += rails_weight[i] * basis[i].h[a] * qc[k];
            if (!bends[i]) continue;
            const D3 d2 = bending[i];
            const double dc[3] = {d2.x, d2.y, d2.z};
            for (int a = 0; a < 4; ++a)
                for (int k = 0; k < 3; ++k) coord[k][2 * c + a] += bend_weight * bend[i][a] * dc[k];
        }
        for (auto& v : coord) rails.Solve(v);

        // The frame carried along these rails, and the wanted twist against it.
        for (std::size_t i = 0; i < n; ++i) {
            const int c = g[i].out_curve;
            D3 p{}, d{};
            for (int a = 0; a < 4; ++a) {
                const D3 node{coord[0][2 * c + a], coord[1][2 * c + a], coord[2][2 * c + a]};
                p = p + basis[i].h[a] * node;
                d = d + basis[i].dh[a] * node;
            }
            rails_point[i] = p;
            tangent[i] = Unit(d);
            if (i == 0) {
                carried[0] = ZeroRollDown(tangent[0]);
                if (Norm(carried[0]) == 0) carried[0] = AnyNormal(tangent[0]);
            } else {
                carried[i] = DoubleReflect(rails_point[i - 1], tangent[i - 1], carried[i - 1], p, tangent[i]);
            }
        }
        const std::vector<double> length = CurveLengths(coord, segments);
        twists.Clear();
        std::vector<double> rhs(static_cast<std::size_t>(vertices), 0.0);
        double last = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const int c = g[i].out_curve;
            TwistWeights(c, segments, g[i].out_u, flags, length, twist_basis[i].data());
            const D3 want = wanted_down[i] - Dot(wanted_down[i], tangent[i]) * tangent[i];
            const double psi = Nearest(AngleAgainst(want, tangent[i], carried[i]), last);
            last = psi;
            for (int a = 0; a < 4; ++a) {
                const int ra = c - 1 + a;
                if (ra < 0 || ra >= vertices) continue;
                rhs[ra] += twist_basis[i][a] * psi;
                for (int b = 0; b <= a; ++b) {
                    const int rb = c - 1 + b;
                    if (rb >= 0 && rb < vertices) twists.Add(ra, rb, twist_basis[i][a] * twist_basis[i][b]);
                }
            }
        }
        // Keep the twist change from curve to curve smooth where the grid says little.
        for (int c = 1; c + 1 < vertices; ++c) {
            const int idx[3] = {c - 1, c, c + 1};
            const double k[3] = {1, -2, 1};
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b <= a; ++b) twists.Add(idx[a], idx[b], smooth * k[a] * k[b]);
        }
        for (int i = 0; i < vertices; ++i) twists.at(i, i) += 1e-12;
        twists.Factor();
        twists.Solve(rhs);
        theta = rhs;
        for (int c = 1; c < vertices; ++c)
            theta[c] = std::clamp(theta[c], theta[c - 1] - kMaxTwistStep, theta[c - 1] + kMaxTwistStep);

        // The down vectors those twists give on these rails, and the lateral
        // force this round's track would add: from the hearts bending off the
        // path, and from down vectors off the wanted ones.
        std::vector<D3> heart_error(n);
        std::vector<double> here(n, 0.0);
        double misfit = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const int c = g[i].out_curve;
            double twist = 0;
            for (int a = 0; a < 4; ++a) {
                const int ra = c - 1 + a;
                if (ra >= 0 && ra < vertices) twist += twist_basis[i][a] * theta[ra];
            }
            const D3 actual = DownAt(twist, tangent[i], carried[i]);
            const D3 e = rails_point[i] - heartline * actual - g[i].p;
            heart_error[i] = e - Dot(e, g[i].tangent) * g[i].tangent;
            here[i] = Dot(g[i].force_perp, g[i].force_perp) * Dot(actual - wanted_down[i], actual - wanted_down[i]);
            misfit += here[i];
            down[i] = actual;
        }
        for (std::size_t i = 1; i + 1 < n; ++i) {
            const double ds = (g[i + 1].s - g[i - 1].s) / 2;
            if (!(ds > 0)) continue;
            const D3 bend_error = (1 / (ds * ds)) * (heart_error[i + 1] - 2 * heart_error[i] + heart_error[i - 1]);
            const double scale = g[i].speed * g[i].speed / kGravity;
            here[i] += scale * scale * Dot(bend_error, bend_error);
            misfit += scale * scale * Dot(bend_error, bend_error);
        }
        if (misfit < best_misfit) {
            best_misfit = misfit;
            for (int k = 0; k < 3; ++k) best_coord[k] = coord[k];
            best_theta = theta;
            best_tangent = tangent;
            best_carried = carried;
            local = here;
        }
        if (round_done) round_done();
    }
    // A round can make things worse: keep the best one.
    for (int k = 0; k < 3; ++k) coord[k] = best_coord[k];
    theta = best_theta;

    out.assign(static_cast<std::size_t>(vertices) + 1, BezierVertex{});
    for (int c = 0; c < vertices; ++c) {
        const D3 p{coord[0][2 * c], coord[1][2 * c], coord[2][2 * c]};
        const D3 m{coord[0][2 * c + 1] / 3, coord[1][2 * c + 1] / 3, coord[2][2 * c + 1] / 3};
        auto f = [](D3 v) { return Vector3{float(v.x), float(v.y), float(v.z)}; };
        BezierVertex& v = out[c];
        v.position = f(p);
        v.control_next = f(p + m);
        v.control_prev = f(p - m);
        const std::size_t at = c < segments ? static_cast<std::size_t>(c) * grid.per_curve : n - 1;
        const D3 t = best_tangent[at];
        double roll;
        if (c > 0 && std::hypot(t.x, t.z) < kSteepVertex) {
            // Near vertical: the twist since the vertex before, on the frame carried to here.
            v.relative_roll = true;
            roll = theta[c] - theta[c - 1];
        } else {
            roll = std::remainder(AngleAgainst(DownAt(theta[c], t, best_carried[at]), t, ZeroRollDown(t)), kTwoPi);
        }
        if (std::abs(roll) < kRollNoise) roll = 0;
        v.roll = static_cast<float>(roll);
        v.roll_flag = flags[c] && c > 0 && c < segments;
    }
    return best_misfit;
}

void FitRailsAndRolls(const Grid& grid, int segments, double heartline, const std::vector<D3>& wanted_down,
                      const RefinedTuning& tuning, std::vector<BezierVertex>& out,
                      const std::function<void()>& round_done) {
    // A vertex's rate flag lets the twist run on through it (good for long,
    // steady rolls such as helices and loops); without it the twist eases
    // into the vertex, which rails can follow more closely. Fit with every
    // flag clear and with every flag set, then with each vertex taking what
    // fitted better around it, and keep the best of the three.
    const std::size_t vertices = static_cast<std::size_t>(segments) + 1;
    std::vector<char> none(vertices, 0), all(vertices, 1);
    // The drawn path's bending with ripples shorter than the smoothing width
    // taken out: a drawn path can wiggle between its vertices.
    const auto& g = grid.points;
    std::vector<D3> path_bending(g.size());
    for (std::size_t i = 1; i + 1 < g.size(); ++i) path_bending[i] = g[i + 1].p - 2 * g[i].p + g[i - 1].p;
    if (tuning.bend_smoothing > 0) path_bending = SmoothAlong(g, path_bending, tuning.bend_smoothing);
    std::vector<BezierVertex> eased, flagged;
    std::vector<double> eased_local, flagged_local, mixed_local;
    const double eased_misfit =
        FitWithFlags(grid, segments, heartline, wanted_down, path_bending, tuning, none, eased, eased_local, round_done);
    const double flagged_misfit =
        FitWithFlags(grid, segments, heartline, wanted_down, path_bending, tuning, all, flagged, flagged_local, round_done);
    std::vector<double> around_eased(vertices, 0.0), around_flagged(vertices, 0.0);
    for (std::size_t i = 0; i < grid.points.size(); ++i) {
        const int c = grid.points[i].out_curve;
        for (int v : {c, c + 1}) {
            around_eased[v] += eased_local[i];
            around_flagged[v] += flagged_local[i];
        }
    }
    std::vector<char> mixed(vertices, 0);
    for (std::size_t v = 0; v < vertices; ++v) mixed[v] = around_flagged[v] < around_eased[v];
    const double mixed_misfit =
        FitWithFlags(grid, segments, heartline, wanted_down, path_bending, tuning, mixed, out, mixed_local, round_done);
    if (eased_misfit < mixed_misfit && eased_misfit <= flagged_misfit) out = std::move(eased);
    else if (flagged_misfit < mixed_misfit && flagged_misfit < eased_misfit) out = std::move(flagged);
}

}  // namespace torvix::refined
