#include "text/arguments.h"

#include <utility>

namespace velvane {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::u16string_view after_program(std::u16string_view command_line) {
    std::size_t end = 0;
    if (command_line.starts_with(u'"')) {
        const std::size_t close = command_line.find(u'"', 1);
        end = close == std::u16string_view::npos ? command_line.size() : close + 1;
    } else {
        while (end < command_line.size() && !is_blank(command_line[end])) ++end;
    }
    return command_line.substr(end);
}

std::u16string next_argument(std::u16string_view& text) {
    std::u16string argument;
    std::size_t i = 0;
    bool quoted = false;
    while (i < text.size() && (quoted || !is_blank(text[i]))) {
        if (text[i] == u'\\') {
            std::size_t backslashes = 0;
            for (; i < text.size() && text[i] == u'\\'; ++i) ++backslashes;
            if (i < text.size() && text[i] == u'"') {
                argument.append(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    argument += u'"';
                    ++i;
                }
            } else {
                argument.append(backslashes, u'\\');
            }
        } else if (text[i] == u'"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == u'"') {
                argument += u'"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            argument += text[i++];
        }
    }
    text.remove_prefix(i);
    return argument;
}

std::vector<std::u16string> split_command_line(std::u16string_view command_line) {
    std::u16string_view rest = after_program(command_line);
    std::u16string_view program = command_line.substr(0, command_line.size() - rest.size());
    if (program.starts_with(u'"')) {
        program.remove_prefix(1);
        if (program.ends_with(u'"')) program.remove_suffix(1);
    }
    std::vector<std::u16string> arguments{std::u16string(program)};
    for (;;) {
        while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
        if (rest.empty()) break;
        arguments.push_back(next_argument(rest));
    }
    return arguments;
}

}  // namespace velvane
