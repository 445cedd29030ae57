#include "text/text.h"

namespace velvane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_utf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

bool is_high_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf8_from_utf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (is_high_surrogate(u) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            const char32_t c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            append_utf8(out, c);
            ++i;
        } else if (is_high_surrogate(u) || is_low_surrogate(u)) {
            append_utf8(out, kReplacement);
        } else {
            append_utf8(out, u);
        }
    }
    return out;
}

std::u16string utf16_from_utf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    auto cont = [&](std::size_t k) { return k < n && (byte(k) & 0xC0) == 0x80; };
    while (i < n) {
        const unsigned char b = byte(i);
        char32_t c = kReplacement;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
            c = (char32_t(b & 0x1F) << 6) | (byte(i + 1) & 0x3F);
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1) && cont(i + 2)) {
            c = (char32_t(b & 0x0F) << 12) | (char32_t(byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
            len = 3;
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
        } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            c = (char32_t(b & 0x07) << 18) | (char32_t(byte(i + 1) & 0x3F) << 12) |
                (char32_t(byte(i + 2) & 0x3F) << 6) | (byte(i + 3) & 0x3F);
            len = 4;
            if (c < 0x10000 || c > 0x10FFFF) c = kReplacement;
        }
        append_utf16(out, c);
        i += len;
    }
    return out;
}

// What a Chinese input method types as a blank.
constexpr std::string_view kIdeographicSpace = "\u3000";

std::string_view trimmed(std::string_view text) {
    const auto blank_at_front = [](std::string_view t) -> std::size_t {
        if (!t.empty() && (t.front() == ' ' || t.front() == '\t')) return 1;
        return t.starts_with(kIdeographicSpace) ? kIdeographicSpace.size() : 0;
    };
    const auto blank_at_back = [](std::string_view t) -> std::size_t {
        if (!t.empty() && (t.back() == ' ' || t.back() == '\t')) return 1;
        return t.ends_with(kIdeographicSpace) ? kIdeographicSpace.size() : 0;
    };
    while (const std::size_t n = blank_at_front(text)) text.remove_prefix(n);
    while (const std::size_t n = blank_at_back(text)) text.remove_suffix(n);
    return text;
}

std::string shortened(std::string_view text, std::size_t max) {
    if (text.size() <= max) return std::string(text);
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    return std::string(text.substr(0, cut)) + "…";
}

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = ascii_lower(c);
    return out;
}

bool same_ignoring_ascii_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

std::wstring folder_of(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring_view::npos) return L".";
    // "C:\x.exe": the folder is "C:\"; "C:" alone would be C's current folder.
    const bool drive_root = slash == 2 && path[1] == L':';
    return std::wstring(path.substr(0, drive_root ? slash + 1 : slash));
}

}  // namespace velvane
