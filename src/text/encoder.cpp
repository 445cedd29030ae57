#include "text/encoder.h"

namespace velvane {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void append_escape(std::string& out, unsigned char byte) {
    out += '%';
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// Characters a URL cannot carry literally or that a shell or a command line
// reads: blanks and tabs split arguments, a quote ends one, a backslash
// escapes a quote, <>^| and backquotes are read by command shells, braces
// are unsafe in URLs, and control characters have no place in either.
// ('%' is not among them: whether it stays depends on what follows it.)
bool must_escape(unsigned char byte) {
    switch (byte) {
    case ' ':
    case '"':
    case '\\':
    case '<':
    case '>':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
        return true;
    default:
        return byte < 0x20 || byte == 0x7F;
    }
}

// U+0080 to U+009F, the C1 control characters, are 0xC2 0x80-0x9F in UTF-8.
bool starts_c1_control(std::string_view text, std::size_t at) {
    return static_cast<unsigned char>(text[at]) == 0xC2 && at + 1 < text.size() &&
           static_cast<unsigned char>(text[at + 1]) >= 0x80 && static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

// "%XX", or "%uXXXX" as one engine's own URL writes Unicode.
bool starts_escape(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(at);
    if (rest.size() >= 3 && is_hex_digit(rest[1]) && is_hex_digit(rest[2])) return true;
    return rest.size() >= 6 && rest[1] == 'u' && is_hex_digit(rest[2]) && is_hex_digit(rest[3]) &&
           is_hex_digit(rest[4]) && is_hex_digit(rest[5]);
}

// What a query reads as more than a character of its value: '+' is a
// blank, '#' starts the fragment, '&' the next parameter.
bool splits_query(unsigned char byte) { return byte == '+' || byte == '#' || byte == '&'; }

// Escapes what must not be handed on literally; `keep_escape` says which '%'
// may stay. A keyword (`keyword` set) has the characters that would split
// its query value escaped too, and its blanks written as '+' when asked.
template <typename KeepEscape>
std::string escaped(std::string_view text, KeepEscape keep_escape, bool keyword = false, bool blanks_as_plus = false) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == ' ' && blanks_as_plus) {
            out += '+';
        } else if (must_escape(byte) || (byte == '%' && !keep_escape(text, i)) || (keyword && splits_query(byte))) {
            append_escape(out, byte);
        } else if (starts_c1_control(text, i)) {
            append_escape(out, byte);
            append_escape(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string encode_keyword(std::string_view utf8_keyword) {
    std::string out;
    out.reserve(utf8_keyword.size() * 3);
    for (const char c : utf8_keyword) append_escape(out, static_cast<unsigned char>(c));
    return out;
}

std::string raw_keyword_in_url(std::string_view utf8_keyword, bool blanks_as_plus) {
    return escaped(
        utf8_keyword, [](std::string_view, std::size_t) { return false; }, true, blanks_as_plus);
}

std::string launch_safe_url(std::string_view url) { return escaped(url, starts_escape); }

std::u16string_view cut_url(std::u16string_view url, std::size_t max_units) {
    if (url.size() <= max_units) return url;
    std::size_t cut = max_units;
    // Not between the two halves of a surrogate pair.
    if (cut > 0 && url[cut - 1] >= 0xD800 && url[cut - 1] <= 0xDBFF) --cut;
    // Not inside an escape: a '%' among the last two units starts a %XX that
    // would be cut, one among the last five followed by 'u' a %uXXXX.
    for (std::size_t back = 1; back <= 5 && back <= cut; ++back) {
        if (url[cut - back] == u'%' && (back <= 2 || url[cut - back + 1] == u'u')) {
            cut -= back;
            break;
        }
    }
    return url.substr(0, cut);
}

}  // namespace velvane
