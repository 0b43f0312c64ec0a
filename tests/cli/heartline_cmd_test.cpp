#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "cli/cli_run.h"
#include "cli/commands.h"
#include "support/track_builders.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix::cli {
namespace {

ToolRun Heartline(std::vector<std::string> args) {
    args.insert(args.begin(), "heartline");
    return RunTool(std::move(args));
}

class HeartlineCommand : public ::testing::Test {
protected:
    void SetUp() override {
        Track track = test::StraightTrack(5, 100);  // 500 m
        input_ = (dir_ / "Level.nltrack").string();
        ASSERT_TRUE(WriteTrackFile(input_, track));
    }
    test::TempDir dir_;
    std::string input_;
};

TEST_F(HeartlineCommand, WritesBesideTheInputAndReportsAsJson) {
    const ToolRun r = Heartline({input_, "--segments", "8", "--precision", "5", "--start-speed", "20",
                                 "--end-speed", "17", "--json"});
    ASSERT_EQ(r.code, kOk) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["ok"], true);
    EXPECT_NEAR(j["friction"].get<double>(), 0.011315, 5e-7);
    EXPECT_EQ(j["friction_text"], "0.011315");
    EXPECT_EQ(j["filter"], 15);
    EXPECT_EQ(j["vertex_count"], 9);
    EXPECT_EQ(j["segment_count"], 8);
    EXPECT_EQ(j["radius_in"], -1.0);
    EXPECT_EQ(j["tilt_in"], -1.0);
    EXPECT_EQ(j["slope_out"], 0.0);
    Track written;
    ASSERT_TRUE(ReadTrackFile((dir_ / "Level_Torvix.nltrack").string(), written));
    EXPECT_EQ(written.bezr.vertex_count, 9);
    EXPECT_EQ(written.info.info_text, "--- Torvix V1.6 ---");
    EXPECT_FLOAT_EQ(written.bezr.vertices[3].position.y, -1.0f);
}

TEST_F(HeartlineCommand, UpperCaseExtensionNeverOverwritesTheInput) {
    const std::string upper = (dir_ / "Loop.NLTRACK").string();
    std::filesystem::copy_file(input_, upper);
    const ToolRun r = Heartline({upper, "--segments", "4"});
    ASSERT_EQ(r.code, kOk) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir_ / "Loop_Torvix.nltrack"));
    Track original;
    ASSERT_TRUE(ReadTrackFile(upper, original));
    EXPECT_EQ(original.bezr.vertex_count, 6);
}

TEST_F(HeartlineCommand, TextReportNamesFrictionFilterAndEnds) {
    const std::string out = (dir_ / "out.nltrack").string();
    const ToolRun r = Heartline({input_, "-o", out, "--segments", "6", "--filter", "9"});
    ASSERT_EQ(r.code, kOk) << r.err;
    EXPECT_NE(r.out.find("0.011315"), std::string::npos);
    EXPECT_NE(r.out.find("Filter: 9"), std::string::npos);
    EXPECT_NE(r.out.find("Vertices: 7"), std::string::npos);
    EXPECT_NE(r.out.find("straight"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out));
}

TEST_F(HeartlineCommand, FailuresHaveTheirExitCodes) {
    EXPECT_EQ(Heartline({(dir_ / "missing.nltrack").string()}).code, kReadFailed);
    const ToolRun unreadable = Heartline({(dir_ / "missing.nltrack").string()});
    EXPECT_NE(unreadable.err.find("Error Loading Track File!"), std::string::npos);

    const ToolRun refused = Heartline({input_, "--segments", "0"});
    EXPECT_EQ(refused.code, kSolverFailed);
    EXPECT_FALSE(refused.err.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Level_Torvix.nltrack"));

    const ToolRun unwritable = Heartline({input_, "-o", (dir_ / "no" / "such" / "dir.nltrack").string()});
    EXPECT_EQ(unwritable.code, kWriteFailed);

    EXPECT_EQ(Heartline({input_, "--segments", "many"}).code, kBadUsage);
}

TEST(HeartlineCommandVerdict, EveryRunEndsWithHowTheNewTrackRides) {
    // The sample as the literal method banks it turns riders over on its
    // crests; the refined method rides it comfortably.
    test::TempDir dir;
    const std::string sample = test::SampleTrackPath().string();
    const std::string literal = (dir / "literal.nltrack").string();
    const ToolRun text = Heartline({sample, "-o", literal});
    ASSERT_EQ(text.code, kOk) << text.err;
    const std::string last = text.out.substr(text.out.rfind('\n', text.out.size() - 2) + 1);
    EXPECT_EQ(last.rfind("Ride: harsh: ", 0), 0u) << last;
    const ToolRun json = Heartline({sample, "-o", (dir / "refined.nltrack").string(), "--mode", "refined", "--json"});
    ASSERT_EQ(json.code, kOk) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)["verdict"]["level"], "comfortable");
    // The ride report of the literal track, read against the drawn one, says where.
    const ToolRun ride = RunTool({"ride", literal, "--drawn", sample, "--json"});
    const auto report = nlohmann::json::parse(ride.out);
    double stretches = 0;
    for (const auto& r : report["unasked_roll_stretches"]) stretches += r["to"].get<double>() - r["from"].get<double>();
    EXPECT_GT(report["unasked_roll"].get<double>(), 10);
    EXPECT_NEAR(report["unasked_roll"].get<double>(), stretches, 0.5 * report["unasked_roll_stretches"].size());
    EXPECT_EQ(report["verdict"]["level"], "harsh");
}

TEST(HeartlineCommandValley, ReportsTheSolverMessage) {
    test::TempDir dir;
    Track hill = test::HillTrack(30);
    const std::string path = (dir / "Hill.nltrack").string();
    ASSERT_TRUE(WriteTrackFile(path, hill));
    const ToolRun r = Heartline({path, "--start-speed", "5", "--end-speed", "5"});
    EXPECT_EQ(r.code, kSolverFailed);
    EXPECT_NE(r.err.find("valleyed"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "Hill_Torvix.nltrack"));
}

}  // namespace
}  // namespace torvix::cli
