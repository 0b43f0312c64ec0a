// The verdict's bands at their edges, and the figure and place it names.
#include "ride/verdict.h"

#include <gtest/gtest.h>

namespace torvix::ride {
namespace {

// A ride that is comfortable on every count, right at the edge of each band.
RideReport AtTheEdges() {
    RideReport r;
    r.status = base::Status::Ok();
    r.summary.lateral_rms = kComfortableLateralRms;
    r.summary.lateral_above_tolerable = kComfortableLateralShare;
    r.summary.roll_rate_max = kComfortableRollRate;
    r.summary.roll_rate_max_s = 21.6;
    r.summary.lateral_max = 3.47;
    r.summary.lateral_max_s = 46.7;
    return r;
}

TEST(Verdict, BandsAtTheirEdges) {
    EXPECT_EQ(JudgeRide(AtTheEdges()).level, VerdictLevel::kComfortable);

    RideReport r = AtTheEdges();
    r.summary.lateral_rms = 0.61;
    EXPECT_EQ(JudgeRide(r).text, "tolerable: 0.61 g lateral RMS, 3.5 g lateral at 46.7 m");
    r.summary.lateral_rms = kTolerableLateralRms;
    EXPECT_EQ(JudgeRide(r).level, VerdictLevel::kTolerable);
    r.summary.lateral_rms = 11.06;
    r.summary.lateral_max = 241.08;
    r.summary.lateral_max_s = 50.7;
    EXPECT_EQ(JudgeRide(r).text, "harsh: 241 g lateral at 50.7 m");

    r = AtTheEdges();
    r.summary.lateral_above_tolerable = 0.07;
    EXPECT_EQ(JudgeRide(r).level, VerdictLevel::kTolerable);
    r = AtTheEdges();
    r.summary.roll_rate_max = 218;
    EXPECT_EQ(JudgeRide(r).text, "tolerable: rolls at 218 deg/s at 21.6 m");

    // Riders turned over where nothing calls for it outweigh every figure.
    r = AtTheEdges();
    r.summary.lateral_rms = 0.01;
    r.summary.unasked_stretches = {{36.2, 42.9}, {225.3, 232.2}};
    r.summary.unasked_roll = 13.6;
    EXPECT_EQ(JudgeRide(r).text,
              "harsh: turned over at 225\u2013232 m where nothing calls for it (2 stretches, 14 m in all)");

    r.summary.lateral_rms = 11.06;
    EXPECT_EQ(JudgeRide(r).text, "harsh: 3.5 g lateral at 46.7 m; turned over at 225\u2013232 m where nothing calls for it "
                                 "(2 stretches, 14 m in all)");

    r = AtTheEdges();
    r.status = base::Status::Fail("");
    r.summary.valley = RideValley{312.4, 40, 23.1};
    EXPECT_EQ(JudgeRide(r).text, "harsh: the train valleys at 312.4 m");
}

}  // namespace
}  // namespace torvix::ride
