#include "app/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace torvix {
namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Walks the text while skipping blanks.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) { Skip(); }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    void Next() {
        ++pos_;
        Skip();
    }
    std::size_t pos() const { return pos_; }
    void Reset(std::size_t pos) { pos_ = pos; }

private:
    void Skip() {
        while (pos_ < text_.size() && IsSkipped(text_[pos_])) ++pos_;
    }
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

double NumericValue(std::string_view text) {
    Cursor in(text);
    bool negative = false;
    if (in.Peek() == '+' || in.Peek() == '-') {
        negative = in.Peek() == '-';
        in.Next();
    }

    std::string digits;                 // the number without blanks, sign or exponent letter
    long long int_significant = 0;      // integer digits after leading zeros
    long long frac_leading_zeros = 0;   // zeros after the point before the first other digit
    bool any_digit = false;
    bool seen_nonzero = false;
    while (IsDigit(in.Peek())) {
        const char c = in.Peek();
        if (c != '0' || seen_nonzero) {
            seen_nonzero = true;
            ++int_significant;
        }
        digits += c;
        any_digit = true;
        in.Next();
    }
    if (in.Peek() == '.') {
        digits += '.';
        in.Next();
        while (IsDigit(in.Peek())) {
            const char c = in.Peek();
            if (c != '0') seen_nonzero = true;
            if (!seen_nonzero) ++frac_leading_zeros;
            digits += c;
            any_digit = true;
            in.Next();
        }
    }
    if (!any_digit) return 0.0;

    long long exponent = 0;
    const char e = in.Peek();
    if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
        const std::size_t mark = in.pos();
        in.Next();
        bool exp_negative = false;
        if (in.Peek() == '+' || in.Peek() == '-') {
            exp_negative = in.Peek() == '-';
            in.Next();
        }
        if (IsDigit(in.Peek())) {
            while (IsDigit(in.Peek())) {
                if (exponent < 1'000'000) exponent = exponent * 10 + (in.Peek() - '0');
                in.Next();
            }
            if (exp_negative) exponent = -exponent;
        } else {
            in.Reset(mark);  // "1e" is the number 1 followed by a letter
        }
    }
    if (exponent != 0) digits += "e" + std::to_string(exponent);

    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        const long long magnitude = int_significant > 0 ? int_significant + exponent : exponent - frac_leading_zeros;
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::optional<std::int16_t> ToInteger16(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value);  // default rounding: halves to even
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

}  // namespace torvix
