// Text conversions and the small text helpers of the portable core, each in
// one place with one meaning. The core keeps text as UTF-8 in std::string;
// the Win32 shell hands UTF-16 from the controls across this line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velvane {

// UTF-16 to UTF-8. A lone surrogate (possible in an edit box's text) becomes
// U+FFFD, so nothing the user typed can make the conversion fail.
std::string utf8_from_utf16(std::u16string_view text);

// UTF-8 to UTF-16. Malformed sequences become U+FFFD.
std::u16string utf16_from_utf8(std::string_view text);

// Appends one code point (at most U+10FFFF, not a surrogate) as UTF-8.
void append_utf8(std::string& out, char32_t c);

// UTF-8 text without the blanks at either end: spaces, tabs and the
// ideographic space U+3000 (what a Chinese input method types as a blank).
std::string_view trimmed(std::string_view text);

// UTF-8 text cut to at most `max` bytes for a message, never inside a
// character, with "…" when something was cut.
std::string shortened(std::string_view text, std::size_t max = 40);

// ASCII letters in lower case; every other byte (UTF-8 included) as it is.
constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string ascii_lower(std::string_view text);
// Whether the two are the same but for the case of ASCII letters.
bool same_ignoring_ascii_case(std::string_view a, std::string_view b);

// The folder of a file's path: everything before the last '\' or '/'; at a
// drive's root the root itself ("C:\", never "C:", which names the drive's
// current folder), and for a bare file name the current folder, ".".
std::wstring folder_of(std::wstring_view path);

}  // namespace velvane
