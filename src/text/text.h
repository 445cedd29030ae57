// Text conversions of the portable core. The core keeps text as UTF-8 in
// std::string; the Win32 shell hands UTF-16 from the controls across this line.
#pragma once

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

}  // namespace velvane
