// The keyword encoder and the last line of defence before a URL leaves the
// program.
#pragma once

#include <string>
#include <string_view>

namespace velvane {

// Every byte of the keyword's UTF-8 form as "%" and two upper-case hex digits,
// with no exception: letters, digits and blanks are escaped too ("a b" gives
// "%61%20%62"). The empty keyword gives the empty text.
std::string encode_keyword(std::string_view utf8_keyword);

// What the launch hands to the shell. Raw keywords enter URLs unchanged, but a
// double quote could close the quoted "%1" of the browser's command line and
// pass arguments to the browser, and control characters have no business in a
// URL: those become their %XX escapes. Everything else stays as it is.
std::string launch_safe_url(std::string_view url);

// The URL cut to at most max_units UTF-16 units, never inside a surrogate
// pair or a %XX escape: what still fits a command line.
std::u16string_view cut_url(std::u16string_view url, std::size_t max_units);

}  // namespace velvane
