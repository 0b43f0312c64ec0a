// Full solver runs on a generated rolling, turning track of about 1 km.
// Reference: 200 vertices, Segments 200 x Precision 16; then half and double
// the vertex count, and half and double Segments x Precision.
#include <benchmark/benchmark.h>

#include <cmath>

#include "heartline/solver.h"
#include "heartline/track_length.h"

namespace {

using namespace torvix;

// Point of a smooth 1 km path: gentle hills and S-bends.
Vector3 PathPoint(double s) {
    const double x = s;
    const double y = 6.0 * std::sin(s / 70.0) + 2.0 * std::sin(s / 23.0);
    const double z = 25.0 * std::sin(s / 90.0);
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

Track GeneratedTrack(int vertices) {
    const double length = 1000.0;
    const double step = length / (vertices - 1);
    Track track;
    track.bezr.vertex_count = vertices;
    for (int i = 0; i < vertices; ++i) {
        const double s = i * step;
        const Vector3 p = PathPoint(s);
        // Central-difference direction; arms a third of the spacing.
        const Vector3 d = VecNormalize(VecSub(PathPoint(s + 0.01), PathPoint(s - 0.01)));
        BezierVertex v;
        v.position = p;
        v.control_next = VecAdd(p, VecScale(d, step / 3));
        v.control_prev = VecSub(p, VecScale(d, step / 3));
        v.roll = static_cast<float>(0.3 * std::sin(s / 50.0));
        track.bezr.vertices.push_back(v);
    }
    track.segm.segment_count = vertices - 1;
    track.segm.segments.resize(vertices - 1);
    for (int i = 0; i < vertices - 1; ++i) {
        // Mostly force-aligned, a few designer-rolled and blended curves.
        Segment& seg = track.segm.segments[i];
        seg.color_1 = i % 10 == 3 ? 0 : i % 10 == 5 ? 255 : i % 10 == 6 ? 65280 : 16777215;
        seg.color_2 = i % 17 == 0 ? 20 : 16777215;
    }
    return track;
}

void BM_Solve(benchmark::State& state) {
    const int vertices = static_cast<int>(state.range(0));
    HeartlineParams params;
    params.segments = static_cast<int>(state.range(1));
    params.precision = 16;
    params.filter = 15;
    params.heartline = 1.1;
    params.start_speed = 22;
    params.end_speed = 18;
    const Track source = GeneratedTrack(vertices);
    const double length = TrackLength(source).length;
    for (auto _ : state) {
        Track track = source;
        const SolveResult result = SolveHeartline(track, length, params);
        if (!result.ok) {
            state.SkipWithError(result.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(track.bezr.vertices.data());
    }
    state.counters["samples"] = params.segments * params.precision + 1;
}

BENCHMARK(BM_Solve)
    ->Args({200, 200})  // reference
    ->Args({100, 200})
    ->Args({400, 200})
    ->Args({200, 100})
    ->Args({200, 400})
    ->Unit(benchmark::kMillisecond);

}  // namespace
