#include "text/browser_command.h"

#include <algorithm>
#include <utility>

#include "text/encoder.h"

namespace velvane {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trim_leading_blanks(std::u16string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    return text;
}

char16_t lower_ascii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Where an unquoted program ends: after the first ".exe" followed by a blank
// or the end, else at the first blank.
std::size_t unquoted_program_end(std::u16string_view command) {
    constexpr std::u16string_view kExe = u".exe";
    for (std::size_t at = 0; at + kExe.size() <= command.size(); ++at) {
        const std::size_t end = at + kExe.size();
        if (end < command.size() && !is_blank(command[end])) continue;
        if (std::equal(kExe.begin(), kExe.end(), command.begin() + static_cast<std::ptrdiff_t>(at),
                       [](char16_t e, char16_t c) { return e == lower_ascii(c); }))
            return end;
    }
    return std::min(command.find_first_of(u" \t"), command.size());
}

// What a "%" in the arguments stands for: the URL, an argument there is none
// of, or itself.
enum class Marker { None, Url, Dropped };

constexpr std::u16string_view kUrlInBraces = u"{url}";

// The marker at `at` and how many units it takes.
std::pair<Marker, std::size_t> marker_at(std::u16string_view arguments, std::size_t at, UrlMarker kind) {
    if (kind == UrlMarker::Braces) {
        const std::u16string_view here = arguments.substr(at, kUrlInBraces.size());
        const bool url = here.size() == kUrlInBraces.size() &&
                         std::equal(here.begin(), here.end(), kUrlInBraces.begin(),
                                    [](char16_t c, char16_t lower) { return lower_ascii(c) == lower; });
        return {url ? Marker::Url : Marker::None, url ? kUrlInBraces.size() : 1};
    }
    if (arguments[at] != u'%' || at + 1 >= arguments.size()) return {Marker::None, 1};
    const char16_t c = arguments[at + 1];
    if (c == u'1' || c == u'L' || c == u'l') return {Marker::Url, 2};
    if (c == u'*' || (c >= u'2' && c <= u'9')) return {Marker::Dropped, 2};
    return {Marker::None, 1};
}

}  // namespace

BrowserCommand split_browser_command(std::u16string_view command) {
    command = trim_leading_blanks(command);
    BrowserCommand split;
    if (command.empty()) return split;
    std::size_t rest = 0;
    if (command.front() == u'"') {
        const std::size_t close = command.find(u'"', 1);
        split.program = command.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1);
        rest = close == std::u16string_view::npos ? command.size() : close + 1;
    } else {
        rest = unquoted_program_end(command);
        split.program = command.substr(0, rest);
    }
    std::u16string_view arguments = trim_leading_blanks(command.substr(rest));
    while (!arguments.empty() && is_blank(arguments.back())) arguments.remove_suffix(1);
    split.arguments = arguments;
    return split;
}

std::u16string browser_command_line(const BrowserCommand& command, std::u16string_view url, std::size_t max_units) {
    // The line without the URL, and how many times the URL goes in.
    const std::u16string_view arguments = command.arguments;
    std::size_t fixed = 2 + command.program.size();  // the program in quotes
    std::size_t places = 0;
    for (std::size_t i = 0; i < arguments.size();) {
        const auto [marker, length] = marker_at(arguments, i, command.marker);
        if (marker == Marker::Url) ++places;
        if (marker == Marker::None) ++fixed;
        i += length;
    }
    if (!arguments.empty()) ++fixed;  // the blank before them
    const bool appended = places == 0;
    if (appended) {
        fixed += 3;  // a blank and two quotes
        places = 1;
    }
    const std::size_t room = max_units > fixed ? (max_units - fixed) / places : 0;
    const std::u16string_view fitting = cut_url(url, room);

    std::u16string line;
    line.reserve(fixed + places * fitting.size());
    line += u'"';
    line += command.program;
    line += u'"';
    if (!arguments.empty()) line += u' ';
    for (std::size_t i = 0; i < arguments.size();) {
        const auto [marker, length] = marker_at(arguments, i, command.marker);
        if (marker == Marker::Url) line += fitting;
        if (marker == Marker::None) line += arguments[i];
        i += length;
    }
    if (appended) {
        line += u" \"";
        line += fitting;
        line += u'"';
    }
    return line;
}

}  // namespace velvane
