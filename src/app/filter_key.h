// The key filter of the six parameter fields and the Precision range check.
// Pure functions of the field's text, free of Qt: the window decides how keys
// and pastes reach them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvix::app {

inline constexpr int kKeyBackspace = 8;

// Decides about one typed character before the field inserts it. `text` is the
// field's whole current text (a selection still counts as present) and `caret`
// the selection start. Returns the character code to insert (a comma becomes a
// point in decimal fields, Backspace passes unchanged) or 0 to discard it.
// Only character keys belong here; caret movement, Delete and shortcuts are
// not typed characters.
int FilterKey(std::string_view text, std::size_t caret, int key_code, bool allow_decimal, bool allow_negative);

// A field's text with its selection (or caret, when the length is 0).
struct FieldEdit {
    std::string text;
    std::size_t selection_start = 0;
    std::size_t selection_length = 0;

    bool operator==(const FieldEdit&) const = default;
};

// Pastes `pasted` into the field as if its characters had been typed one by
// one through FilterKey: the first accepted character replaces the selection,
// refused ones are dropped, and control characters (line breaks, tabs,
// Backspace) are never pasted.
FieldEdit FilterPaste(std::string_view text, std::size_t selection_start, std::size_t selection_length,
                      std::string_view pasted, bool allow_decimal, bool allow_negative);

inline constexpr int kPrecisionMin = 4;
inline constexpr int kPrecisionMax = 16;
// How long the message about an adjusted Precision stays on the message line.
inline constexpr int kPrecisionMessageMs = 1500;

// Precision as the field should read after losing focus, and the message to
// show; `message` is empty when the text stays as it is.
struct PrecisionCheck {
    std::string text;
    std::string message;

    bool operator==(const PrecisionCheck&) const = default;
};

PrecisionCheck ClampPrecision(std::string_view text);

}  // namespace torvix::app
