// The walk along the input spline: samples at equal arc-length spacing, the
// train's speed there and the banking that presses the riders into their seats.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "heartline/solver_phases_internal.h"
#include "geometry/vec_angle.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::heartline {

SampleSet::SampleSet(int n)
    : point(n + 2),
      tangent(n + 2),
      zero_roll_down(n + 2),
      roll_down(n + 2),
      down(n + 2),
      smoothed(n + 2),
      speed(n + 2, 0.0),
      filter_count(n + 2, 0) {}

namespace {

// Whether VecAngle(w, prev_down) exceeds the flip limit. The arc tangent is
// only needed near the limit: a cosine above -0.99 puts the angle below 3.0,
// well short of the limit (3.0616). The test compares squares, which neither
// overflow nor underflow for float components, and leaves every case it
// cannot settle (near the limit, infinities, NaN) to VecAngle itself, so the
// answer is always VecAngle's.
bool TurnsPastFlipLimit(const Vector3& w, const Vector3& prev_down) {
    const double dot = VecDot(w, prev_down);
    const double w2 = double(w.x) * w.x + double(w.y) * w.y + double(w.z) * w.z;
    const double p2 = double(prev_down.x) * prev_down.x + double(prev_down.y) * prev_down.y +
                      double(prev_down.z) * prev_down.z;
    if (dot >= 0 || dot * dot < 0.98 * w2 * p2) return false;
    return VecAngle(w, prev_down) > kFlipLimit;
}

bool SameBits(const Vector3& a, const Vector3& b) { return std::memcmp(&a, &b, sizeof(Vector3)) == 0; }
bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }

// The points and step lengths of one curve's walk, worked out a curve at a
// time in arrays so that the compiler can use vector instructions: each lane
// does exactly the scalar arithmetic (BezierPointFromWeights, VecDistance),
// so every value keeps its bits. Only the running sum of the lengths is
// serial, and it stays in the walk's own order.
struct WalkSteps {
    static constexpr int kCount = kStepsPerCurve + 1;
    // An even length lets the point loop go in pairs without a scalar tail;
    // the padding entry has zero weights and is never read.
    static constexpr int kPadded = (kCount + 1) / 2 * 2;
    double w0[kPadded] = {}, w1[kPadded] = {}, w2[kPadded] = {}, w3[kPadded] = {};
    float x[kPadded], y[kPadded], z[kPadded];
    double step[kCount];

    WalkSteps() {
        for (int j = 0; j < kCount; ++j) {
            const BezierWeights w = BezierPointWeights(static_cast<float>(static_cast<double>(j) / kStepsPerCurve));
            w0[j] = w.w0;
            w1[j] = w.w1;
            w2[j] = w.w2;
            w3[j] = w.w3;
        }
    }

    Vector3 Point(int j) const { return {x[j], y[j], z[j]}; }

    // `prev` is the point the walk stood on before this curve's first step.
    void Walk(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, const Vector3& prev) {
        const double ax = p0.x, bx = p1.x, cx = p2.x, dx = p3.x;
        const double ay = p0.y, by = p1.y, cy = p2.y, dy = p3.y;
        const double az = p0.z, bz = p1.z, cz = p2.z, dz = p3.z;
        for (int j = 0; j < kPadded; ++j) {
            x[j] = static_cast<float>(w0[j] * ax + w1[j] * bx + w2[j] * cx + w3[j] * dx);
            y[j] = static_cast<float>(w0[j] * ay + w1[j] * by + w2[j] * cy + w3[j] * dy);
            z[j] = static_cast<float>(w0[j] * az + w1[j] * bz + w2[j] * cz + w3[j] * dz);
        }
        step[0] = VecDistance(prev, Point(0));
        for (int j = 1; j < kCount; ++j) {
            const double dx = double(x[j]) - x[j - 1];
            const double dy = double(y[j]) - y[j - 1];
            const double dz = double(z[j]) - z[j - 1];
            step[j] = std::sqrt(dx * dx + dy * dy + dz * dz);
        }
    }

};

}  // namespace

base::Status RelaxSample(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, int j,
                    const Vector3& p, double s, const EnergyModel& energy, double heartline,
                    Vector3& prev_down, ForceSample& out) {
    const double td = static_cast<double>(j) / kStepsPerCurve;
    const float t = static_cast<float>(td);
    // Derivatives, tangent and normal do not change between iterations; the
    // curvature is BezierCurvature's, from the same derivatives.
    const Vector3 d1 = BezierDerivative(p0, p1, p2, p3, td);
    const Vector3 d2 = BezierSecondDerivative(p0, p1, p2, p3, td);
    const Vector3 d1xd2 = VecCross(d1, d2);
    const double kappa = CurvatureFrom(d1, d1xd2);
    if (!std::isfinite(kappa)) return base::Status::Fail("The track has a curve without direction (a control point on its vertex).");
    const Vector3 tg = BezierTangent(p0, p1, p3, p2, t);
    const Vector3 n = VecNormalize(VecCross(d1xd2, tg));
    const double energy_here = energy.gradient * s + energy.e_start;

    // An iteration is a function of (prev_down, y_eval) alone. Once the state
    // after an iteration repeats an earlier one, the iterations run in a cycle
    // and the state after the last one can be read from the history.
    Vector3 hist_w[kRelaxIterations + 1];
    double hist_y[kRelaxIterations + 1];
    double hist_v[kRelaxIterations + 1];
    double y_eval = p.y;
    double v = 0;
    Vector3 w;
    for (int it = 1; it <= kRelaxIterations; ++it) {
        const double head = 2 * kGravity * (energy_here - y_eval);
        if (head < 0) return base::Status::Fail(kValleyMessage);
        if (!(head >= 0)) return base::Status::Fail("The speed at a sample is not a number.");
        v = std::sqrt(head);
        const double a = v * v * kappa / kGravity;

        Vector3 apparent = VecScale(n, -a);
        apparent.y = static_cast<float>(double(apparent.y) - 1);
        w = VecNormalize(VecCross(tg, VecCross(apparent, tg)));

        if (!(it == 1 && j == 0)) {
            if (TurnsPastFlipLimit(w, prev_down)) {
                // Turn a quarter about the tangent instead of flipping in one step.
                w = VecNormalize(VecCross(w, tg));
            } else {
                w = VecNormalize(VecAdd(w, VecAdd(prev_down, prev_down)));
            }
        }
        prev_down = w;
        y_eval = w.y * heartline + p.y + heartline;
        hist_w[it] = w;
        hist_y[it] = y_eval;
        hist_v[it] = v;

        // States after iterations 1 .. it - 1; every iteration after the first is
        // of the general kind, so a repeat means a cycle from there on.
        for (int m = it - 1; m >= 1; --m) {
            if (!SameBits(hist_w[m], w) || !SameBits(hist_y[m], y_eval)) continue;
            const int period = it - m;
            const int last = m + (kRelaxIterations - m) % period;  // same state as after the final iteration
            prev_down = hist_w[last];
            w = prev_down;
            v = last == m ? hist_v[it] : hist_v[last];
            it = kRelaxIterations;  // done
            break;
        }
    }
    out.down = w;
    out.speed = v;
    out.tg = tg;
    return base::Status::Ok();
}

base::Status SampleTrack(const SamplingInputs& in, SampleSet& set, Progress& progress) {
    const auto& v = in.vertices;
    const int curves = static_cast<int>(v.size()) - 1;
    const int last_index = in.n + 1;

    double s = 0;
    int k = 0;
    Vector3 prev = v[0].position;
    Vector3 prev_down{};
    set.vmin = 999999;
    set.vmax = 0;
    RollWalk roll(in.vertices);
    ForceSample force;
    const auto walk = std::make_unique<WalkSteps>();  // 50 KB: not on a thread's stack
    WalkSteps& steps = *walk;
    double target = (0.0 / in.n) * in.length;  // arc length of sample k: (k / N) * L

    for (int i = 0; i < curves; ++i) {
        const CurveRoll& curve = roll.BeginCurve(i);
        const Vector3& p0 = v[i].position;
        const Vector3& p1 = v[i].control_next;
        const Vector3& p2 = v[i + 1].control_prev;
        const Vector3& p3 = v[i + 1].position;
        const Segment& segment = in.segments[i];
        const std::optional<int> explicit_count = FilterCountForColour(segment.color_2);
        const bool last_curve = i == curves - 1;

        steps.Walk(p0, p1, p2, p3, prev);
        prev = steps.Point(kStepsPerCurve);
        for (int j = 0; j <= kStepsPerCurve; ++j) {
            // Steps on to the next sample in a loop of its own, which keeps the
            // running length in a register; the sums are the same, in order.
            double walked = s + steps.step[j];
            while (!(walked >= target) && j < kStepsPerCurve) walked = walked + steps.step[++j];
            s = walked;
            const bool forced = last_curve && j == kStepsPerCurve;
            if (!(s >= target) && !forced) continue;
            // Only one surplus sample has a place; a walk that runs further past the
            // stored length would leave the end of the track unsampled.
            if (k > last_index) {
                set.taken = k;
                return base::Status::Fail("The walk passed the stored track length by more than one sample spacing.");
            }

            const Vector3 p = steps.Point(j);
            if (base::Status f = RelaxSample(p0, p1, p2, p3, j, p, s, in.energy, in.heartline, prev_down, force); !f) {
                set.taken = k;
                set.stop_curve = i;
                set.stop_s = s;
                return f;
            }
            if (!explicit_count) return base::Status::Fail("A segment colour asks for a smoothing count beyond the 16-bit range.");

            set.speed[k] = force.speed;
            if (force.speed < set.vmin) set.vmin = force.speed;
            if (force.speed > set.vmax) set.vmax = force.speed;
            set.point[k] = p;
            set.zero_roll_down[k] = VecNormalize(VecCross(force.tg, VecNormalize(VecCross(kWorldDown, force.tg))));
            set.tangent[k] = VecNormalize(force.tg);

            const double u = static_cast<double>(j) / kStepsPerCurve;
            const double r = DesignerRoll(curve, u);
            set.roll_down[k] = RollDown(set.tangent[k], set.zero_roll_down[k], r);
            set.filter_count[k] = *explicit_count;
            set.down[k] = BlendDown(force.down, set.roll_down[k], WeightsForColour(segment.color_1, u), force.tg);

            ++k;
            target = (static_cast<double>(k) / in.n) * in.length;
            progress.Step();
            if (progress.Cancelled()) return base::Status::Fail(kCancelledMessage);
        }
        roll.EndCurve();
    }
    set.taken = k;
    if (k <= in.n) return base::Status::Fail("The walk along the track ended before every sample was taken.");
    return base::Status::Ok();
}

}  // namespace torvix::heartline
