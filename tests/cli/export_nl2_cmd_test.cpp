#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "cli/cli_run.h"
#include "cli/commands.h"
#include "nl2/element.h"
#include "support/ride_tracks.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix::cli {
namespace {

class ExportNl2Command : public ::testing::Test {
protected:
    void SetUp() override {
        track_ = (dir_ / "Rolls.nltrack").string();
        ASSERT_TRUE(WriteTrackFile(track_, ridetracks::DesignerRolls()));
    }
    test::TempDir dir_;
    std::string track_;
};

TEST_F(ExportNl2Command, WritesTheElementAndRidesItLikeTheTrack) {
    const std::string out = (dir_ / "Rolls.nl2elem").string();
    const ToolRun r = RunTool({"export-nl2", track_, "-o", out, "--heartline", "1.1", "--json"});
    ASSERT_EQ(r.code, kOk) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["output"], out);
    EXPECT_FALSE(j["closed"].get<bool>());
    const base::Result<nl2::Element> read = nl2::ReadElementFile(out);
    ASSERT_TRUE(read.ok()) << read.error();
    const nl2::Element& element = *read;
    EXPECT_EQ(element.rolls.size(), j["roll_points"].get<std::size_t>());
    EXPECT_NE(element.description.find("Heart Line with a heartline height of 1.10 m"), std::string::npos);

    // `ride` reads the element as NoLimits 2 builds it: the same ride as the track's.
    const ToolRun from_track = RunTool({"ride", track_, "--heartline", "1.1", "--start-speed", "20", "--end-speed", "19", "--json"});
    const ToolRun from_element = RunTool({"ride", out, "--start-speed", "20", "--end-speed", "19", "--json"});
    ASSERT_EQ(from_element.code, kOk) << from_element.err;
    const double a = nlohmann::json::parse(from_track.out)["lateral_rms"].get<double>();
    const double b = nlohmann::json::parse(from_element.out)["lateral_rms"].get<double>();
    EXPECT_NEAR(b, a, 0.05 * a + 0.02);
    EXPECT_EQ(RunTool({"ride", out, "--roll-reading", "designer"}).code, kBadUsage);
}

TEST_F(ExportNl2Command, BadSpacingOrInputWritesNothing) {
    const auto out = dir_ / "x.nl2elem";
    for (const char* spacing : {"0.4", "10.5", "abc", "nan", ""}) {
        const ToolRun r = RunTool({"export-nl2", track_, "-o", out.string(), "--spacing", spacing});
        EXPECT_EQ(r.code, kBadUsage) << spacing;
        EXPECT_NE(r.err.find("spacing"), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunTool({"export-nl2", (dir_ / "missing.nltrack").string(), "-o", out.string()}).code, kReadFailed);
    std::ofstream(dir_ / "garbage.nltrack") << "not a track";
    EXPECT_EQ(RunTool({"export-nl2", (dir_ / "garbage.nltrack").string(), "-o", out.string()}).code, kReadFailed);
    EXPECT_FALSE(std::filesystem::exists(out));
    // An unreadable element is refused by `ride` the same way.
    std::ofstream(dir_ / "garbage.nl2elem") << "<root><element><vertex>";
    EXPECT_EQ(RunTool({"ride", (dir_ / "garbage.nl2elem").string()}).code, kReadFailed);
}

TEST_F(ExportNl2Command, HeartlineWritesTheNewTracksElementBesideIt) {
    const std::string track = (dir_ / "New.nltrack").string();
    const std::string element = (dir_ / "New").string();
    const ToolRun r = RunTool({"heartline", track_, "-o", track, "--segments", "20", "--nl2", element, "--json"});
    ASSERT_EQ(r.code, kOk) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["nl2"], element + ".nl2elem");
    EXPECT_TRUE(std::filesystem::exists(track));
    const base::Result<nl2::Element> read = nl2::ReadElementFile(element + ".nl2elem");
    EXPECT_TRUE(read.ok()) << read.error();
}

}  // namespace
}  // namespace torvix::cli
