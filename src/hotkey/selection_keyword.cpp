#include "hotkey/selection_keyword.h"

namespace velvane {
namespace {

bool is_line_break(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == u'\u0085' || c == u'\u2028' || c == u'\u2029';
}

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u00A0' || c == u'\u1680' || (c >= u'\u2000' && c <= u'\u200B') ||
           c == u'\u202F' || c == u'\u205F' || c == u'\u3000' || c == u'\uFEFF';
}

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string selection_keyword(std::u16string_view copied) {
    std::size_t i = 0;
    // A selection dragged from the end of the line before starts with a
    // line break; the words the person meant come after it.
    while (i < copied.size() && (is_blank(copied[i]) || is_line_break(copied[i]))) ++i;

    std::u16string keyword;
    while (i < copied.size() && !is_line_break(copied[i])) {
        const char16_t c = copied[i];
        if (is_high_surrogate(c) && i + 1 < copied.size() && is_low_surrogate(copied[i + 1])) {
            if (keyword.size() + 2 > kSelectionKeywordLimit) break;
            keyword += c;
            keyword += copied[i + 1];
            i += 2;
            continue;
        }
        if (keyword.size() + 1 > kSelectionKeywordLimit) break;
        keyword += is_high_surrogate(c) || is_low_surrogate(c) ? u'\uFFFD' : c;
        ++i;
    }
    while (!keyword.empty() && is_blank(keyword.back())) keyword.pop_back();
    return keyword;
}

}  // namespace velvane
