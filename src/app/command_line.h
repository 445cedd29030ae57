// What a start of velvane.exe asks for on its command line, for searches
// from the Run box, a script or another program:
//
//   velvane.exe 关键词                      the window, the keyword in the current page's box, selected
//   velvane.exe --search 关键词             a search at once in the current page's current category
//   velvane.exe --page 名字 [--search] [关键词]
//                                           the same on the page of that name (a built-in page by its
//                                           tab caption, a user page by its section name)
//
// After the options the rest of the command line is the keyword, blanks and
// all; quoted as a whole ("a b") it is what the quotes hold. An argument
// that starts with -- unquoted is an option; a keyword that starts with --
// is written in quotes. Options are ASCII case-insensitive.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velvane {

struct SearchRequest {
    std::optional<std::u16string> page;  // as written; which page it names is the window's to find
    std::u16string keyword;              // may be empty (--page alone)
    bool search_now = false;             // --search
};

struct CommandLineReading {
    // Nothing after the program's name (a plain start), or what was asked.
    std::optional<SearchRequest> request;
    // What is wrong with the line, for the message box; empty when nothing is.
    std::u16string problem;
    // -h, -?, /? or --help: the forms are shown, nothing else is done.
    bool help = false;
};

// Reads a whole command line as the system gives it (the program first).
CommandLineReading read_command_line(std::u16string_view command_line);

// The page whose tab caption (UTF-8) is `name`, ASCII case-insensitive.
std::optional<std::size_t> find_page(std::span<const std::string_view> captions, std::u16string_view name);

// The message box's text: the problem (when there is one), then the right
// forms, then the pages there are (when `captions` holds any).
std::u16string command_line_help(std::u16string_view problem, std::span<const std::string_view> captions = {});

// "没有叫“名字”的页。"
std::u16string unknown_page_problem(std::u16string_view name);

}  // namespace velvane
