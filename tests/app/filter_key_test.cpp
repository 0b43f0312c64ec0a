#include "app/filter_key.h"

#include <gtest/gtest.h>

#include <string>

using namespace torvix::app;


namespace torvix {
namespace {

// The flags of the fields: decimal point, minus sign.
struct FieldKind {
    bool decimal;
    bool negative;
};
constexpr FieldKind kSegments{false, false};
constexpr FieldKind kHeartline{true, true};
constexpr FieldKind kStartSpeed{true, false};

// Types `keys` at the end of `text` the way a field would.
std::string Type(std::string text, std::string_view keys, FieldKind kind) {
    for (const char key : keys) {
        const int code = FilterKey(text, text.size(), static_cast<unsigned char>(key), kind.decimal, kind.negative);
        if (code == kKeyBackspace) {
            if (!text.empty()) text.pop_back();
        } else if (code != 0) {
            text += static_cast<char>(code);
        }
    }
    return text;
}

TEST(FilterKeyTest, CommaBecomesPointAndOnlyOneSeparatorIsAccepted) {
    EXPECT_EQ(Type("", "1,5", kHeartline), "1.5");
    EXPECT_EQ(Type("1.5", ",", kHeartline), "1.5");
    EXPECT_EQ(Type("1.5", ".", kHeartline), "1.5");
    EXPECT_EQ(FilterKey("", 0, ',', true, false), '.');
}

TEST(FilterKeyTest, SelectedPointStillBlocksAnotherPoint) {
    // "1.5" wholly selected: typing would replace it, yet the point is refused.
    EXPECT_EQ(FilterKey("1.5", 0, '.', true, true), 0);
}

TEST(FilterKeyTest, WholeNumberFieldsRefuseSeparatorsAndMinus) {
    EXPECT_EQ(Type("", "6,0.5-", kSegments), "605");
    EXPECT_EQ(FilterKey("", 0, '-', false, false), 0);
}

TEST(FilterKeyTest, MinusOnlyInSignedFieldsAndOnlyAtTheStart) {
    EXPECT_EQ(FilterKey("", 0, '-', kStartSpeed.decimal, kStartSpeed.negative), 0);
    EXPECT_EQ(FilterKey("20", 0, '-', kStartSpeed.decimal, kStartSpeed.negative), 0);

    EXPECT_EQ(FilterKey("", 0, '-', true, true), '-');
    EXPECT_EQ(FilterKey("1.0", 0, '-', true, true), '-');
    EXPECT_EQ(FilterKey("1.0", 1, '-', true, true), 0);
    EXPECT_EQ(FilterKey("1.0", 3, '-', true, true), 0);
    EXPECT_EQ(FilterKey("-1.0", 0, '-', true, true), 0) << "a selected -1.0 still begins with a minus";
    EXPECT_EQ(Type("", "--1", kHeartline), "-1");
}

TEST(FilterKeyTest, LettersSpacesAndControlCharactersAreRefused) {
    for (const int code : {int{'a'}, int{'Z'}, int{'e'}, int{' '}, int{'+'}, int{'/'}, int{':'}, 0, 9, 10, 13, 27, 127, 0xB0, 0xE9}) {
        EXPECT_EQ(FilterKey("1", 1, code, true, true), 0) << "code " << code;
    }
    for (int digit = '0'; digit <= '9'; ++digit) EXPECT_EQ(FilterKey("", 0, digit, false, false), digit);
}

TEST(FilterKeyTest, BackspacePassesInEveryField) {
    EXPECT_EQ(FilterKey("12", 2, kKeyBackspace, false, false), kKeyBackspace);
    EXPECT_EQ(FilterKey("", 0, kKeyBackspace, true, true), kKeyBackspace);
    EXPECT_EQ(Type("1.5", "\b\b,7", kHeartline), "1.7");
}

TEST(FilterPasteTest, PastedTextIsFilteredLikeTyping) {
    EXPECT_EQ(FilterPaste("", 0, 0, " 1,2.3 m/s", true, false), (FieldEdit{"1.23", 4, 0}));
    EXPECT_EQ(FilterPaste("", 0, 0, "--12-3", true, true), (FieldEdit{"-123", 4, 0}));
    EXPECT_EQ(FilterPaste("20", 0, 0, "-5", true, false), (FieldEdit{"520", 1, 0}));
    EXPECT_EQ(FilterPaste("60", 2, 0, "1\n2\t3\b", false, false), (FieldEdit{"60123", 5, 0}));
}

TEST(FilterPasteTest, FirstAcceptedCharacterReplacesTheSelection) {
    EXPECT_EQ(FilterPaste("1.0", 0, 3, "-2,5", true, true), (FieldEdit{"-2.5", 4, 0}));
    // The selected text still counts: its minus blocks the pasted one.
    EXPECT_EQ(FilterPaste("-1.0", 0, 4, "-2", true, true), (FieldEdit{"2", 1, 0}));
    // Nothing accepted: the field and its selection stay.
    EXPECT_EQ(FilterPaste("60", 0, 2, "abc", false, false), (FieldEdit{"60", 0, 2}));
    EXPECT_EQ(FilterPaste("60", 1, 0, "", false, false), (FieldEdit{"60", 1, 0}));
}

TEST(FilterPasteTest, OutOfRangeSelectionIsClampedToTheText) {
    EXPECT_EQ(FilterPaste("12", 9, 9, "3", false, false), (FieldEdit{"123", 3, 0}));
    EXPECT_EQ(FilterPaste("12", 1, 9, "3", false, false), (FieldEdit{"13", 2, 0}));
}

TEST(ClampPrecisionTest, BelowFourBecomesFourWithMessage) {
    EXPECT_EQ(ClampPrecision(""), (PrecisionCheck{"4", "Precision has been adjusted to 4"}));
    EXPECT_EQ(ClampPrecision("3"), (PrecisionCheck{"4", "Precision has been adjusted to 4"}));
    EXPECT_EQ(ClampPrecision("-7"), (PrecisionCheck{"4", "Precision has been adjusted to 4"}));
    EXPECT_EQ(ClampPrecision("abc"), (PrecisionCheck{"4", "Precision has been adjusted to 4"}));
}

TEST(ClampPrecisionTest, AboveSixteenBecomesSixteenWithMessage) {
    EXPECT_EQ(ClampPrecision("20"), (PrecisionCheck{"16", "Precision has been adjusted to 16"}));
    EXPECT_EQ(ClampPrecision("16.5"), (PrecisionCheck{"16", "Precision has been adjusted to 16"}));
    EXPECT_EQ(ClampPrecision("99999999999999999999"), (PrecisionCheck{"16", "Precision has been adjusted to 16"}));
}

TEST(ClampPrecisionTest, ValuesInRangeStayAsTyped) {
    EXPECT_EQ(ClampPrecision("4"), (PrecisionCheck{"4", ""}));
    EXPECT_EQ(ClampPrecision("16"), (PrecisionCheck{"16", ""}));
    EXPECT_EQ(ClampPrecision("08"), (PrecisionCheck{"08", ""}));
}

}  // namespace
}  // namespace torvix
