#include "app/filter_key.h"

#include <algorithm>

#include "app/window_logic.h"

namespace torvix::app {

int FilterKey(std::string_view text, std::size_t caret, int key_code, bool allow_decimal, bool allow_negative) {
    if (key_code == kKeyBackspace) return key_code;
    if (allow_decimal && key_code == ',') key_code = '.';
    if (allow_decimal && key_code == '.') {
        return text.find('.') == std::string_view::npos ? key_code : 0;
    }
    if (allow_negative && key_code == '-') {
        const bool accepted = text.empty() || (text.front() != '-' && caret == 0);
        return accepted ? key_code : 0;
    }
    return (key_code >= '0' && key_code <= '9') ? key_code : 0;
}

FieldEdit FilterPaste(std::string_view text, std::size_t selection_start, std::size_t selection_length,
                      std::string_view pasted, bool allow_decimal, bool allow_negative) {
    FieldEdit edit{std::string(text), 0, 0};
    edit.selection_start = std::min(selection_start, edit.text.size());
    edit.selection_length = std::min(selection_length, edit.text.size() - edit.selection_start);
    for (const char c : pasted) {
        const int code = static_cast<unsigned char>(c);
        if (code < 0x20 || code == 0x7f) continue;
        const int accepted = FilterKey(edit.text, edit.selection_start, code, allow_decimal, allow_negative);
        if (accepted == 0) continue;
        edit.text.replace(edit.selection_start, edit.selection_length, 1, static_cast<char>(accepted));
        ++edit.selection_start;
        edit.selection_length = 0;
    }
    return edit;
}

PrecisionCheck ClampPrecision(std::string_view text) {
    PrecisionCheck check{std::string(text), {}};
    if (ReadNumber(check.text) < kPrecisionMin) {
        check.text = std::to_string(kPrecisionMin);
        check.message = "Precision has been adjusted to " + check.text;
    }
    if (ReadNumber(check.text) > kPrecisionMax) {
        check.text = std::to_string(kPrecisionMax);
        check.message = "Precision has been adjusted to " + check.text;
    }
    return check;
}

}  // namespace torvix::app
