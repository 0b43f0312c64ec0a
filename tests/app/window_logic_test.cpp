#include "app/window_logic.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace torvix::analysis;
using namespace torvix::app;
using namespace torvix::texts;

namespace torvix {
namespace {

TEST(ReadNumber, TakesTheLongestLeadingNumber) {
    EXPECT_EQ(ReadNumber("60"), 60.0);
    EXPECT_EQ(ReadNumber(" 2.05"), 2.05);
    EXPECT_EQ(ReadNumber("-1.5m"), -1.5);
    EXPECT_EQ(ReadNumber("1.2.3"), 1.2);
    EXPECT_EQ(ReadNumber(".5"), 0.5);
    EXPECT_EQ(ReadNumber("7."), 7.0);
    EXPECT_EQ(ReadNumber("1 2"), 12.0);
    EXPECT_EQ(ReadNumber("+4"), 4.0);
    EXPECT_EQ(ReadNumber("1,5"), 1.0);
}

TEST(ReadNumber, EmptyOrNonNumericIsZero) {
    EXPECT_EQ(ReadNumber(""), 0.0);
    EXPECT_EQ(ReadNumber("abc"), 0.0);
    EXPECT_EQ(ReadNumber("-"), 0.0);
    EXPECT_EQ(ReadNumber("."), 0.0);
    EXPECT_EQ(ReadNumber("   "), 0.0);
}

TEST(ReadNumber, ExponentOnlyWithDigits) {
    EXPECT_EQ(ReadNumber(" 1E-05"), 1e-5);
    EXPECT_EQ(ReadNumber("2e3"), 2000.0);
    EXPECT_EQ(ReadNumber("2e"), 2.0);
    EXPECT_EQ(ReadNumber("2E+x"), 2.0);
    EXPECT_EQ(ReadNumber("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ReadNumber("1e-999"), 0.0);
}

TEST(ReadNumber, IgnoresTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale here";
    EXPECT_EQ(ReadNumber("2.05"), 2.05);
    EXPECT_EQ(NumberText(2.05), " 2.05");
    EXPECT_EQ(FormatLength(1.5), "1.50");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5001), 3.0);
}

TEST(NumberText, LeadingSpaceForPositives) {
    EXPECT_EQ(NumberText(2.05), " 2.05");
    EXPECT_EQ(NumberText(61), " 61");
    EXPECT_EQ(NumberText(0), " 0");
    EXPECT_EQ(NumberText(-0.0), " 0");
    EXPECT_EQ(NumberText(-3.25), "-3.25");
    EXPECT_EQ(NumberText(1.0 / 3.0), " 0.333333333333333");
    EXPECT_EQ(ReadNumber(NumberText(1e-5)), 1e-5);
}

TEST(Paths, WindowsRules) {
    const PathRules& w = kWindowsPathRules;
    EXPECT_EQ(GetFilePath("C:\\Tracks\\a.nltrack", w), "C:\\Tracks");
    EXPECT_EQ(GetFileName("C:\\Tracks\\a.nltrack", w), "a.nltrack");
    EXPECT_EQ(GetFilePath("C:a.nltrack", w), "C:");
    EXPECT_EQ(GetFileName("C:a.nltrack", w), "a.nltrack");
    EXPECT_EQ(GetFilePath("a.nltrack", w), "");
    EXPECT_EQ(GetFileName("a.nltrack", w), "");
    EXPECT_EQ(GetFilePath("C:\\a.nltrack", w), "C:");
    EXPECT_EQ(GetFilePath("x/y\\z", w), "x/y");
}

TEST(Paths, PosixRules) {
    const PathRules& p = kPosixPathRules;
    EXPECT_EQ(GetFilePath("/home/me/Tracks/a.nltrack", p), "/home/me/Tracks");
    EXPECT_EQ(GetFileName("/home/me/Tracks/a.nltrack", p), "a.nltrack");
    EXPECT_EQ(GetFilePath("/home/me/C:a.nltrack", p), "/home/me");
    EXPECT_EQ(GetFileName("/home/me/C:a.nltrack", p), "C:a.nltrack");
    EXPECT_EQ(GetFilePath("a.nltrack", p), "");
    EXPECT_EQ(GetFileName("dir\\a.nltrack", p), "");
}

TEST(SavePath, FromTheLoadedFolderOrTheStoredOne) {
    const PathRules& w = kWindowsPathRules;
    const std::string load_file = "D:\\Coasters\\Loop.nltrack";
    const std::string load_folder = GetFilePath(load_file, w);
    EXPECT_EQ(load_folder, "D:\\Coasters");
    EXPECT_EQ(ProposedSavePath(ProposedSaveFolder("", load_folder), load_file, w),
              "D:\\Coasters\\Loop_Torvix.nltrack");
    EXPECT_EQ(ProposedSavePath(ProposedSaveFolder("E:\\Out", load_folder), load_file, w),
              "E:\\Out\\Loop_Torvix.nltrack");
    EXPECT_EQ(ProposedSavePath("/out", "/tracks/Loop.nltrack", kPosixPathRules), "/out/Loop_Torvix.nltrack");
}

TEST(SavePath, ResultNameInAnyLetterCaseNeverTheLoadedFile) {
    const PathRules& w = kWindowsPathRules;
    EXPECT_EQ(ProposedSavePath("E:\\Out", "D:\\Coasters\\Loop.NLTRACK", w), "E:\\Out\\Loop_Torvix.nltrack");
    EXPECT_EQ(ProposedSavePath("D:\\Coasters", "D:\\Coasters\\x.NlTrack", w), "D:\\Coasters\\x_Torvix.nltrack");
    EXPECT_EQ(ProposedSavePath("E:\\Out", "D:\\a.nltrack.nltrack", w), "E:\\Out\\a.nltrack_Torvix.nltrack");
    // A folder named like a track keeps its name; the file gets the suffix.
    EXPECT_EQ(ProposedSavePath("/t/old.nltrack", "/t/old.nltrack/plain", kPosixPathRules),
              "/t/old.nltrack/plain_Torvix.nltrack");
}

TEST(SegmentPreference, WantSlMustBeExactlyOne) {
    EXPECT_TRUE(WantsSegmentLength("1"));
    EXPECT_TRUE(WantsSegmentLength(" 1.0"));
    EXPECT_FALSE(WantsSegmentLength("0"));
    EXPECT_FALSE(WantsSegmentLength("1.5"));
    EXPECT_FALSE(WantsSegmentLength(""));
}

TEST(SegmentPreference, ProposedCountKeepsTheAverageLength) {
    EXPECT_EQ(ProposedSegmentsText(123.4, "2"), std::optional<std::string>(" 61"));
    EXPECT_EQ(ProposedSegmentsText(123.4, " 2.05"), std::optional<std::string>(" 60"));
    EXPECT_EQ(ProposedSegmentsText(1.0, "2"), std::optional<std::string>(" 0"));
}

TEST(SegmentPreference, UnusableStoredLengthLeavesSegmentsAlone) {
    EXPECT_EQ(ProposedSegmentsText(123.4, "0"), std::nullopt);
    EXPECT_EQ(ProposedSegmentsText(123.4, "abc"), std::nullopt);
    EXPECT_EQ(ProposedSegmentsText(123.4, "-2"), std::nullopt);
    EXPECT_EQ(ProposedSegmentsText(123.4, "0.001"), std::nullopt);       // 123400 curves
    EXPECT_EQ(ProposedSegmentsText(32767.9, "1"), std::optional<std::string>(" 32767"));
    EXPECT_EQ(ProposedSegmentsText(32768.0, "1"), std::nullopt);
}

TEST(SegmentPreference, StoredLengthUsesTheUnroundedSegmentsText) {
    EXPECT_EQ(SegmentLengthText(123.0, "60"), " 2.05");
    EXPECT_EQ(SegmentLengthText(100.0, "40.5"), " " + std::string("2.46913580246914"));
    EXPECT_EQ(ReadNumber(SegmentLengthText(123.0, "60")), 2.05);
}

TEST(Formats, FixedDecimalsAndOneIntegerDigit) {
    EXPECT_EQ(FormatMeasure(0), "0.000");
    EXPECT_EQ(FormatMeasure(0.25), "0.250");
    EXPECT_EQ(FormatMeasure(-12.3456), "-12.346");
    EXPECT_EQ(FormatLength(1234.5), "1234.50");
    EXPECT_EQ(FormatLength(0.004), "0.00");
    EXPECT_EQ(FormatFriction(0.0113149847), "0.011315");
    EXPECT_EQ(FormatFriction(-0.5), "-0.500000");
}

TEST(Formats, Rounding) {
    EXPECT_EQ(FormatMeasure(0.0625), "0.063");   // an exact tie goes away from zero
    EXPECT_EQ(FormatMeasure(-0.0625), "-0.063");
    EXPECT_EQ(FormatLength(2.675), "2.67");      // stored just below the tie
    EXPECT_EQ(FormatMeasure(9.9995), "9.999");   // also just below
    EXPECT_EQ(FormatMeasure(0.0005), "0.001");   // stored just above the tie
    EXPECT_EQ(FormatMeasure(9.99951), "10.000");
    EXPECT_EQ(FormatLength(999.999), "1000.00");
    EXPECT_EQ(FormatMeasure(-0.0004), "0.000");
}

TEST(Formats, LargeValuesKeepEveryDigit) {
    EXPECT_EQ(FormatMeasure(123456789.0), "123456789.000");
    EXPECT_EQ(FormatLength(1e20), "100000000000000000000.00");
    EXPECT_EQ(FormatMeasure(-98765.4321), "-98765.432");
}

TEST(Formats, EndMeasures) {
    TrackEndMeasures m{.radius_in = -1.0, .slope_in = 2.5, .tilt_in = 7.0,
                       .radius_out = 42.1234, .slope_out = -3.0, .tilt_out = -15.5};
    EndMeasureTexts t = FormatEndMeasures(m);
    EXPECT_EQ(t.radius_in, "straight");
    EXPECT_EQ(t.tilt_in, "none");
    EXPECT_EQ(t.slope_in, "2.500");
    EXPECT_EQ(t.radius_out, "42.123");
    EXPECT_EQ(t.tilt_out, "-15.500");
    EXPECT_EQ(t.slope_out, "-3.000");

    m.radius_in = -1.0000001;
    m.radius_out = -1.0;
    t = FormatEndMeasures(m);
    EXPECT_EQ(t.radius_in, "-1.000");
    EXPECT_EQ(t.tilt_in, "7.000");
    EXPECT_EQ(t.radius_out, "straight");
    EXPECT_EQ(t.tilt_out, "none");
    EXPECT_EQ(t.slope_out, "-3.000");
}

ModifyFieldTexts Fields(std::string segments, std::string precision, std::string filter) {
    return ModifyFieldTexts{std::move(segments), std::move(precision), std::move(filter), "1.0", "20", "17.5"};
}

TEST(ModifyParameters, ReadsTheSixFields) {
    const ModifyRequest r = ReadModifyParameters(Fields("60", "6", "15"));
    ASSERT_TRUE(r.parameters) << r.refusal;
    EXPECT_EQ(r.parameters->segments, 60);
    EXPECT_EQ(r.parameters->precision, 6);
    EXPECT_EQ(r.parameters->filter, 15);
    EXPECT_EQ(r.parameters->heartline, 1.0);
    EXPECT_EQ(r.parameters->start_speed, 20.0);
    EXPECT_EQ(r.parameters->end_speed, 17.5);
    EXPECT_TRUE(r.refusal.empty());

    const ModifyRequest halves = ReadModifyParameters(Fields("60.5", "6.5", "14.5"));
    ASSERT_TRUE(halves.parameters);
    EXPECT_EQ(halves.parameters->segments, 60);
    EXPECT_EQ(halves.parameters->precision, 6);
    EXPECT_EQ(halves.parameters->filter, 14);
}

void ExpectRefusal(const ModifyRequest& r, const std::string& short_text, const std::string& detail) {
    EXPECT_FALSE(r.parameters);
    EXPECT_EQ(r.refusal, short_text);
    EXPECT_EQ(r.refusal_detail, detail);
}

TEST(ModifyParameters, RefusesWhatTheSolverCannotRun) {
    for (const char* segments : {"", "0", "0.5"})
        ExpectRefusal(ReadModifyParameters(Fields(segments, "6", "15")), "Segments >= 1",
                      "Segments must be at least 1");
    ExpectRefusal(ReadModifyParameters(Fields("60", "0", "15")), "Precision >= 1", "Precision must be at least 1");
    ExpectRefusal(ReadModifyParameters(Fields("60", "6", "-1")), "Filter >= 0", "Filter must be 0 or more");
    for (const char* segments : {"99999999999999999999", "1e999"})
        ExpectRefusal(ReadModifyParameters(Fields(segments, "6", "15")), "Lower Segments or Precision",
                      "Segments x Precision is too large: use at most 32766 fitting points");
    ExpectRefusal(ReadModifyParameters(Fields("60", "6", "40000")), "Lower Segments, Precision or Filter",
                  "Too many steps for one run: keep 2 x Segments x Precision + Segments + Filter at most 32764");
}

TEST(ModifyParameters, LimitsAreInclusive) {
    // N + 1 = 32767 but 2N + S + F + 3 is far beyond: refused by the step count.
    EXPECT_EQ(ReadModifyParameters(Fields("32766", "1", "0")).refusal, "Lower Segments, Precision or Filter");
    EXPECT_EQ(ReadModifyParameters(Fields("32767", "1", "0")).refusal, "Lower Segments or Precision");
    // 2 * 1000 * 16 + 1000 + 0 + 3 = 33003.
    EXPECT_FALSE(ReadModifyParameters(Fields("1000", "16", "0")).parameters);
    // 2 * 1000 * 15 + 1000 + 1764 + 3 = 32767 exactly.
    EXPECT_TRUE(ReadModifyParameters(Fields("1000", "15", "1764")).parameters);
    EXPECT_FALSE(ReadModifyParameters(Fields("1000", "15", "1765")).parameters);
    EXPECT_TRUE(ReadModifyParameters(Fields("1", "1", "0")).parameters);
}

}  // namespace
}  // namespace torvix
