#include "texts/display_texts.h"
#include "analysis/track_ends.h"
#include "track/track_io.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

using namespace torvix::analysis;
using namespace torvix::track;

namespace torvix::texts {

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    }
    // Enough extra digits that a true tie shows as 5 followed by zeros, so
    // rounding the text rounds the exact binary value.
    constexpr int kGuardDigits = 25;
    decimals = std::clamp(decimals, 0, 20);
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                      std::chars_format::fixed, decimals + kGuardDigits);
    const std::string exact(buffer.data(), result.ptr);
    const std::size_t point = exact.find('.');

    std::string digits = exact.substr(0, point) + exact.substr(point + 1, static_cast<std::size_t>(decimals));
    if (exact[point + 1 + static_cast<std::size_t>(decimals)] >= '5') {
        std::size_t k = digits.size();
        while (k > 0 && digits[k - 1] == '9') {
            digits[k - 1] = '0';
            --k;
        }
        if (k == 0) {
            digits.insert(digits.begin(), '1');
        } else {
            ++digits[k - 1];
        }
    }
    const std::size_t integer_digits = digits.size() - static_cast<std::size_t>(decimals);
    std::string text = digits.substr(0, integer_digits);
    if (decimals > 0) {
        text += '.';
        text += digits.substr(integer_digits);
    }
    const bool all_zero = digits.find_first_not_of('0') == std::string::npos;
    if (value < 0 && !all_zero) text.insert(text.begin(), '-');
    return text;
}

EndMeasureTexts FormatEndMeasures(const TrackEndMeasures& measures) {
    EndMeasureTexts texts;
    if (measures.radius_in == -1.0) {
        texts.radius_in = "straight";
        texts.tilt_in = "none";
    } else {
        texts.radius_in = FormatMeasure(measures.radius_in);
        texts.tilt_in = FormatMeasure(measures.tilt_in);
    }
    if (measures.radius_out == -1.0) {
        texts.radius_out = "straight";
        texts.tilt_out = "none";
    } else {
        texts.radius_out = FormatMeasure(measures.radius_out);
        texts.tilt_out = FormatMeasure(measures.tilt_out);
    }
    texts.slope_in = FormatMeasure(measures.slope_in);
    texts.slope_out = FormatMeasure(measures.slope_out);
    return texts;
}

namespace {

// A tag from the file as it can be printed: bytes outside printable ASCII as '?'.
std::string Printable(const std::string& tag) {
    std::string out = tag;
    for (char& c : out) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    return out;
}

}  // namespace

std::string SkippedChunkText(const SkippedChunk& s) {
    if (s.known) {
        return "skipped " + std::to_string(s.bytes) + " unread bytes at the end of chunk " + Printable(s.tag) +
               " (at offset " +
               std::to_string(s.offset) + "); they will not be saved";
    }
    return "skipped unknown chunk " + Printable(s.tag) + " (" + std::to_string(s.bytes) + " bytes at offset " +
           std::to_string(s.offset) + "); it will not be saved";
}

std::string SkippedChunksMessage(const std::vector<SkippedChunk>& skipped) {
    std::string text;
    for (const SkippedChunk& s : skipped) {
        text += text.empty() ? "Not saved: " : ", ";
        text += Printable(s.tag) + (s.known ? " tail" : "") + " (" + std::to_string(s.bytes) + " bytes)";
    }
    return text;
}

}  // namespace torvix::texts
