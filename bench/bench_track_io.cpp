// Decoding and encoding a track with a 2048 x 2048 terrain grid, against a
// plain memcpy of the same image as the reference speed.
#include <benchmark/benchmark.h>

#include <cstring>

#include "track/track_io.h"

namespace {

torvix::track::Track MakeBigTerrainTrack() {
    torvix::track::Track track;
    track.tera.present = true;
    track.tera.rows = 2048;
    track.tera.columns = 2048;
    track.tera.heights.resize(2048u * 2048u);
    for (std::size_t i = 0; i < track.tera.heights.size(); ++i) {
        track.tera.heights[i] = static_cast<float>(i % 4093) * 0.01f;
    }
    track.bezr.vertex_count = 200;
    track.bezr.vertices.resize(200);
    track.segm.segment_count = 199;
    track.segm.segments.resize(199);
    return track;
}

const std::vector<std::uint8_t>& Image() {
    static const std::vector<std::uint8_t> image = [] {
        torvix::track::Track track = MakeBigTerrainTrack();
        return torvix::track::EncodeTrack(track);
    }();
    return image;
}

void BM_ReadTrackBytes(benchmark::State& state) {
    const auto& image = Image();
    for (auto _ : state) {
        torvix::track::Track track;
        if (!torvix::track::ReadTrackBytes(image, track)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(track.tera.heights.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_ReadTrackBytes)->Unit(benchmark::kMillisecond);

void BM_EncodeTrack(benchmark::State& state) {
    torvix::track::Track track = MakeBigTerrainTrack();
    std::size_t size = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> image = torvix::track::EncodeTrack(track);
        size = image.size();
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_EncodeTrack)->Unit(benchmark::kMillisecond);

// Reference: copying the image into a fresh buffer, as the decoder and the
// encoder each fill a fresh one.
void BM_MemcpyImage(benchmark::State& state) {
    const auto& image = Image();
    for (auto _ : state) {
        std::vector<std::uint8_t> copy(image.size());
        std::memcpy(copy.data(), image.data(), image.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_MemcpyImage)->Unit(benchmark::kMillisecond);

// Reference without the allocation: copying into a buffer that already exists.
void BM_MemcpyPreallocated(benchmark::State& state) {
    const auto& image = Image();
    std::vector<std::uint8_t> copy(image.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), image.data(), image.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_MemcpyPreallocated)->Unit(benchmark::kMillisecond);

}  // namespace
