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

// The keyword as a raw row carries it: as typed (Chinese stays Chinese),
// except each per cent sign, each character that a URL cannot carry
// literally or that a shell or a command line would read, and the three that
// would change the query ('+' a blank, '#' the fragment, '&' the next
// parameter), which become the %XX escapes of their UTF-8 bytes. A per cent
// sign typed is meant as one: "%41" is searched as "%41", never as "A", and
// "%PATH%" never reaches a shell that could expand it; "C++", "C#" and "a&b"
// reach the engine as typed. `blanks_as_plus` writes blanks as '+'.
std::string raw_keyword_in_url(std::string_view utf8_keyword, bool blanks_as_plus = false);

// What the launch hands on: the URL with every character that a URL cannot
// carry literally or that a shell or a command line would read written as
// its %XX escapes, and every '%' that begins no escape as "%25" (a %uXXXX
// escape, which one engine's own URL uses, is left as it is). The page
// algorithm's URLs need nothing of this; a template written by hand might.
// What comes out is one argument by the command-line rules of Windows
// programs, quoted or not.
std::string launch_safe_url(std::string_view url);

// The URL cut to at most max_units UTF-16 units, never inside a surrogate
// pair or an escape: what still fits a command line.
std::u16string_view cut_url(std::u16string_view url, std::size_t max_units);

}  // namespace velvane
