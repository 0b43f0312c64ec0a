#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/ride_tracks.h"
#include "cli/cli_run.h"
#include "cli/commands.h"
#include "support/track_builders.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix::cli {
namespace {

ToolRun Cli(std::vector<std::string> args) { return RunTool(std::move(args)); }

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class RideCommand : public ::testing::Test {
protected:
    void SetUp() override {
        level_ = (dir_ / "Level.nltrack").string();
        hill_ = (dir_ / "Hill.nltrack").string();
        Track level = test::StraightTrack(4, 10);
        Track hill = test::HillTrack(25);
        ASSERT_TRUE(WriteTrackFile(level_, level));
        ASSERT_TRUE(WriteTrackFile(hill_, hill));
    }
    test::TempDir dir_;
    std::string level_, hill_;
};

TEST_F(RideCommand, SummaryAsJsonSamplesAsCsvAndAPlot) {
    const auto csv = dir_ / "ride.csv";
    const auto svg = dir_ / "ride.svg";
    const ToolRun r = Cli({"ride", level_, "--start-speed", "20", "--end-speed", "20", "--json", "--csv", csv.string(),
                           "--plot", svg.string()});
    ASSERT_EQ(r.code, kOk) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    for (const char* key : {"ok", "length", "duration", "speed_min", "speed_max", "vertical_min", "vertical_max",
                            "lateral_max", "lateral_rms", "airtime", "bank_error_max", "roll_rate_max", "valley",
                            "peaks"})
        EXPECT_TRUE(j.contains(key)) << key;
    EXPECT_TRUE(j["ok"].get<bool>());
    EXPECT_TRUE(j["valley"].is_null());
    EXPECT_NEAR(j["length"].get<double>(), 40, 1e-6);
    EXPECT_NEAR(j["vertical_min"].get<double>(), 1, 1e-9);

    const std::string rows = ReadAll(csv);
    EXPECT_EQ(rows.rfind("s,t,x,y,z,speed,vertical,lateral,longitudinal,roll,roll_rate,curve,unasked\n", 0), 0u);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), j["samples"].get<long>() + 1);
    EXPECT_EQ(ReadAll(svg).rfind("<svg", 0), 0u);
}

TEST_F(RideCommand, AValleyIsAFailureThatSaysWhatClearsIt) {
    const ToolRun r = Cli({"ride", hill_, "--start-speed", "12", "--end-speed", "10", "--json"});
    EXPECT_EQ(r.code, kSolverFailed);
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_FALSE(j["ok"].get<bool>());
    ASSERT_TRUE(j["valley"].is_object());
    const double clearing = j["valley"]["min_start_speed"].get<double>();
    const ToolRun again = Cli({"ride", hill_, "--start-speed", std::to_string(clearing + 0.01), "--end-speed", "10"});
    EXPECT_EQ(again.code, kOk) << again.err;
}

TEST_F(RideCommand, HeartlineNamesTheSpeedThatClearsAValleyAndReportsTheRide) {
    const std::string out = (dir_ / "out.nltrack").string();
    const ToolRun failed = Cli({"heartline", hill_, "-o", out, "--start-speed", "12", "--end-speed", "10", "--json"});
    ASSERT_EQ(failed.code, kSolverFailed);
    EXPECT_NE(failed.err.find("a start speed of"), std::string::npos) << failed.err;
    const auto j = nlohmann::json::parse(failed.out);
    const double speed = j["valley"]["min_start_speed"].get<double>();

    const ToolRun passed = Cli({"heartline", hill_, "-o", out, "--start-speed", std::to_string(speed), "--end-speed",
                                "10", "--report", "--json"});
    ASSERT_EQ(passed.code, kOk) << passed.err;
    const auto k = nlohmann::json::parse(passed.out);
    EXPECT_EQ(k["mode"], "literal");
    ASSERT_TRUE(k["ride"].is_object());
    EXPECT_GT(k["ride"]["length"].get<double>(), 150);
    EXPECT_EQ(Cli({"heartline", hill_, "--mode", "sideways"}).code, kBadUsage);
}

}  // namespace
}  // namespace torvix::cli

namespace torvix::cli {
namespace {

TEST_F(RideCommand, SweepRanksAsJsonAndWritesTheBestAsHeartlineWould) {
    const std::string best = (dir_ / "best.nltrack").string();
    const std::string direct = (dir_ / "direct.nltrack").string();
    const ToolRun r = Cli({"sweep", hill_, "--segments", "4,8", "--precision", "4:6:2", "--filter", "3", "--start-speed",
                           "25", "--end-speed", "20", "--jobs", "2", "--json", "--best", best});
    ASSERT_EQ(r.code, kOk) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j.size(), 4u);
    for (const char* key : {"segments", "precision", "filter", "ok", "lateral_rms", "lateral_max", "vertical_min",
                            "vertical_max", "roll_rate_max", "heart_deviation_max", "vertex_count", "file_size"})
        EXPECT_TRUE(j[0].contains(key)) << key;
    const std::string seg = std::to_string(j[0]["segments"].get<int>());
    const std::string pre = std::to_string(j[0]["precision"].get<int>());
    ASSERT_EQ(Cli({"heartline", hill_, "-o", direct, "--segments", seg, "--precision", pre, "--filter", "3",
                   "--start-speed", "25", "--end-speed", "20"})
                  .code,
              kOk);
    EXPECT_EQ(ReadAll(best), ReadAll(direct));
    EXPECT_EQ(static_cast<std::size_t>(j[0]["file_size"].get<long>()), ReadAll(best).size());

    EXPECT_EQ(Cli({"sweep", hill_, "--segments", "8:4:1"}).code, kBadUsage);
    EXPECT_EQ(Cli({"sweep", hill_, "--rank", "comfort"}).code, kBadUsage);
    const ToolRun failed = Cli({"sweep", hill_, "--start-speed", "10", "--json"});
    EXPECT_EQ(failed.code, kSolverFailed);
    EXPECT_FALSE(nlohmann::json::parse(failed.out)[0]["message"].get<std::string>().empty());
}


TEST_F(RideCommand, RollReadingIsChosenAndNamed) {
    // The seat-aligned loop rides without lateral only as the simulator reads its rolls.
    const std::string loop = (dir_ / "Loop.nltrack").string();
    ASSERT_TRUE(WriteTrackFile(loop, ridetracks::SeatAlignedLoop()));
    const std::vector<std::string> base = {"ride", loop, "--start-speed", "22", "--end-speed", "21", "--json"};
    std::vector<std::string> designer = base;
    designer.insert(designer.end(), {"--roll-reading", "designer"});
    const ToolRun sim = Cli(base), des = Cli(designer);
    ASSERT_EQ(sim.code, kOk) << sim.err;
    ASSERT_EQ(des.code, kOk) << des.err;
    const auto js = nlohmann::json::parse(sim.out), jd = nlohmann::json::parse(des.out);
    EXPECT_EQ(js["roll_reading"], "simulator");
    EXPECT_EQ(jd["roll_reading"], "designer");
    EXPECT_LT(js["lateral_max"].get<double>(), 1e-3);
    EXPECT_GT(jd["lateral_max"].get<double>(), 1.0);

    std::vector<std::string> bad = base;
    bad.insert(bad.end(), {"--roll-reading", "world"});
    EXPECT_EQ(Cli(bad).code, kBadUsage);
    const ToolRun sweep = Cli({"sweep", loop, "--start-speed", "22", "--end-speed", "21", "--roll-reading", "designer",
                               "--json"});
    ASSERT_EQ(sweep.code, kOk) << sweep.err;
    EXPECT_EQ(nlohmann::json::parse(sweep.out)[0]["roll_reading"], "designer");
}

}  // namespace
}  // namespace torvix::cli
