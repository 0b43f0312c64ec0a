// The literal solver's phases, private to the solver and its tests: sampling,
// the designer's roll and its blend, smoothing and the rebuild. The steps the
// refined method shares are in solver_phases.h.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "geometry/constants.h"
#include "geometry/fit_segments.h"
#include "geometry/vector3.h"
#include "heartline/solver_phases.h"
#include "railframe/designer_roll.h"
#include "track/track.h"

namespace torvix::heartline {

// The run's constants, written as the reference arithmetic has them so that
// results agree with it to float rounding.
inline constexpr double kFlipLimit = 3.06159265358979;  // pi - 0.08: beyond this a step is a flip
inline constexpr int kSpeedDerivedCount = 9999;     // filter count still to be derived from the speed
inline constexpr int kStepsPerCurve = 1000;  // walk steps j = 0 .. 1000 per input curve
inline constexpr int kRelaxIterations = 20;
inline constexpr const char* kBanner = "--- Torvix V1.6 ---";

inline const geometry::Vector3 kWorldDown{0.0f, -1.0f, 0.0f};

// 2N + Segments + Filter + 3 in signed 16-bit arithmetic; empty when any
// partial sum leaves that range.
std::optional<int> ProgressTotal(int n, int segments, int filter);

// ---- Per-sample arrays ----

struct SampleSet {
    // Index range 0 .. N + 1: samples 0 .. N are used, N + 1 catches a surplus final sample.
    std::vector<geometry::Vector3> point;
    std::vector<geometry::Vector3> tangent;
    std::vector<geometry::Vector3> zero_roll_down;
    std::vector<geometry::Vector3> roll_down;
    std::vector<geometry::Vector3> down;
    std::vector<geometry::Vector3> smoothed;
    std::vector<double> speed;
    std::vector<int> filter_count;
    double vmin = 999999;
    double vmax = 0;
    int taken = 0;  // samples recorded by the walk
    int stop_curve = -1;  // curve of the sample whose relaxation failed
    double stop_s = 0;    // arc length walked to that sample

    // Sizes every array to n + 2 zeroed entries.
    explicit SampleSet(int n);
};

// ---- Designer roll and blend ----

using railframe::CurveRoll;
using railframe::DesignerRoll;
using railframe::RollWalk;
using railframe::WrapAngle;

// Down vector of roll r about the tangent, from the zero-roll down vector.
geometry::Vector3 RollDown(const geometry::Vector3& tangent, const geometry::Vector3& zero_roll_down, double r);

struct BlendWeights {
    double roll = 0;
    double force = 0;
};

BlendWeights WeightsForColour(track::Colour color_1, double u);

// The explicit smoothing count of a curve's second colour, or kSpeedDerivedCount.
// Empty when the colour is an explicit count outside the 16-bit range.
std::optional<int> FilterCountForColour(track::Colour color_2);

// The blend of the force-aligned and the designer's down vector, made
// perpendicular to the tangent `tg`.
geometry::Vector3 BlendDown(const geometry::Vector3& force_down, const geometry::Vector3& roll_down,
                            const BlendWeights& weights, const geometry::Vector3& tg);

// ---- Sampling ----

struct SamplingInputs {
    std::span<const track::BezierVertex> vertices;  // the input track's vertex_count vertices
    std::span<const track::Segment> segments;       // at least vertex_count - 1 entries
    double length = 0;                       // stored track length L
    EnergyModel energy;
    double heartline = 0;
    int n = 0;  // sample intervals
};

// The force-aligned banking at one sample, found by the fixed relaxation.
struct ForceSample {
    geometry::Vector3 down;   // force-aligned down vector w
    double speed = 0;
    geometry::Vector3 tg;     // BezierTangent at the sample (not normalised)
};

// Runs the relaxation for the sample at walk step `j` of the curve p0..p3 with
// arc length `s` walked and `p` the walk point. `prev_down` is read and updated.
// Fails when the train cannot reach the point (negative value under the root).
base::Status RelaxSample(const geometry::Vector3& p0, const geometry::Vector3& p1, const geometry::Vector3& p2,
                         const geometry::Vector3& p3, int j, const geometry::Vector3& p, double s,
                         const EnergyModel& energy, double heartline, geometry::Vector3& prev_down, ForceSample& out);

// Walks the input spline and records samples 0 .. N: speed, force-aligned
// banking, designer roll and their blend. One progress step per sample.
base::Status SampleTrack(const SamplingInputs& in, SampleSet& set, Progress& progress);

// ---- Smoothing ----

// Completes the speed-derived filter counts of samples 0 .. n with the Filter
// passed in and returns the raised Filter. Adjusts set.vmax as the range guard needs.
int DeriveFilterCounts(SampleSet& set, int n, int filter);

// True when every pass can compare its number with Filter - filter_count[k] in
// 16 bits; a very negative explicit count breaks that once any pass runs.
bool PassThresholdsFit(const SampleSet& set, int n, int filter);

// One smoothing pass (1-based `pass` of `filter`) over samples 0 .. n, reading
// only the previous pass's down vectors.
void SmoothingPass(SampleSet& set, int n, int pass, int filter);

// ---- Rebuild ----

using Fitter = std::function<geometry::FitResult(std::span<const geometry::Vector3>, int, const geometry::Vector3&,
                                                 const geometry::Vector3&, int)>;

struct RebuildInputs {
    std::span<const track::BezierVertex> vertices;  // the input track's vertex_count vertices
    int segments = 0;
    int precision = 0;
    double heartline = 0;
};

// Roll that reproduces `down` about `tangent`, measured from `zero_roll_down`.
double VertexRoll(const geometry::Vector3& down, const geometry::Vector3& zero_roll_down,
                  const geometry::Vector3& tangent);

// Fits the new spline through the moved samples into `out` (segments + 2
// entries, the last left zero). One progress step per fitting point.
base::Status RebuildSpline(const RebuildInputs& in, SampleSet& set, const Fitter& fit,
                           std::vector<track::BezierVertex>& out, Progress& progress);
// The same with the library's fitter, one for all curves, so the fits allocate nothing.
base::Status RebuildSpline(const RebuildInputs& in, SampleSet& set, std::vector<track::BezierVertex>& out,
                      Progress& progress);

}  // namespace torvix::heartline
