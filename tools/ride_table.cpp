// Prints the banking goal table: the literal and the refined method side by
// side on the test tracks, the shipped sample and the shared real track, as
// the ride report measures them (heartline 1.0, Filter 15, 0.5 m steps) with
// the rolls read as the simulator reads them and as the designer's roll.
//   ride_table [SAMPLE.nltrack] [SHARED.nltrack]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/heap.h"
#include "support/ride_tracks.h"
#include "refined/solver_modes.h"
#include "heartline/track_length.h"
#include "ride/ride_report.h"
#include "track/track_io.h"

namespace {

using namespace torvix;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

struct Row {
    bool ok = false;
    std::string message;
    double rms = 0, max = 0, deviation = 0, roll_rate = 0, roll_max = 0, ms = 0, unasked = 0;
    double designer_rms = 0, designer_max = 0;  // the same track with the rolls read as the designer's
};

Row Measure(const Track& input, SolverMode mode, int segments, int precision, double start, double end) {
    Track track = input;
    double length = 0;
    length = TrackLength(track).value();
    HeartlineParams p;
    p.segments = segments;
    p.precision = precision;
    p.filter = 15;
    p.heartline = 1.0;
    p.start_speed = start;
    p.end_speed = end;
    Row row;
    const auto t0 = std::chrono::steady_clock::now();
    const SolveResult result = SolveHeartlineWith(mode, track, length, p);
    row.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (!result.status.ok()) {
        row.message = result.status.message();
        return row;
    }
    const ride::RideReport report =
        ride::MeasureRide(track, {1.0, start, end, 0.5, railframe::RollReading::kSimulator}, &input);
    const ride::RideReport designer = ride::MeasureRide(track, {1.0, start, end, 0.5, railframe::RollReading::kDesigner});
    if (!report.status.ok() || !designer.status.ok()) {
        row.message = report.status.ok() ? designer.status.message() : report.status.message();
        return row;
    }
    row.designer_rms = designer.summary.lateral_rms;
    row.designer_max = designer.summary.lateral_max;
    row.ok = true;
    row.rms = report.summary.lateral_rms;
    row.max = report.summary.lateral_max;
    row.roll_rate = report.summary.roll_rate_max;
    row.unasked = report.summary.unasked_roll;
    row.deviation = ride::HeartDeviationMax(report, input);
    for (Long i = 0; i < track.bezr.vertex_count; ++i)
        row.roll_max = std::max(row.roll_max, std::abs(double(track.bezr.vertices[i].roll)) * 180 / ridetracks::kPi);
    return row;
}

std::string Cell(const Row& r) {
    if (!r.ok) return "failed: " + r.message;
    char buf[280];
    std::snprintf(buf, sizeof buf,
                  "%8.4f / %9.3f g  (designer %8.4f / %9.3f g)  dev %6.3f m  roll rate %6.0f deg/s  |roll| <= %5.1f "
                  "deg  unasked %5.1f m  %6.1f ms",
                  r.rms, r.max, r.designer_rms, r.designer_max, r.deviation, r.roll_rate, r.roll_max, r.unasked, r.ms);
    return buf;
}

void Print(const std::string& name, const Track& track, int segments, int precision, double start, double end) {
    std::printf("%s, %d x %d, %.0f -> %.0f m/s\n", name.c_str(), segments, precision, start, end);
    std::printf("  literal  %s\n", Cell(Measure(track, SolverMode::kLiteral, segments, precision, start, end)).c_str());
    std::printf("  refined  %s\n", Cell(Measure(track, SolverMode::kRefined, segments, precision, start, end)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    platform::KeepFreedMemory();
    const std::string sample = argc > 1 ? argv[1] : "samples/sample.nltrack";
    const std::string shared = argc > 2 ? argv[2] : "../shared/tracks/demo-circuit.nltrack";
    std::printf("lateral RMS / max (simulator reading, then designer reading), heart deviation from the input, roll rate "
                "max, largest vertex roll, run time\n\n");
    // The tracks as drawn, read both ways.
    for (const auto& t : ridetracks::AllRideTracks()) {
        const ride::RideReport sim = ride::MeasureRide(t.track, {1.0, t.start_speed, t.end_speed, 0.5});
        const ride::RideReport des =
            ride::MeasureRide(t.track, {1.0, t.start_speed, t.end_speed, 0.5, railframe::RollReading::kDesigner});
        std::printf("%s as loaded\n  input    ", t.name.c_str());
        if (sim.status.ok() && des.status.ok())
            std::printf("%8.4f / %9.3f g  (designer %8.4f / %9.3f g)\n", sim.summary.lateral_rms, sim.summary.lateral_max,
                        des.summary.lateral_rms, des.summary.lateral_max);
        else
            std::printf("failed: %s\n", sim.status.ok() ? des.status.message().c_str() : sim.status.message().c_str());
    }
    std::printf("\n");
    for (const auto& t : ridetracks::AllRideTracks())
        for (auto [s, p] : {std::pair{60, 6}, std::pair{200, 16}}) Print(t.name, t.track, s, p, t.start_speed, t.end_speed);
    Track track;
    if (ReadTrackFile(shared, track)) {
        for (auto [s, p] : {std::pair{60, 6}, std::pair{120, 8}, std::pair{200, 16}})
            Print("Shared track", track, s, p, 25, 20);
    } else {
        std::printf("(no shared track at %s)\n", shared.c_str());
    }
    if (ReadTrackFile(sample, track)) {
        for (auto [s, p] : {std::pair{60, 6}, std::pair{200, 16}}) Print("Sample track", track, s, p, 20, 17);
    } else {
        std::printf("(no sample track at %s)\n", sample.c_str());
    }
    return 0;
}
