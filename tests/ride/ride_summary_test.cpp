// The summary rows and what the front ends write from them.
#include "ride/ride_summary.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "ride/ride_alignment.h"
#include "support/track_builders.h"

using namespace torvix::track;

namespace torvix::ride {
namespace {

// A report whose figures are chosen by hand.
RideReport HandMadeReport() {
    RideReport r;
    r.status = base::Status::Ok();
    RideSummary& s = r.summary;
    s.length = 471.94;
    s.duration = 19.55;
    s.speed_min = 17.0;
    s.speed_max = 29.08;
    s.vertical_min = -38.934, s.vertical_min_s = 315.46;
    s.vertical_max = 8.981, s.vertical_max_s = 311.5;
    s.lateral_max = -58.684, s.lateral_max_s = 313.3;
    s.lateral_rms = 5.0712;
    s.airtime = 3.241;
    s.bank_error_max = -86.71, s.bank_error_max_s = 313.3;
    s.roll_rate_max = 1122.4, s.roll_rate_max_s = 315.5;
    s.peaks = {{313.3, -58.684, 74}, {342.7, 58.0, 84}};
    s.lateral_above_tolerable = 0.071;
    s.unasked_roll = 23.04;
    s.unasked_stretches = {{313.7, 315.5}, {319.7, 337.3}};
    return r;
}

TEST(RideSummary, TextHasOneLinePerTopic) {
    EXPECT_EQ(FormatSummary(HandMadeReport()),
              "Heart line: 471.9 m, ride 19.6 s\n"
              "Speed: 17.0 to 29.1 m/s\n"
              "Vertical: -38.93 g at 315.5 m to 8.98 g at 311.5 m\n"
              "Lateral: largest -58.68 g at 313.3 m, RMS 5.071 g, above 1 g on 7.1 % of the ride\n"
              "Airtime: 3.24 s\n"
              "Bank error while seated: largest 86.7 deg at 313.3 m\n"
              "Roll rate: largest 1122 deg/s at 315.5 m\n"
              "Unasked roll: 23.0 m, turned over at 313.7-315.5, 319.7-337.3 m\n"
              "Valley: none\n"
              "Largest lateral peaks:\n"
              "  -58.68 g at 313.3 m (curve 74)\n"
              "  58.00 g at 342.7 m (curve 84)\n");
}

TEST(RideSummary, WindowRowsUseSymbolsAndItsOwnPlaces) {
    RideReport r = HandMadeReport();
    r.summary.valley = RideValley{94.12, 18, 20.51};
    const std::vector<SummaryRow> rows = SummaryRows(r, 1.1444);
    auto row = [&rows](const std::string& key) {
        for (const SummaryRow& x : rows)
            if (x.key == key) return x;
        ADD_FAILURE() << key;
        return SummaryRow{};
    };
    EXPECT_EQ(RowText(row("speed"), UnitStyle::kSymbols), "17.0 – 29.1 m/s");
    EXPECT_EQ(RowText(row("bank_error_max"), UnitStyle::kSymbols), "86.7° at 313.3 m");
    EXPECT_EQ(row("bank_error_max").value, -86.71) << "the sign stays for the JSON";
    EXPECT_EQ(RowText(row("roll_rate_max"), UnitStyle::kSymbols), "1122 °/s at 315.5 m");
    EXPECT_EQ(RowText(row("heart_deviation_max"), UnitStyle::kSymbols), "1.144 m");

    // Places shifted by 10 m and named as another track's curves.
    const PlaceNaming shifted{[](double s) { return s + 10; },
                              [](double s, int) { return "input curve " + std::to_string(int(s) / 10); }};
    EXPECT_EQ(RowText(row("vertical_max"), UnitStyle::kSymbols, shifted), "8.98 g at 321.5 m");
    EXPECT_EQ(RowText(row("valley"), UnitStyle::kSymbols, shifted), "at 104.1 m, input curve 10; clears from 20.6 m/s");
    EXPECT_EQ(RowText(row("valley"), UnitStyle::kWords), "at 94.1 m, curve 18; clears from 20.6 m/s");

    const std::vector<SummaryRow> unmeasured = SummaryRows(r, -1.0);
    EXPECT_EQ(unmeasured.size(), rows.size());
    EXPECT_EQ(SummaryRows(r).size(), rows.size() - 1) << "no deviation row unless one is given";
}

TEST(RideSummary, NamedValleySpeedClearsTheTrack) {
    const Track hill = test::HillTrack(30);
    const RideReport slow = MeasureRide(hill, {1.0, 15, 15, 0.5});
    ASSERT_TRUE(slow.summary.valley.has_value());
    std::smatch m;
    const std::string text = FormatSummary(slow);
    ASSERT_TRUE(std::regex_search(text, m, std::regex("Valley: at [0-9.]+ m, curve [0-9]+; clears from ([0-9.]+) m/s")))
        << text;
    EXPECT_TRUE(MeasureRide(hill, {1.0, std::stod(m[1].str()), 15, 0.5}).status.ok()) << m[1];
    EXPECT_NE(slow.status.message().find("a start speed of " + m[1].str() + " m/s"), std::string::npos) << slow.status.message();
}

TEST(RideAlignment, DistancesCarryOverLinearlyBetweenMatchedVertices) {
    const std::vector<double> from = {0, 10, 30, 30};
    const std::vector<double> to = {0, 20, 40, 45};
    EXPECT_DOUBLE_EQ(MapDistance(from, to, 5), 10);
    EXPECT_DOUBLE_EQ(MapDistance(from, to, 20), 30);
    EXPECT_DOUBLE_EQ(MapDistance(from, to, -2), -2) << "before the first vertex: shifted with it";
    EXPECT_DOUBLE_EQ(MapDistance(from, to, 33), 48) << "beyond the last: shifted with it";
    EXPECT_DOUBLE_EQ(MapDistance(from, std::vector<double>{0, 20}, 5), 5) << "unmatched lists leave distances alone";

    EXPECT_EQ(CurveAt(to, 19.9), 0);
    EXPECT_EQ(CurveAt(to, 20), 1);
    EXPECT_EQ(CurveAt(to, -5), 0);
    EXPECT_EQ(CurveAt(to, 99), 2);
    EXPECT_EQ(CurveAt(std::vector<double>{4}, 5), 0);
}

TEST(RideAlignment, DrawnVerticesOfAStraightLieAtTheirDistances) {
    // A level straight: the heart line runs parallel to the rails, so vertex k is k curve lengths along.
    const Track straight = test::StraightTrack(4, 12.5);
    const RideReport ride = MeasureRide(straight, {1.0, 20, 20, 0.5});
    ASSERT_TRUE(ride.status.ok()) << ride.status.message();
    const std::vector<double> at = DrawnVertexDistances(ride, straight);
    ASSERT_EQ(at.size(), 5u);
    for (std::size_t k = 0; k < at.size(); ++k) EXPECT_NEAR(at[k], 12.5 * static_cast<double>(k), 1e-6) << k;
}

}  // namespace
}  // namespace torvix::ride
