// The ride report: what riders feel along a finished track, measured from the
// track alone. The rails are the track's spline in double precision, rolled
// as the simulator reads the vertex rolls (or, for comparison, as the solver
// reads the designer's roll); the riders' hearts
// sit the heartline height above the rails along the rolled down vector; the
// train's speed follows the energy model with uniform friction along the
// heart line's own length.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "geometry/vector3.h"
#include "track/run_defaults.h"
#include "railframe/rail_frame.h"
#include "track/bulk_allocator.h"
#include "track/track.h"

namespace torvix::ride {

// Heartline and speeds default to the solver's own defaults.
struct RideParams {
    double heartline = track::RunDefaults::kHeartline;     // metres from the rails up to the riders' hearts (negative when hanging)
    double start_speed = track::RunDefaults::kStartSpeed;  // m/s at the first vertex
    double end_speed = track::RunDefaults::kEndSpeed;      // m/s at the last vertex
    double step = 0.5;         // metres of heart line between samples (at most)
    railframe::RollReading reading = railframe::RollReading::kSimulator;  // how the vertex rolls are read
};

struct RideSample {
    double s = 0;             // metres along the heart line
    double t = 0;             // seconds since the first vertex
    double x = 0, y = 0, z = 0;  // heart position
    double speed = 0;         // m/s
    double vertical = 0;      // g into the seat: 1 on a level straight, below 0 is airtime
    double lateral = 0;       // g toward the riders' left
    double longitudinal = 0;  // g along the track (dv/dt)
    double roll = 0;          // degrees of bank against world up
    double roll_rate = 0;     // degrees per second the seat turns about the track, as riders feel it
    int curve = 0;            // curve of the track the sample lies on
    bool unasked = false;     // turned over where neither the path nor the forces nor the designer ask for it
};

using RideSamples = std::vector<RideSample, track::BulkAllocator<RideSample>>;

// A stretch of the heart line, metres from the first vertex.
struct RideStretch {
    double from = 0, to = 0;
};

// Where the train runs out of energy, and what would carry it through.
struct RideValley {
    double s = 0;                // first point the train cannot reach
    int curve = 0;
    double min_start_speed = 0;  // lowest start speed (m/s) that clears the whole track
};

struct RidePeak {
    double s = 0;
    double lateral = 0;  // signed, g
    int curve = 0;
};

struct RideSummary {
    double length = 0;    // heart line, metres
    double duration = 0;  // seconds to the end, or to the valley
    double speed_min = 0, speed_max = 0;
    double vertical_min = 0, vertical_min_s = 0;
    double vertical_max = 0, vertical_max_s = 0;
    double lateral_max = 0, lateral_max_s = 0;  // largest |lateral| and where
    double lateral_rms = 0;                     // weighted by arc length
    double airtime = 0;                         // seconds with vertical below 0
    double bank_error_max = 0, bank_error_max_s = 0;  // degrees, where vertical >= 0.25 g
    double roll_rate_max = 0, roll_rate_max_s = 0;    // degrees per second
    double lateral_above_tolerable = 0;               // share of the heart line with |lateral| above 1 g
    double unasked_roll = 0;                          // metres turned over where nothing asks for it
    std::vector<RideStretch> unasked_stretches;       // where, in ride order
    std::optional<RideValley> valley;
    std::vector<RidePeak> peaks;  // the largest |lateral| peaks, at least 5 m apart, largest first
};

struct RideReport {
    base::Status status = base::Status::Fail("");  // ok once measured whole; why the ride failed otherwise
    RideParams params;
    // Up to the valley, when there is one. A fine step over a long ride runs to
    // megabytes, taken from the system in one piece rather than page by page.
    RideSamples samples;
    std::vector<double> vertex_s;     // heart-line distance of every vertex
    RideSummary summary;
};

inline constexpr int kMinSamplesPerCurve = 4;
inline constexpr int kPeakCount = 5;
inline constexpr double kPeakSeparation = 5.0;    // metres between reported lateral peaks
inline constexpr double kSeatedVertical = 0.25;   // g: bank error is measured only while pressed this hard
inline constexpr double kTolerableLateral = 1.0;  // g

// Measures a ride over the track's spline. Fails (a failed status, with a message)
// for a track without a curve, for a coordinate, roll or parameter that is
// not a finite number, and when the train valleys; a valley keeps the samples
// up to it. Where a segment colour asks for the designer's own roll (colour
// 0) the track is measured against that roll, not the natural attitude: a
// drawn roll is never unasked, a track that leaves it may be. `drawn`, when
// given, is the track as the designer drew it (the input of the run that made
// `track`): its colours and rolls count, at the same share of the ride.
// Otherwise the measured track is its own drawing. A closed circuit read as
// the simulator reads it goes once round: the end speed holds at the last
// vertex, and the closing curve continues the friction line back to the first
// vertex.
RideReport MeasureRide(const track::Track& track, const RideParams& params, const track::Track* drawn = nullptr);

// The same over any line a train rides (ride/ride_line.h); params.heartline
// and params.reading only describe it there, and the unasked roll is measured
// against the natural attitude all the way.
class RideLine;
RideReport MeasureRide(const RideLine& line, const RideParams& params);

// Distance along the report's heart line nearest to each point, searched
// forward from the previous match, so a track passing close to itself maps
// its points in ride order.
std::vector<double> LocateAlong(const RideReport& report, std::span<const geometry::Vector3> points);

// Largest distance from the report's heart line to the path of `designed`
// (a track's spline taken as the heart line it was drawn as): how far a
// rebuilt track strays from what the designer drew (a closed circuit with
// its closing curve). Negative when either has no curve.
double HeartDeviationMax(const RideReport& report, const track::Track& designed);

// One line per topic of the summary rows (ride/ride_summary.h), then the
// largest lateral peaks, for people.
std::string FormatSummary(const RideReport& report);

// The samples as CSV with the header s,t,x,y,z,speed,vertical,lateral,longitudinal,roll,roll_rate,curve,unasked
// (unasked is 1 where the riders are turned over without a reason).
std::string SamplesCsv(const RideReport& report);

}  // namespace torvix::ride
