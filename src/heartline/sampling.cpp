// The walk along the input spline: samples at equal arc-length spacing, the
// train's speed there and the banking that presses the riders into their seats.
#include <cmath>

#include "heartline/solver_phases.h"
#include "geometry/vec_angle.h"

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

Failure RelaxSample(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, int j,
                    const Vector3& p, double s, const EnergyModel& energy, double heartline,
                    Vector3& prev_down, ForceSample& out) {
    const double td = static_cast<double>(j) / kStepsPerCurve;
    const float t = static_cast<float>(td);
    const double kappa = BezierCurvature(p0, p1, p2, p3, td);
    if (!std::isfinite(kappa)) return std::string("The track has a curve without direction (a control point on its vertex).");

    // Derivatives, tangent and normal do not change between iterations.
    const Vector3 d1 = BezierDerivative(p0, p1, p2, p3, td);
    const Vector3 d2 = BezierSecondDerivative(p0, p1, p2, p3, td);
    const Vector3 tg = BezierTangent(p0, p1, p3, p2, t);
    const Vector3 n = VecNormalize(VecCross(VecCross(d1, d2), tg));

    double y_eval = p.y;
    double v = 0;
    Vector3 w;
    for (int it = 1; it <= kRelaxIterations; ++it) {
        const double head = 2 * kGravity * (energy.gradient * s + energy.e_start - y_eval);
        if (head < 0) return std::string(kValleyMessage);
        if (!(head >= 0)) return std::string("The speed at a sample is not a number.");
        v = std::sqrt(head);
        const double a = v * v * kappa / kGravity;

        Vector3 apparent = VecScale(n, -a);
        apparent.y = static_cast<float>(double(apparent.y) - 1);
        w = VecNormalize(VecCross(tg, VecCross(apparent, tg)));

        if (!(it == 1 && j == 0)) {
            const double alpha = VecAngle(w, prev_down);
            if (alpha > kFlipLimit) {
                // Turn a quarter about the tangent instead of flipping in one step.
                w = VecNormalize(VecCross(w, tg));
            } else {
                w = VecNormalize(VecAdd(w, VecAdd(prev_down, prev_down)));
            }
        }
        prev_down = w;
        y_eval = w.y * heartline + p.y + heartline;
    }
    out.down = w;
    out.speed = v;
    out.tg = tg;
    return std::nullopt;
}

Failure SampleTrack(const SamplingInputs& in, SampleSet& set, Progress& progress) {
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

    for (int i = 0; i < curves; ++i) {
        const CurveRoll& curve = roll.BeginCurve(i);
        const Vector3& p0 = v[i].position;
        const Vector3& p1 = v[i].control_next;
        const Vector3& p2 = v[i + 1].control_prev;
        const Vector3& p3 = v[i + 1].position;
        const Segment& segment = in.segments[i];
        const std::optional<int> explicit_count = FilterCountForColour(segment.color_2);
        const bool last_curve = i == curves - 1;

        for (int j = 0; j <= kStepsPerCurve; ++j) {
            const float t = static_cast<float>(static_cast<double>(j) / kStepsPerCurve);
            const Vector3 p = BezierPoint(p0, p1, p3, p2, t);
            s = s + VecDistance(prev, p);
            prev = p;
            const bool forced = last_curve && j == kStepsPerCurve;
            if (!(s >= (static_cast<double>(k) / in.n) * in.length) && !forced) continue;
            // Only one surplus sample has a place; a walk that runs further past the
            // stored length would leave the end of the track unsampled.
            if (k > last_index) {
                set.taken = k;
                return std::string("The walk passed the stored track length by more than one sample spacing.");
            }

            if (Failure f = RelaxSample(p0, p1, p2, p3, j, p, s, in.energy, in.heartline, prev_down, force)) return f;
            if (!explicit_count) return std::string("A segment colour asks for a smoothing count beyond the 16-bit range.");

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
            progress.Step();
        }
        roll.EndCurve();
    }
    set.taken = k;
    if (k <= in.n) return std::string("The walk along the track ended before every sample was taken.");
    return std::nullopt;
}

}  // namespace torvix::heartline
