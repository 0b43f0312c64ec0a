#include "app/window_logic.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "track/result_path.h"

using namespace torvix::track;

namespace torvix::app {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double ReadNumber(std::string_view text) {
    std::size_t i = 0;
    const auto skip_blanks = [&](std::size_t& at) {
        while (at < text.size() && IsBlank(text[at])) ++at;
    };

    skip_blanks(i);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    std::string number;
    bool seen_point = false;
    bool seen_digit = false;
    for (;;) {
        skip_blanks(i);
        if (i >= text.size()) break;
        const char c = text[i];
        if (IsDigit(c)) {
            number += c;
            seen_digit = true;
        } else if (c == '.' && !seen_point) {
            number += c;
            seen_point = true;
        } else {
            break;
        }
        ++i;
    }
    if (!seen_digit) return 0.0;
    if (number.front() == '.') number.insert(number.begin(), '0');
    if (number.back() == '.') number += '0';

    // An exponent counts only when at least one digit follows it.
    bool negative_exponent = false;
    std::size_t j = i;
    skip_blanks(j);
    if (j < text.size() && (text[j] == 'E' || text[j] == 'e')) {
        ++j;
        skip_blanks(j);
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negative_exponent = text[j] == '-';
            exponent += text[j];
            ++j;
        }
        bool exponent_digit = false;
        for (;;) {
            skip_blanks(j);
            if (j >= text.size() || !IsDigit(text[j])) break;
            exponent += text[j];
            exponent_digit = true;
            ++j;
        }
        if (exponent_digit) number += exponent;
    }

    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        value = negative_exponent ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double below = std::floor(value);
    const double fraction = value - below;  // exact
    if (fraction > 0.5) return below + 1.0;
    if (fraction < 0.5) return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::string NumberText(double value) {
    if (value == 0.0) value = 0.0;  // no "-0"
    std::array<char, 64> buffer{};
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general, 15);
    std::string text(buffer.data(), result.ptr);
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    if (text.front() != '-') text.insert(text.begin(), ' ');
    return text;
}

// ---- Paths ------------------------------------------------------------------

std::string GetFilePath(std::string_view path, const PathRules& rules) {
    const std::size_t at = path.find_last_of(rules.separators);
    if (at == std::string_view::npos) return {};
    const bool kept = rules.kept_separators.find(path[at]) != std::string_view::npos;
    return std::string(path.substr(0, kept ? at + 1 : at));
}

std::string GetFileName(std::string_view path, const PathRules& rules) {
    const std::size_t at = path.find_last_of(rules.separators);
    if (at == std::string_view::npos) return {};
    return std::string(path.substr(at + 1));
}

std::string ProposedSaveFolder(std::string_view stored_save_path, std::string_view load_folder) {
    return std::string(stored_save_path.empty() ? load_folder : stored_save_path);
}

std::string ProposedSavePath(std::string_view save_folder, std::string_view load_file, const PathRules& rules) {
    std::string path(save_folder);
    path += rules.join;
    path += GetFileName(ResultPath(load_file), rules);
    return path;
}

// ---- Segment-count preference -----------------------------------------------

bool WantsSegmentLength(std::string_view want_sl_text) { return ReadNumber(want_sl_text) == 1.0; }

std::optional<std::string> ProposedSegmentsText(double length, std::string_view sl_text) {
    const double segment_length = ReadNumber(sl_text);
    if (!(segment_length > 0.0)) return std::nullopt;
    const double count = std::floor(length / segment_length);
    if (!(count >= std::numeric_limits<std::int16_t>::min() && count <= std::numeric_limits<std::int16_t>::max())) {
        return std::nullopt;
    }
    return NumberText(count);
}

std::string SegmentLengthText(double length, std::string_view segments_text) {
    return NumberText(length / ReadNumber(segments_text));
}

// ---- Modify parameters ------------------------------------------------------

ModifyRequest ReadModifyParameters(const ModifyFieldTexts& texts) {
    constexpr double kIntegerMax = std::numeric_limits<std::int16_t>::max();
    const double segments = RoundHalfEven(ReadNumber(texts.segments));
    const double precision = RoundHalfEven(ReadNumber(texts.precision));
    const double filter = RoundHalfEven(ReadNumber(texts.filter));

    ModifyRequest request;
    const auto refuse = [&request](const char* short_text, const char* detail) {
        request.refusal = short_text;
        request.refusal_detail = detail;
    };
    // Written so that NaN and infinity fail every test.
    if (!(segments >= 1)) {
        refuse("Segments >= 1", "Segments must be at least 1");
    } else if (!(precision >= 1)) {
        refuse("Precision >= 1", "Precision must be at least 1");
    } else if (!(filter >= 0)) {
        refuse("Filter >= 0", "Filter must be 0 or more");
    } else if (!(segments * precision + 1 <= kIntegerMax)) {
        refuse("Lower Segments or Precision",
               "Segments x Precision is too large: use at most 32766 fitting points");
    } else if (!(2 * segments * precision + segments + filter + 3 <= kIntegerMax)) {
        refuse("Lower Segments, Precision or Filter",
               "Too many steps for one run: keep 2 x Segments x Precision + Segments + Filter at most 32764");
    } else {
        request.parameters = ModifyParameters{
            .segments = static_cast<std::int16_t>(segments),
            .precision = static_cast<std::int16_t>(precision),
            .filter = static_cast<std::int16_t>(filter),
            .heartline = ReadNumber(texts.heartline),
            .start_speed = ReadNumber(texts.start_speed),
            .end_speed = ReadNumber(texts.end_speed),
        };
    }
    return request;
}

}  // namespace torvix::app
