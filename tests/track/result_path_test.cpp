// The default result name: beside the input, never the input itself.
#include <gtest/gtest.h>

#include <string>

#include "track/result_path.h"

using namespace torvix::track;

namespace torvix {
namespace {

TEST(ResultPath, ReplacesTheFinalExtensionInAnyLetterCase) {
    EXPECT_EQ(ResultPath("a.nltrack"), "a_Torvix.nltrack");
    EXPECT_EQ(ResultPath("Loop.NLTRACK"), "Loop_Torvix.nltrack");
    EXPECT_EQ(ResultPath("x.NlTrack"), "x_Torvix.nltrack");
    EXPECT_EQ(ResultPath("/tracks/Loop.nltrack"), "/tracks/Loop_Torvix.nltrack");
    EXPECT_EQ(ResultPath("C:\\Coasters\\Loop.NLTRACK"), "C:\\Coasters\\Loop_Torvix.nltrack");
    // Only the last one: an earlier ".nltrack" is part of the name.
    EXPECT_EQ(ResultPath("a.nltrack.nltrack"), "a.nltrack_Torvix.nltrack");
}

TEST(ResultPath, AppendsWhereThereIsNoExtension) {
    EXPECT_EQ(ResultPath("plain"), "plain_Torvix.nltrack");
    EXPECT_EQ(ResultPath("a.nltrack.bak"), "a.nltrack.bak_Torvix.nltrack");
    // A folder named like a track is a folder.
    EXPECT_EQ(ResultPath("/work/old.nltrack/loop"), "/work/old.nltrack/loop_Torvix.nltrack");
    EXPECT_EQ(ResultPath("/work/old.NLTRACK/loop.nltrack"), "/work/old.NLTRACK/loop_Torvix.nltrack");
}

TEST(ResultPath, NeverTheInputEvenIgnoringLetterCase) {
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    for (const char* input : {"a.nltrack", "Loop.NLTRACK", "x.NlTrack", "plain", "a_Torvix.nltrack",
                              "b_TORVIX.NLTRACK", "/d.nltrack/e", ".nltrack", ""}) {
        EXPECT_NE(lower(ResultPath(input)), lower(input)) << input;
    }
}

}  // namespace
}  // namespace torvix
