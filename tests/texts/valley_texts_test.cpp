// The valley texts name a start speed that really clears the track.
#include <gtest/gtest.h>

#include <string>

#include "texts/valley_texts.h"

using namespace torvix::texts;

namespace torvix {
namespace {

TEST(ClearingSpeed, RoundsUpToATenthButKeepsTenths) {
    EXPECT_EQ(FormatClearingSpeed(20.34), "20.4");
    EXPECT_EQ(FormatClearingSpeed(20.301), "20.4");
    EXPECT_EQ(FormatClearingSpeed(19.95), "20.0");
    // Multiples of 0.1 as the solver rounds them (not exact in binary) stay.
    for (int tenths : {3, 47, 203, 206, 999}) {
        const std::string shown = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
        EXPECT_EQ(FormatClearingSpeed(tenths / 10.0), shown);
        EXPECT_EQ(FormatClearingSpeed(tenths * 0.1), shown);
    }
    EXPECT_EQ(FormatClearingSpeed(0), "0.0");
}

TEST(ValleyTexts, SentenceAndFigureShareTheirNumbers) {
    EXPECT_EQ(ValleySentence(94.83, "curve 18", 20.59),
              "The train stops 94.8 m along the track, on curve 18; a start speed of 20.6 m/s clears the track.");
    EXPECT_EQ(ValleyFigure(94.1, "input curve 18", 20.59), "at 94.1 m, input curve 18; clears from 20.6 m/s");
}

}  // namespace
}  // namespace torvix
