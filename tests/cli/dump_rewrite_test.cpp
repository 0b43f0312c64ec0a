#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli/cli_run.h"
#include "cli/commands.h"
#include "cli/track_json.h"
#include "support/test_support.h"
#include "support/track_fixtures.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix::cli {
namespace {

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Inverse of the dump's text mapping: one character per byte.
Text TextFromJson(const TrackJson& value) {
    const std::string utf8 = value.get<std::string>();
    Text text;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            text.push_back(static_cast<char>(b));
        } else {
            text.push_back(static_cast<char>(((b & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
        }
    }
    return text;
}

class CliTrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        track_ = test::MakeRichTrack(true);
        track_.tera.heights[1] = 0.1f;  // not exact in decimal: must still read back the same
        path_ = (dir_ / "rich.nltrack").string();
        ASSERT_TRUE(WriteTrackFile(path_, track_));
        ComputeChunkSizes(track_);
    }
    test::TempDir dir_;
    Track track_;
    std::string path_;
};

TEST_F(CliTrackTest, DumpPrintsTheModel) {
    const ToolRun r = RunTool({"dump", path_});
    ASSERT_EQ(r.code, kOk) << r.err;
    const TrackJson j = TrackJson::parse(r.out);

    std::vector<std::string> keys;
    for (const auto& item : j.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"chunk_size", "child_count", "version", "trck", "info", "bezr", "segm",
                                              "supp", "fund", "rasc", "fren", "tube", "catw", "scen", "scob", "tera",
                                              "envc"}));
    EXPECT_EQ(j["chunk_size"], track_.chunk_size);
    EXPECT_EQ(j["version"], TrackJson::array({1, 3, 0, 0}));
    EXPECT_EQ(j["bezr"]["vertices"].size(), 7u);
    const auto& v2 = j["bezr"]["vertices"][2];
    EXPECT_EQ(v2["control_next"][1].get<float>(), track_.bezr.vertices[2].control_next.y);
    EXPECT_EQ(v2["roll"].get<float>(), track_.bezr.vertices[2].roll);
    EXPECT_EQ(v2["roll_flag"], false);
    EXPECT_EQ(j["segm"]["segments"][1]["t1_byte_3"], 233);
    EXPECT_EQ(j["segm"]["segments"][5]["segment_type"], 9);
    EXPECT_EQ(j["rasc"]["entries"][2]["pairs"][1]["long_1"], 1001);
    EXPECT_EQ(j["catw"]["entries"][0]["tail_length"], 10);
    EXPECT_EQ(j["scob"]["entries"][0]["single_10"].get<float>(), track_.scob.entries[0].singles[9]);
    EXPECT_EQ(j["tera"]["present"], true);
    ASSERT_EQ(j["tera"]["heights"].size(), 2u);
    ASSERT_EQ(j["tera"]["heights"][0].size(), 3u);
    EXPECT_EQ(j["tera"]["heights"][0][1].get<float>(), 0.1f);
    EXPECT_EQ(j["tera"]["heights"][1][2].get<float>(), 12345.5f);
    // Bytes 128-255 come back from the strings unchanged.
    EXPECT_EQ(TextFromJson(j["envc"]["text_2"]), track_.envc.text_2);
    EXPECT_EQ(TextFromJson(j["info"]["info_text"]), track_.info.info_text);
    EXPECT_EQ(TextFromJson(j["trck"]["entries"][2]["name"]), track_.trck.entries[2].name);
}

TEST_F(CliTrackTest, DumpArraysFollowTheCounts) {
    Track t;
    t.rasc.entry_count = 0;
    t.rasc.entries.resize(3);
    t.fren.entry_count = 2;  // array shorter than the count
    const std::string path = (dir_ / "counts.nltrack").string();
    ASSERT_TRUE(WriteTrackFile(path, t));
    const ToolRun r = RunTool({"dump", path});
    ASSERT_EQ(r.code, kOk) << r.err;
    const TrackJson j = TrackJson::parse(r.out);
    EXPECT_TRUE(j["rasc"]["entries"].empty());
    EXPECT_EQ(j["fren"]["entries"].size(), 2u);
    EXPECT_EQ(j["tera"]["present"], false);
    EXPECT_TRUE(j["tera"]["heights"].empty());
}

TEST_F(CliTrackTest, RewriteGivesTheSameBytes) {
    const auto out = dir_ / "copy";
    const ToolRun r = RunTool({"rewrite", path_, out.string()});
    ASSERT_EQ(r.code, kOk) << r.err;
    EXPECT_EQ(ReadBytes(dir_ / "copy.nltrack"), ReadBytes(path_));
}

TEST_F(CliTrackTest, ExitCodes) {
    EXPECT_EQ(RunTool({"dump"}).code, kBadUsage);
    EXPECT_EQ(RunTool({"rewrite", path_}).code, kBadUsage);

    const ToolRun missing = RunTool({"dump", (dir_ / "missing.nltrack").string()});
    EXPECT_EQ(missing.code, kReadFailed);
    EXPECT_NE(missing.err.find("Error Loading Track File!"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());

    auto bytes = ReadBytes(path_);
    bytes.resize(bytes.size() / 2);
    const auto cut = dir_ / "cut.nltrack";
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    const ToolRun truncated = RunTool({"rewrite", cut.string(), (dir_ / "never").string()});
    EXPECT_EQ(truncated.code, kReadFailed);
    EXPECT_NE(truncated.err.find("Error Loading Track File!"), std::string::npos);
    EXPECT_NE(truncated.err.find("offset"), std::string::npos) << truncated.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "never.nltrack"));

    const auto target = dir_ / "no-such-folder" / "out.nltrack";
    const ToolRun unwritable = RunTool({"rewrite", path_, target.string()});
    EXPECT_EQ(unwritable.code, kWriteFailed);
    EXPECT_NE(unwritable.err.find(target.string()), std::string::npos) << unwritable.err;
    EXPECT_NE(unwritable.err.find("No such file or directory"), std::string::npos) << unwritable.err;
}

TEST(CliDemoTrackTest, DumpAndRewriteTheDemoTrack) {
    const auto demo = test::DemoTrackPath();
    if (demo.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
    const ToolRun dump = RunTool({"dump", demo.string()});
    ASSERT_EQ(dump.code, kOk) << dump.err;
    const TrackJson j = TrackJson::parse(dump.out);
    EXPECT_EQ(j["bezr"]["vertex_count"], 204);
    EXPECT_EQ(j["tera"]["heights"].size(), 409u);
    EXPECT_EQ(j["tera"]["heights"][408].size(), 409u);

    test::TempDir dir;
    // The simulator's own CSTM chunk is named on stderr by the commands that load.
    const std::string note = "skipped unknown chunk CSTM (28 bytes at offset 744894); it will not be saved\n";
    const ToolRun rewrite = RunTool({"rewrite", demo.string(), (dir / "demo.nltrack").string()});
    ASSERT_EQ(rewrite.code, kOk);
    EXPECT_EQ(rewrite.err, note);
    EXPECT_EQ(RunTool({"info", demo.string()}).err, note);
    Track original;
    Track rewritten;
    ASSERT_TRUE(ReadTrackFile(demo.string(), original));
    ASSERT_TRUE(ReadTrackFile((dir / "demo.nltrack").string(), rewritten));
    EXPECT_EQ(rewritten.bezr, original.bezr);
    EXPECT_EQ(rewritten.segm.segments, original.segm.segments);
    EXPECT_EQ(rewritten.tera.heights, original.tera.heights);
}

}  // namespace
}  // namespace torvix::cli
