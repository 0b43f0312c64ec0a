// A line a train rides, as the ride report samples it: pieces in ride order,
// each over a parameter running from 0 to 1, with the riders' heart point
// and its derivatives along that parameter, the frame and the roll there.
// A track's rails model is one such line; a line rebuilt from another
// simulator's file is another.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "railframe/rail_frame.h"
#include "track/track.h"

namespace torvix::ride {

class RideLine {
public:
    virtual ~RideLine() = default;
    virtual std::size_t Pieces() const = 0;
    // At parameter t of `piece`: the heart point with its first and second
    // derivative along t, the unit tangent, down and left, and the roll
    // (radians against world up) with the rate riders feel, per unit of t.
    virtual railframe::RailPoint At(std::size_t piece, double t) const = 0;
    // A length the heart line of `piece` does not exceed by much, metres:
    // sizes the grid its length is measured on.
    virtual double LengthEstimate(std::size_t piece) const = 0;
    // The pieces over which the ride runs from the start speed to the end
    // speed; pieces after them continue the same friction line.
    virtual std::size_t SpeedPieces() const { return Pieces(); }
};

// Rough heart-line length of a curve of the rails, from its control polygon
// and how far the hearts swing about the rails.
double EstimateHeartLength(const railframe::RailCurve& curve, double heartline);

// The heart line of a track's vertices: the rails model read as `reading`
// says, the hearts `heartline` above the rails. A closed circuit under the
// simulator reading ends with its closing curve, after the speed pieces.
class TrackLine final : public RideLine {
public:
    TrackLine(std::span<const track::BezierVertex> vertices, railframe::RollReading reading, bool closed,
              double heartline);
    std::size_t Pieces() const override { return rails_.size(); }
    railframe::RailPoint At(std::size_t piece, double t) const override {
        return railframe::EvaluateRail(rails_[piece], heartline_, t);
    }
    double LengthEstimate(std::size_t piece) const override { return EstimateHeartLength(rails_[piece], heartline_); }
    std::size_t SpeedPieces() const override { return speed_pieces_; }
    const std::vector<railframe::RailCurve>& rails() const { return rails_; }

private:
    std::vector<railframe::RailCurve> rails_;
    double heartline_ = 0;
    std::size_t speed_pieces_ = 0;
};

// Whether the track is a closed circuit: its segment chunk's flag.
bool IsClosedCircuit(const track::Track& track);

}  // namespace torvix::ride
