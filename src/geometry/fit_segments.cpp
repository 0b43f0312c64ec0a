#include "geometry/fit_segments.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "geometry/fit_segments_internal.h"

namespace torvix::geometry {

namespace detail {

namespace {

// The throw stays out of line so that the check inlines into the Newton loop.
[[noreturn, gnu::noinline, gnu::cold]] void ThrowNotFinite(const char* what) {
    throw FitError(std::string(what) + " is not a finite number");
}

inline void RequireFinite(double value, const char* what) {
    if (!std::isfinite(value)) [[unlikely]] ThrowNotFinite(what);
}

void RequireFinite(const Vector3& v, const char* what) {
    RequireFinite(v.x, what);
    RequireFinite(v.y, what);
    RequireFinite(v.z, what);
}

void RequireFinite(const FittedSegment& seg) {
    RequireFinite(seg.start, "fitted segment");
    RequireFinite(seg.start_control, "fitted segment");
    RequireFinite(seg.end_control, "fitted segment");
    RequireFinite(seg.end, "fitted segment");
}

Vector3 Store(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// Nearest integer, halves to the even neighbour, independent of the FPU mode.
int RoundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    double r = lower;
    if (diff > 0.5) {
        r = lower + 1;
    } else if (diff == 0.5) {
        r = std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
    }
    return static_cast<int>(r);
}

// De Casteljau on k + 1 points held in `v`, overwritten on the way.
Vector3 DeCasteljauInPlace(Vector3* v, int k, double t) {
    for (int level = 1; level <= k; ++level) {
        for (int j = 0; j <= k - level; ++j) {
            v[j] = Store(v[j + 1].x * t + (1 - t) * v[j].x, v[j + 1].y * t + (1 - t) * v[j].y,
                         v[j + 1].z * t + (1 - t) * v[j].z);
        }
    }
    return v[0];
}

// Control points of a segment's first and second derivative; the same for
// every point of a Newton pass, so they are worked out once per pass.
struct DerivativePoints {
    Vector3 q1[3];
    Vector3 q2[2];
};

DerivativePoints DerivativesOf(const FittedSegment& seg) {
    DerivativePoints dp;
    dp.q1[0] = VecScale(VecSub(seg.start_control, seg.start), 3);
    dp.q1[1] = VecScale(VecSub(seg.end_control, seg.start_control), 3);
    dp.q1[2] = VecScale(VecSub(seg.end, seg.end_control), 3);
    dp.q2[0] = VecScale(VecSub(dp.q1[1], dp.q1[0]), 2);
    dp.q2[1] = VecScale(VecSub(dp.q1[2], dp.q1[1]), 2);
    return dp;
}

double NewtonStep(const FittedSegment& seg, const DerivativePoints& dp, const Vector3& p, double t) {
    const Vector3 q = EvaluateFittedSegment(seg, t);
    Vector3 first[3] = {dp.q1[0], dp.q1[1], dp.q1[2]};
    Vector3 second[2] = {dp.q2[0], dp.q2[1]};
    const Vector3 d1 = DeCasteljauInPlace(first, 2, t);
    const Vector3 d2 = DeCasteljauInPlace(second, 1, t);
    const double ex = double(q.x) - p.x;
    const double ey = double(q.y) - p.y;
    const double ez = double(q.z) - p.z;
    const double num = ex * d1.x + ey * d1.y + ez * d1.z;
    const double den = double(d1.x) * d1.x + double(d1.y) * d1.y + double(d1.z) * d1.z + ex * d2.x + ey * d2.y +
                       ez * d2.z;
    if (den == 0) return t;
    const double next = t - num / den;
    RequireFinite(next, "curve parameter");
    return next;
}

// Everything one fit works on. The parameter arrays hold at least one entry
// per point; a range uses their first entries and is done with them before
// its halves reuse them.
struct Fitter {
    std::span<const Vector3> d;
    FitResult& result;
    std::span<double> u;
    std::span<double> u_newton;
    int fit_depth = 0;
    int fit_max_depth = 0;
};

void AppendFittedSegment(Fitter& f, const FittedSegment& seg) {
    RequireFinite(seg);
    f.result.segments.push_back(seg);
    ++f.result.segment_count;
}

FittedSegment ThirdChordSegment(std::span<const Vector3> d, int first, int last, const Vector3& t1,
                                const Vector3& t2) {
    const double dist = VecLength(VecSub(d[last], d[first])) / 3;
    FittedSegment seg;
    seg.start = d[first];
    seg.end = d[last];
    seg.start_control = VecAdd(d[first], VecScale(t1, dist));
    seg.end_control = VecAdd(d[last], VecScale(t2, dist));
    return seg;
}

constexpr int kMaxPasses = 20;

void FitRange(Fitter& f, int first, int last, const Vector3& t1, const Vector3& t2) {
    ++f.fit_depth;
    const int n_pts = last - first + 1;
    if (n_pts == 2) {
        AppendFittedSegment(f, ThirdChordSegment(f.d, first, last, t1, t2));
        --f.fit_depth;
        return;
    }

    const std::span<double> u = f.u.first(static_cast<std::size_t>(n_pts));
    const std::span<double> u2 = f.u_newton.first(static_cast<std::size_t>(n_pts));
    ParameterizeByChordLength(f.d, first, last, u);
    FittedSegment seg = SolveControlArms(f.d, first, last, u, t1, t2);
    double prev = MaxFitDistance(f.d, first, last, seg, u);

    // Each pass takes one Newton step from the chord-length parameters to the
    // latest segment; the last pass's segment stands even if it got worse.
    for (int pass = 1; pass <= kMaxPasses; ++pass) {
        ReparameterizeNewton(f.d, first, last, u, seg, u2);
        seg = SolveControlArms(f.d, first, last, u2, t1, t2);
        const double err = MaxFitDistance(f.d, first, last, seg, u2);
        if (pass == kMaxPasses || err >= prev) break;
        prev = err;
    }

    // The error never decides acceptance: only the depth and the point count do.
    if (f.fit_depth > f.fit_max_depth || n_pts < 4) {
        AppendFittedSegment(f, seg);
        --f.fit_depth;
        return;
    }

    const int s = RoundHalfEven(static_cast<double>(n_pts) / 2 + first);
    Vector3 tc = SplitTangent(f.d, s);
    FitRange(f, first, s, t1, tc);
    tc = {-tc.x, -tc.y, -tc.z};
    FitRange(f, s, last, tc, t2);
    --f.fit_depth;
}

int MaxDepthFor(int segments_wanted) {
    switch (segments_wanted) {
        case 1: return 0;
        case 2: return 1;
        case 4: return 2;
        case 8: return 3;
        case 16: return 4;
        case 32: return 5;
        case 64: return 6;
        default: return 0;
    }
}

}  // namespace

double BernsteinB0(double t) {
    const double m = 1 - t;
    return m * m * m;
}

double BernsteinB1(double t) {
    const double m = 1 - t;
    return 3 * t * (m * m);
}

double BernsteinB2(double t) {
    const double m = 1 - t;
    return 3 * t * t * m;
}

double BernsteinB3(double t) { return t * t * t; }

Vector3 EvaluateFittedSegment(const FittedSegment& seg, double t) {
    const double b0 = BernsteinB0(t);
    const double b1 = BernsteinB1(t);
    const double b2 = BernsteinB2(t);
    const double b3 = BernsteinB3(t);
    const Vector3& p0 = seg.start;
    const Vector3& p1 = seg.start_control;
    const Vector3& p2 = seg.end_control;
    const Vector3& p3 = seg.end;
    return Store(b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x, b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y,
                 b0 * p0.z + b1 * p1.z + b2 * p2.z + b3 * p3.z);
}

Vector3 EvaluateDeCasteljau(int k, std::span<const Vector3> v, double t) {
    constexpr int kSmall = 4;
    if (k < kSmall) {
        Vector3 tmp[kSmall];
        std::copy(v.begin(), v.begin() + k + 1, tmp);
        return DeCasteljauInPlace(tmp, k, t);
    }
    std::vector<Vector3> tmp(v.begin(), v.begin() + k + 1);
    return DeCasteljauInPlace(tmp.data(), k, t);
}

void ParameterizeByChordLength(std::span<const Vector3> d, int first, int last, std::span<double> u) {
    const int n_pts = last - first + 1;
    u[0] = 0;
    for (int k = 1; k < n_pts; ++k) u[k] = u[k - 1] + VecLength(VecSub(d[first + k], d[first + k - 1]));
    if (n_pts > 1) {
        const double total = u[n_pts - 1];
        if (total == 0) throw FitError("points " + std::to_string(first) + " to " + std::to_string(last) +
                                       " coincide (zero chord length)");
        RequireFinite(total, "chord length");
        // In increasing k, so the total itself becomes 1 last.
        for (int k = 1; k < n_pts; ++k) u[k] = u[k] / u[n_pts - 1];
    }
}

std::vector<double> ParameterizeByChordLength(std::span<const Vector3> d, int first, int last) {
    std::vector<double> u(static_cast<std::size_t>(last - first + 1), 0.0);
    ParameterizeByChordLength(d, first, last, u);
    return u;
}

FittedSegment SolveControlArms(std::span<const Vector3> d, int first, int last, std::span<const double> u,
                               const Vector3& t1, const Vector3& t2) {
    const int n_pts = last - first + 1;
    double c11 = 0, c12 = 0, c22 = 0, x1 = 0, x2 = 0;
    for (int k = 0; k < n_pts; ++k) {
        const double uk = u[k];
        const Vector3 a1 = VecScale(t1, BernsteinB1(uk));
        const Vector3 a2 = VecScale(t2, BernsteinB2(uk));
        c11 += VecDot(a1, a1);
        c12 += VecDot(a1, a2);
        c22 += VecDot(a2, a2);
        const Vector3 r = VecSub(
            d[first + k],
            VecAdd(VecScale(d[first], BernsteinB0(uk)),
                   VecAdd(VecScale(d[first], BernsteinB1(uk)),
                          VecAdd(VecScale(d[last], BernsteinB2(uk)), VecScale(d[last], BernsteinB3(uk))))));
        x1 += VecDot(a1, r);
        x2 += VecDot(a2, r);
    }

    double det = c11 * c22 - c12 * c12;
    if (det == 0) det = c11 * c22 * 1e-12;
    double alpha_l = 0, alpha_r = 0;
    if (det != 0) {
        alpha_l = (x1 * c22 - c12 * x2) / det;
        alpha_r = (c11 * x2 - c12 * x1) / det;
    }
    RequireFinite(alpha_l, "start arm length");
    RequireFinite(alpha_r, "end arm length");

    // Absolute thresholds, different for the two arms.
    if (alpha_l >= 1e-8 && alpha_r >= 1e-9) {
        FittedSegment seg;
        seg.start = d[first];
        seg.end = d[last];
        seg.start_control = VecAdd(d[first], VecScale(t1, alpha_l));
        seg.end_control = VecAdd(d[last], VecScale(t2, alpha_r));
        RequireFinite(seg);
        return seg;
    }
    return ThirdChordSegment(d, first, last, t1, t2);
}

double MaxFitDistance(std::span<const Vector3> d, int first, int last, const FittedSegment& seg,
                      std::span<const double> u) {
    double max = 0;
    for (int i = first + 1; i <= last - 1; ++i) {
        const double dist = VecLength(VecSub(EvaluateFittedSegment(seg, u[i - first]), d[i]));
        RequireFinite(dist, "fit distance");
        if (dist > max) max = dist;
    }
    return max;
}

double NewtonParameterStep(const FittedSegment& seg, const Vector3& p, double t) {
    return NewtonStep(seg, DerivativesOf(seg), p, t);
}

void ReparameterizeNewton(std::span<const Vector3> d, int first, int last, std::span<const double> u,
                          const FittedSegment& seg, std::span<double> next) {
    const DerivativePoints dp = DerivativesOf(seg);
    for (int i = first; i <= last; ++i) next[i - first] = NewtonStep(seg, dp, d[i], u[i - first]);
}

std::vector<double> ReparameterizeNewton(std::span<const Vector3> d, int first, int last,
                                         std::span<const double> u, const FittedSegment& seg) {
    std::vector<double> next(u.size());
    ReparameterizeNewton(d, first, last, u, seg, next);
    return next;
}

Vector3 SplitTangent(std::span<const Vector3> d, int s) {
    const Vector3 e1 = VecSub(d[s - 1], d[s]);
    const Vector3 e2 = VecSub(d[s], d[s + 1]);
    return VecNormalize(VecScale(VecAdd(e1, e2), 0.5));
}

}  // namespace detail

const FitResult& SegmentFitter::Fit(std::span<const Vector3> points, int point_count,
                                    const Vector3& start_tangent, const Vector3& end_tangent,
                                    int segments_wanted) {
    result_.status = base::Status::Ok();
    result_.segment_count = 0;
    result_.segments.clear();
    if (point_count < 1 || static_cast<std::size_t>(point_count) > points.size()) {
        result_.status =
            base::Status::Fail("point count " + std::to_string(point_count) + " outside 1.." + std::to_string(points.size()));
        return result_;
    }
    const auto count = static_cast<std::size_t>(point_count);
    if (chord_params_.size() < count) {
        chord_params_.resize(count);
        newton_params_.resize(count);
    }

    detail::Fitter f{points.first(count), result_, chord_params_, newton_params_};
    f.fit_max_depth = detail::MaxDepthFor(segments_wanted);
    try {
        for (const Vector3& p : f.d) detail::RequireFinite(p, "point");
        detail::RequireFinite(start_tangent, "start tangent");
        detail::RequireFinite(end_tangent, "end tangent");
        detail::FitRange(f, 0, point_count - 1, start_tangent, end_tangent);
    } catch (const detail::FitError& e) {
        result_.status = base::Status::Fail(e.what());
        result_.segment_count = 0;
        result_.segments.clear();
    }
    return result_;
}

FitResult FitSegments(std::span<const Vector3> points, int point_count, const Vector3& start_tangent,
                      const Vector3& end_tangent, int segments_wanted) {
    SegmentFitter fitter;
    return fitter.Fit(points, point_count, start_tangent, end_tangent, segments_wanted);
}

}  // namespace torvix::geometry
