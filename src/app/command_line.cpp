#include "app/command_line.h"

#include <algorithm>

#include "text/arguments.h"
#include "text/text.h"

namespace velvane {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t lower_ascii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool same_ascii_lower(std::u16string_view text, std::u16string_view lower) {
    return text.size() == lower.size() && std::equal(text.begin(), text.end(), lower.begin(),
                                                     [](char16_t c, char16_t l) { return lower_ascii(c) == l; });
}

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// The keyword: the rest of the line, or what its quotes hold when it is one
// quoted argument. Line breaks and other control characters, which a
// one-line box cannot show, become blanks.
std::u16string keyword_of(std::u16string_view rest) {
    rest = trimmed(rest);
    std::u16string keyword(rest);
    if (rest.starts_with(u'"')) {
        std::u16string_view after = rest;
        std::u16string whole = next_argument(after);
        if (after.empty()) keyword = std::move(whole);
    }
    for (char16_t& c : keyword)
        if (c < 0x20 || c == 0x7F) c = u' ';
    return std::u16string(trimmed(keyword));
}

constexpr std::u16string_view kForms =
    u"用法：\n"
    u"velvane.exe 关键词\n"
    u"        显示窗口，关键词放在当前页的搜索框里\n"
    u"velvane.exe --search 关键词\n"
    u"        用当前页选中的分类立即搜索\n"
    u"velvane.exe --page 页名 [--search] [关键词]\n"
    u"        先换到这一页：内置的页写标签上的名字，\n"
    u"        自己的页写 Engines.ini 里的节名\n"
    u"\n"
    u"关键词里有空格时加不加引号都可以；以 -- 开头的关键词要加引号。";

}  // namespace

CommandLineReading read_command_line(std::u16string_view command_line) {
    CommandLineReading reading;
    std::u16string_view rest = trimmed(after_program(command_line));
    if (rest.empty()) return reading;

    SearchRequest request;
    while (true) {
        rest = trimmed(rest);
        // An option is an unquoted word that starts with -- (or one of the
        // usual ways of asking for help).
        std::size_t word_end = 0;
        while (word_end < rest.size() && !is_blank(rest[word_end]) && rest[word_end] != u'"') ++word_end;
        const std::u16string_view word = rest.substr(0, word_end);
        const bool ends_there = word_end == rest.size() || is_blank(rest[word_end]);
        if (ends_there && (word == u"/?" || word == u"-?" || same_ascii_lower(word, u"-h"))) {
            reading.help = true;
            return reading;
        }
        if (!word.starts_with(u"--")) break;
        rest.remove_prefix(word.size());
        if (!ends_there) {
            reading.problem = u"不认识的选项：" + std::u16string(word) + u"…";
            return reading;
        }
        if (same_ascii_lower(word, u"--help")) {
            reading.help = true;
            return reading;
        } else if (same_ascii_lower(word, u"--search")) {
            request.search_now = true;
        } else if (same_ascii_lower(word, u"--page")) {
            if (request.page) {
                reading.problem = u"--page 只能写一次。";
                return reading;
            }
            rest = trimmed(rest);
            const bool option_next = rest.starts_with(u"--");
            std::u16string name = option_next ? std::u16string() : next_argument(rest);
            if (trimmed(name).empty()) {
                reading.problem = u"--page 后面要写页名。";
                return reading;
            }
            request.page = std::u16string(trimmed(name));
        } else {
            reading.problem = u"不认识的选项：" + std::u16string(word);
            return reading;
        }
    }
    request.keyword = keyword_of(rest);
    if (request.search_now && request.keyword.empty()) {
        reading.problem = u"--search 后面要写关键词。";
        return reading;
    }
    reading.request = std::move(request);
    return reading;
}

std::optional<std::size_t> find_page(std::span<const std::string_view> captions, std::u16string_view name) {
    // The exact name first: user pages "abc" and "ABC" are two pages.
    const std::u16string_view wanted = trimmed(name);
    for (std::size_t i = 0; i < captions.size(); ++i)
        if (utf16_from_utf8(captions[i]) == wanted) return i;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        std::u16string caption = utf16_from_utf8(captions[i]);
        std::transform(caption.begin(), caption.end(), caption.begin(), lower_ascii);
        if (same_ascii_lower(wanted, caption)) return i;
    }
    return std::nullopt;
}

std::u16string command_line_help(std::u16string_view problem, std::span<const std::string_view> captions) {
    std::u16string text;
    if (!problem.empty()) text += std::u16string(problem) + u"\n\n";
    text += kForms;
    if (!captions.empty()) {
        text += u"\n\n现有的页：";
        for (std::size_t i = 0; i < captions.size(); ++i) {
            if (i > 0) text += u"、";
            text += utf16_from_utf8(captions[i]);
        }
    }
    return text;
}

std::u16string unknown_page_problem(std::u16string_view name) { return u"没有叫“" + std::u16string(name) + u"”的页。"; }

}  // namespace velvane
