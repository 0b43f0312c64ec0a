// Rails and vertex rolls fitted together: the rails as a C1 cubic Hermite
// spline through the heart points moved along the down vectors, the rolls by
// least squares through the interpolation a reader of the file applies
// between vertex rolls; then the rails again along the down vectors those
// rolls actually give, and so on for a few rounds.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "refined/refined_internal.h"
#include "heartline/solver_phases.h"

namespace torvix::refined {

namespace {

constexpr double kTwoPi = 2 * kPi;
constexpr double kMaxRollStep = kPi - 1e-3;  // roll change over one curve; a reader wraps anything beyond pi
constexpr double kRollNoise = 1e-9;          // radians: a vertex roll this small is 0
constexpr double kMinSteepWeight = 1e-3;
constexpr double kEndWeight = 1e4;  // the rails begin and end where the path does, moved by the heartline

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

// Weights of vertex rolls r_c-1 .. r_c+2 in the roll a reader interpolates at
// u on curve c: a cosine ease plus the rate terms of flagged vertices (every
// vertex but the last is flagged; curve 0 has no curve before it).
void RollWeights(int c, int segments, double u, double w[4], const std::vector<char>& flags) {
    constexpr double pi = heartline::kPi;  // as the reader writes it
    const double ease = (1 - std::cos(pi * u)) / 2;
    const double a = flags[c] ? 2 * std::sin(pi * (1 - u) * (1 - u)) / 27 : 0.0;
    const double b = flags[c + 1] && c + 1 < segments ? -2 * std::sin(pi * u * u) / 27 : 0.0;
    w[0] = c > 0 ? -a : 0.0;
    w[1] = 1 - ease - b - (c == 0 ? a : 0.0);
    w[2] = ease + a;
    w[3] = b;
}

}  // namespace

// One fit with the given rate flags per vertex; returns its misfit, and the
// misfit's share at every grid point in `local`.
double FitWithFlags(const Grid& grid, int segments, double heartline, const std::vector<D3>& wanted_down,
                    const RefinedTuning& tuning, const std::vector<char>& flags, std::vector<BezierVertex>& out,
                    std::vector<double>& local,
                    const std::function<void()>& round_done) {
    const auto& g = grid.points;
    const std::size_t n = g.size();
    const int vertices = segments + 1;

    // Both systems depend only on where the grid points sit on the output curves: factor once.
    BandSystem rails(2 * vertices, 3);
    BandSystem rolls(vertices, 3);
    std::vector<Hermite> basis(n);
    std::vector<std::array<double, 4>> roll_basis(n);
    std::vector<double> roll_weight(n), rails_weight(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int c = g[i].out_curve;
        basis[i] = HermiteAt(g[i].out_u);
        rails_weight[i] = i == 0 || i + 1 == n ? kEndWeight : 1.0;
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b <= a; ++b) rails.Add(2 * c + a, 2 * c + b, rails_weight[i] * basis[i].h[a] * basis[i].h[b]);
        RollWeights(c, segments, g[i].out_u, roll_basis[i].data(), flags);
        // Where the path is steep the zero-roll frame swings faster than any
        // vertex roll can follow: let the rolls there come from the stretches around.
        const double level = std::hypot(g[i].tangent.x, g[i].tangent.z);
        roll_weight[i] = std::clamp(std::pow(level / tuning.steep_share, 2), kMinSteepWeight, 1.0);
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b <= a; ++b) {
                const int ra = c - 1 + a, rb = c - 1 + b;
                if (ra < 0 || rb < 0 || ra >= vertices || rb >= vertices) continue;
                rolls.Add(ra, rb, roll_weight[i] * roll_basis[i][a] * roll_basis[i][b]);
            }
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
    // Keep the roll change from curve to curve smooth where the grid says little.
    const double smooth = 1e-3 * grid.per_curve;
    for (int c = 1; c + 1 < vertices; ++c) {
        const int idx[3] = {c - 1, c, c + 1};
        const double k[3] = {1, -2, 1};
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b <= a; ++b) rolls.Add(idx[a], idx[b], smooth * k[a] * k[b]);
    }
    for (int i = 0; i < 2 * vertices; ++i) rails.at(i, i) += 1e-12;
    for (int i = 0; i < vertices; ++i) rolls.at(i, i) += 1e-12;
    rails.Factor();
    rolls.Factor();

    std::vector<D3> down(wanted_down);
    std::vector<double> coord[3];
    std::vector<double> r(static_cast<std::size_t>(vertices), 0.0);
    std::vector<D3> tangent(n), zero(n);
    double best_misfit = std::numeric_limits<double>::infinity();
    std::vector<double> best_coord[3], best_r;
    for (int round = 0; round < tuning.rounds; ++round) {
        // Rails through the heart points moved by the heartline along the down vectors.
        for (auto& v : coord) v.assign(static_cast<std::size_t>(2 * vertices), 0.0);
        std::vector<D3> target(n);
        for (std::size_t i = 0; i < n; ++i) target[i] = g[i].p + heartline * down[i];
        for (std::size_t i = 0; i < n; ++i) {
            const D3 q = target[i];
            const double qc[3] = {q.x, q.y, q.z};
            const int c = g[i].out_curve;
            for (int a = 0; a < 4; ++a)
                for (int k = 0; k < 3; ++k) coord[k][2 * c + a] += rails_weight[i] * basis[i].h[a] * qc[k];
            if (!bends[i]) continue;
            const D3 d2 = target[i + 1] - 2 * target[i] + target[i - 1];
            const double dc[3] = {d2.x, d2.y, d2.z};
            for (int a = 0; a < 4; ++a)
                for (int k = 0; k < 3; ++k) coord[k][2 * c + a] += bend_weight * bend[i][a] * dc[k];
        }
        for (auto& v : coord) rails.Solve(v);

        // The rolls that turn the rails' zero-roll frame onto the wanted down vectors.
        std::vector<double> rhs(static_cast<std::size_t>(vertices), 0.0);
        double last = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const int c = g[i].out_curve;
            D3 d{};
            for (int a = 0; a < 4; ++a) {
                const D3 node{coord[0][2 * c + a], coord[1][2 * c + a], coord[2][2 * c + a]};
                d = d + basis[i].dh[a] * node;
            }
            tangent[i] = Unit(d);
            zero[i] = ZeroRollDown(tangent[i]);
            if (Norm(zero[i]) == 0) continue;
            const D3 want = wanted_down[i] - Dot(wanted_down[i], tangent[i]) * tangent[i];
            const double rho = Nearest(AngleAgainst(want, tangent[i], zero[i]), last);
            last = rho;
            for (int a = 0; a < 4; ++a) {
                const int ra = c - 1 + a;
                if (ra >= 0 && ra < vertices) rhs[ra] += roll_weight[i] * roll_basis[i][a] * rho;
            }
        }
        rolls.Solve(rhs);
        r = rhs;
        for (int c = 1; c < vertices; ++c) r[c] = std::clamp(r[c], r[c - 1] - kMaxRollStep, r[c - 1] + kMaxRollStep);

        // The down vectors those rolls give on these rails, and the lateral
        // force this round's track would add: from the hearts bending off the
        // path, and from down vectors off the wanted ones.
        std::vector<D3> heart_error(n);
        std::vector<double> here(n, 0.0);
        double misfit = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const int c = g[i].out_curve;
            D3 rails_point{};
            for (int a = 0; a < 4; ++a) {
                const D3 node{coord[0][2 * c + a], coord[1][2 * c + a], coord[2][2 * c + a]};
                rails_point = rails_point + basis[i].h[a] * node;
            }
            D3 actual = down[i];
            if (Norm(zero[i]) > 0) {
                double roll = 0;
                for (int a = 0; a < 4; ++a) {
                    const int ra = c - 1 + a;
                    if (ra >= 0 && ra < vertices) roll += roll_basis[i][a] * r[ra];
                }
                actual = DownAt(roll, tangent[i], zero[i]);
            }
            const D3 e = rails_point - heartline * actual - g[i].p;
            heart_error[i] = e - Dot(e, g[i].tangent) * g[i].tangent;
            here[i] = Dot(g[i].force_perp, g[i].force_perp) * Dot(actual - wanted_down[i], actual - wanted_down[i]);
            misfit += here[i];
            // Steep stretches keep the wanted down vector: there the rolls cannot follow the
            // swinging zero-roll frame, and rails bent after them would only swing it more.
            const double trust = std::sqrt(roll_weight[i]);
            down[i] = Unit(trust * actual + (1 - trust) * wanted_down[i]);
        }
        for (std::size_t i = 1; i + 1 < n; ++i) {
            const double ds = (g[i + 1].s - g[i - 1].s) / 2;
            if (!(ds > 0)) continue;
            const D3 bend = (1 / (ds * ds)) * (heart_error[i + 1] - 2 * heart_error[i] + heart_error[i - 1]);
            const double scale = g[i].speed * g[i].speed / kG;
            here[i] += scale * scale * Dot(bend, bend);
            misfit += scale * scale * Dot(bend, bend);
        }
        if (misfit < best_misfit) {
            best_misfit = misfit;
            for (int k = 0; k < 3; ++k) best_coord[k] = coord[k];
            best_r = r;
            local = here;
        }
        if (round_done) round_done();
    }
    // A round can make steep stretches worse: keep the best one.
    for (int k = 0; k < 3; ++k) coord[k] = best_coord[k];
    r = best_r;

    out.assign(static_cast<std::size_t>(vertices) + 1, BezierVertex{});
    for (int c = 0; c < vertices; ++c) {
        const D3 p{coord[0][2 * c], coord[1][2 * c], coord[2][2 * c]};
        const D3 m{coord[0][2 * c + 1] / 3, coord[1][2 * c + 1] / 3, coord[2][2 * c + 1] / 3};
        auto f = [](D3 v) { return Vector3{float(v.x), float(v.y), float(v.z)}; };
        BezierVertex& v = out[c];
        v.position = f(p);
        v.control_next = f(p + m);
        v.control_prev = f(p - m);
        double roll = std::remainder(r[c], kTwoPi);
        if (std::abs(roll) < kRollNoise) roll = 0;
        v.roll = static_cast<float>(roll);
        v.roll_flag = flags[c] && c < segments;
    }
    return best_misfit;
}


void FitRailsAndRolls(const Grid& grid, int segments, double heartline, const std::vector<D3>& wanted_down,
                      const RefinedTuning& tuning, std::vector<BezierVertex>& out,
                      const std::function<void()>& round_done) {
    // A vertex's rate flag lets the roll run on through it (good for fast,
    // long rolls such as loops); without it the roll eases into the vertex,
    // which rails can follow more closely. Fit with every flag clear and with
    // every flag set, then with each vertex taking what fitted better around
    // it, and keep the best of the three.
    const std::size_t vertices = static_cast<std::size_t>(segments) + 1;
    std::vector<char> none(vertices, 0), all(vertices, 1);
    all.back() = 0;  // the last curve would look back to the first vertex
    std::vector<BezierVertex> eased, flagged;
    std::vector<double> eased_local, flagged_local, mixed_local;
    const double eased_misfit =
        FitWithFlags(grid, segments, heartline, wanted_down, tuning, none, eased, eased_local, round_done);
    const double flagged_misfit =
        FitWithFlags(grid, segments, heartline, wanted_down, tuning, all, flagged, flagged_local, round_done);
    std::vector<double> around_eased(vertices, 0.0), around_flagged(vertices, 0.0);
    for (std::size_t i = 0; i < grid.points.size(); ++i) {
        const int c = grid.points[i].out_curve;
        for (int v : {c, c + 1}) {
            around_eased[v] += eased_local[i];
            around_flagged[v] += flagged_local[i];
        }
    }
    std::vector<char> mixed(vertices, 0);
    for (std::size_t v = 0; v + 1 < vertices; ++v) mixed[v] = around_flagged[v] < around_eased[v];
    const double mixed_misfit =
        FitWithFlags(grid, segments, heartline, wanted_down, tuning, mixed, out, mixed_local, round_done);
    if (eased_misfit < mixed_misfit && eased_misfit <= flagged_misfit) out = std::move(eased);
    else if (flagged_misfit < mixed_misfit && flagged_misfit < eased_misfit) out = std::move(flagged);
}

}  // namespace torvix::refined
