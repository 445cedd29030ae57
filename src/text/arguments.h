// A Windows command line split into arguments the way a Windows program
// splits its own (CommandLineToArgvW, the C runtime), for reading Velvane's
// own command line and for checking the lines it builds for a browser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velvane {

// The line after the program's name: a quoted name runs to its closing quote,
// an unquoted one to the first blank or tab; there are no escapes in it.
std::u16string_view after_program(std::u16string_view command_line);

// One argument from the start of `text`, which is left after it: blanks and
// tabs outside quotes end it; 2n backslashes before a quote give n
// backslashes and the quote opens or closes quoting, 2n+1 give n and a
// literal quote; inside quotes "" is a literal quote; other backslashes are
// themselves. A quote left open runs to the end of the text.
std::u16string next_argument(std::u16string_view& text);

// The whole line: the program (without its quotes), then each argument.
std::vector<std::u16string> split_command_line(std::u16string_view command_line);

}  // namespace velvane
