// Reading numbers from field and settings texts. Standard library only.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace torvix {

// The number a text starts with: blanks (space, tab, line breaks) are skipped
// anywhere, then an optional sign, digits with a point as the decimal
// separator whatever the locale, and an optional exponent (e or d). Reading
// stops at the first character that cannot continue the number; an empty or
// non-numeric text reads as 0. Beyond the range of a double: +-infinity.
double NumericValue(std::string_view text);

// A count as a 16-bit integer: rounded to the nearest, halves to the even
// neighbour; nothing when the result lies outside -32768..32767.
std::optional<std::int16_t> ToInteger16(double value);

}  // namespace torvix
