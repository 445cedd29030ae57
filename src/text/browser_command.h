// The default browser's command as the system registers it for http URLs
// ("C:\b\browser.exe" -osint -url "%1"), split into the program and its
// arguments, and the command line that hands the browser one URL. Used where
// the launch starts the browser itself, for URLs too long for the shell.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velvane {

// How the arguments mark the URL's place.
enum class UrlMarker : unsigned char {
    Registered,  // the system's way: %1, %L or %l; %* and %2 to %9 stand for nothing
    Braces,      // a browser line the user wrote: {url} (any case); % is itself
};

struct BrowserCommand {
    std::u16string program;    // as written: a full path, or a name to look up
    std::u16string arguments;  // the rest, with its %1, %L or %l
    UrlMarker marker = UrlMarker::Registered;
};

// Splits the command as it is meant: a quoted program runs to its closing
// quote; an unquoted one to the first ".exe" that ends a word, blanks in its
// folders' names and all ("C:\Program Files\b\b.exe %1"), or, with no ".exe",
// to the first blank. An empty program means there is nothing to start.
BrowserCommand split_browser_command(std::u16string_view command);

// The command line that starts the program with the URL: the program in
// quotes, then the arguments with each mark of the URL's place replaced by
// the URL (%* and %2 to %9, for arguments there are none of, by nothing), or
// the URL appended in quotes when they have no place for it. The URL is cut, at an
// escape, only as far as the whole line must be to hold at most max_units
// UTF-16 units.
std::u16string browser_command_line(const BrowserCommand& command, std::u16string_view url, std::size_t max_units);

}  // namespace velvane
