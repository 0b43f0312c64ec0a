// The element read back as NoLimits 2 builds it gives the heart line, the
// bank and the ride of the track it came from.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "nl2/element.h"
#include "nl2/element_export.h"
#include "nl2/element_track.h"
#include "refined/solver_modes.h"
#include "heartline/track_length.h"
#include "ride/ride_line.h"
#include "ride/ride_report.h"
#include "support/ride_tracks.h"
#include "support/test_support.h"
#include "support/track_builders.h"
#include "track/track_io.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::nl2 {
namespace {

constexpr double kDegrees = 180 / 3.14159265358979323846;

struct Comparison {
    double heart_max = 0;  // metres between the source's heart line and the element's curve
    double bank_max = 0;   // degrees between their down vectors
    double rms_source = 0, rms_element = 0;
    double closing_angle = 0;  // degrees between the first and last roll point's frames
};

double Angle(DVec3 a, DVec3 b) {
    const double c = Dot(a, b);
    return std::acos(std::clamp(c, -1.0, 1.0)) * kDegrees;
}

// Exports at `spacing`, reads the XML back and compares it with the source every 10 cm.
Comparison RoundTrip(const Track& track, double heartline, double start, double end, double spacing = 2.0) {
    Comparison out;
    const ExportResult exported = ExportElement(track, {heartline, spacing});
    EXPECT_TRUE(exported.status.ok()) << exported.status.message();
    if (!exported.status.ok()) return out;
    const base::Result<Element> element = ParseElementXml(ElementXml(exported.element));
    EXPECT_TRUE(element.ok()) << element.error();
    const base::Result<ElementTrack> read = element.ok() ? ElementTrack::Build(*element) : element.status();
    EXPECT_TRUE(read.ok()) << read.error();
    if (!read) return out;

    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(), static_cast<std::size_t>(track.bezr.vertex_count));
    const ride::TrackLine source(vertices, railframe::RollReading::kSimulator, ride::IsClosedCircuit(track), heartline);
    double s_element = 0;
    DVec3 prev;
    for (std::size_t c = 0; c < source.Pieces(); ++c) {
        const int steps = static_cast<int>(std::ceil(source.LengthEstimate(c) / 0.1));
        for (int k = c == 0 ? 0 : 1; k <= steps; ++k) {
            const railframe::RailPoint p = source.At(c, static_cast<double>(k) / steps);
            const DVec3 here{p.heart.x.v, p.heart.y.v, p.heart.z.v};
            if (k > 0 || c > 0) s_element += Norm(here - prev);
            prev = here;
            // The nearest point of the element: slide along its tangent.
            Frame f;
            for (int it = 0; it < 4; ++it) {
                f = read->FrameAtDistance(s_element);
                s_element += Dot(here - f.point, f.forward);
            }
            f = read->FrameAtDistance(s_element);
            out.heart_max = std::max(out.heart_max, Norm(here - f.point));
            out.bank_max = std::max(out.bank_max, Angle(p.down, -f.up));
        }
    }
    const Frame first = read->FrameAtDistance(0), last = read->FrameAtDistance(read->length());
    out.closing_angle = std::max(Angle(first.up, last.up), Angle(first.left, last.left));
    const ride::RideReport a = ride::MeasureRide(track, {heartline, start, end, 0.5});
    const ride::RideReport b = ride::MeasureRide(*read, {heartline, start, end, 0.5});
    EXPECT_TRUE(a.status.ok() && b.status.ok()) << a.status.message() << b.status.message();
    out.rms_source = a.summary.lateral_rms;
    out.rms_element = b.summary.lateral_rms;
    return out;
}

void ExpectSameRide(const Comparison& c) {
    EXPECT_LE(c.heart_max, 0.01);
    EXPECT_LE(c.bank_max, 2.0);
    EXPECT_LE(std::abs(c.rms_element - c.rms_source), 0.05 * c.rms_source + 0.02);
}

Track Refined(const Track& input, int segments, int precision, double start, double end) {
    Track track = input;
    const base::Result<double> length = TrackLength(track);
    EXPECT_TRUE(length.ok()) << length.error();
    const SolveResult r = SolveHeartlineWith(SolverMode::kRefined, track, *length,
                                             test::Params(segments, precision, 15, 1.0, start, end));
    EXPECT_TRUE(r.status.ok()) << r.status.message();
    return track;
}

TEST(ElementRoundTrip, SampleTrackRefined) {
    Track sample;
    ASSERT_TRUE(ReadTrackFile(test::SampleTrackPath().string(), sample));
    ExpectSameRide(RoundTrip(Refined(sample, 60, 6, 20, 17), 1.0, 20, 17));
}

TEST(ElementRoundTrip, SharedCircuitRefinedCloses) {
    const auto path = test::DemoTrackPath();
    if (path.empty()) GTEST_SKIP() << "the shared demo track is not beside the checkout";
    Track demo;
    ASSERT_TRUE(ReadTrackFile(path.string(), demo));
    const Comparison c = RoundTrip(Refined(demo, 200, 16, 25, 20), 1.0, 25, 20);
    ExpectSameRide(c);
    EXPECT_LE(c.closing_angle, 1.0);
}

TEST(ElementRoundTrip, CourseTracks) {
    ExpectSameRide(RoundTrip(ridetracks::SteepFlaggedHelix(), 1.0, 15, 15));
    ExpectSameRide(RoundTrip(ridetracks::SeatAlignedLoop(), 1.0, 22, 21));
    ExpectSameRide(RoundTrip(ridetracks::VerticalLoop(), 1.0, 22, 21));
    ExpectSameRide(RoundTrip(ridetracks::DesignerRolls(), 1.0, 20, 19));
    ExpectSameRide(RoundTrip(ridetracks::LoopAndReturnCircuit(), 1.0, 22, 21));
    const Comparison ring = RoundTrip(test::SeatBankedCircle(40, 20, 7, true), 1.0, 20, 20);
    ExpectSameRide(ring);
    EXPECT_LE(ring.closing_angle, 1.0);
}

}  // namespace
}  // namespace torvix::nl2
