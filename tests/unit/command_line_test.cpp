// The command line of velvane.exe: a keyword, --search, --page, and what a
// wrong line says; and finding a page by the name written there.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"
#include "text/text.h"

namespace velvane {
namespace {

std::string shown(const CommandLineReading& reading) {
    if (reading.help) return "help";
    if (!reading.problem.empty()) return "problem: " + utf8_from_utf16(reading.problem);
    if (!reading.request) return "plain start";
    const SearchRequest& r = *reading.request;
    std::string out = r.search_now ? "search" : "show";
    if (r.page) out += " page <" + utf8_from_utf16(*r.page) + ">";
    return out + " keyword <" + utf8_from_utf16(r.keyword) + ">";
}

TEST(CommandLine, ReadsEveryFormAndRefusesWrongOnes) {
    struct Case {
        std::u16string_view line;
        std::string_view read;
    };
    const Case cases[] = {
        {u"velvane.exe", "plain start"},
        {u"\"C:\\Program Files\\速搜 工具\\velvane.exe\"   ", "plain start"},
        // The rest of the line is the keyword, blanks and quotes in it and all.
        {u"velvane.exe 中文", "show keyword <中文>"},
        {u"\"C:\\a b\\velvane.exe\" 中文  搜索 ", "show keyword <中文  搜索>"},
        {u"C:\\v\\velvane.exe \"中文 搜索\"", "show keyword <中文 搜索>"},
        {u"velvane.exe \"a \"\"b\"\" c\"", "show keyword <a \"b\" c>"},
        {u"velvane.exe a \"b c\"", "show keyword <a \"b c\">"},  // a phrase search stays one
        {u"velvane.exe \"a\" \"b\"", "show keyword <\"a\" \"b\">"},
        {u"velvane.exe C:\\Windows\\ -x %PATH%", "show keyword <C:\\Windows\\ -x %PATH%>"},
        {u"velvane.exe \"--verbose\"", "show keyword <--verbose>"},  // quoted: a keyword
        {u"velvane.exe -5度 --x", "show keyword <-5度 --x>"},        // options come first
        {u"velvane.exe 一\r\n二\t三", "show keyword <一  二 三>"},
        // --search and --page, in either order, ASCII case-insensitive.
        {u"velvane.exe --search 中文 搜索", "search keyword <中文 搜索>"},
        {u"velvane.exe --SEARCH \"a b\"", "search keyword <a b>"},
        {u"velvane.exe --page Google 中文", "show page <Google> keyword <中文>"},
        {u"velvane.exe --page \"360 搜索\" --search 中文", "search page <360 搜索> keyword <中文>"},
        {u"velvane.exe --search --page 必应 x", "search page <必应> keyword <x>"},
        {u"velvane.exe --page 狗狗", "show page <狗狗> keyword <>"},
        {u"velvane.exe\t--page\t有道\t\"--a\"", "show page <有道> keyword <--a>"},
        // Wrong lines: nothing is asked for.
        {u"velvane.exe --serach 中文", "problem: 不认识的选项：--serach"},
        {u"velvane.exe --page=百度 x", "problem: 不认识的选项：--page=百度"},
        {u"velvane.exe --", "problem: 不认识的选项：--"},
        {u"velvane.exe --search", "problem: --search 后面要写关键词。"},
        {u"velvane.exe --search \"\"", "problem: --search 后面要写关键词。"},
        {u"velvane.exe --page", "problem: --page 后面要写页名。"},
        {u"velvane.exe --page --search x", "problem: --page 后面要写页名。"},
        {u"velvane.exe --page \" \" x", "problem: --page 后面要写页名。"},
        {u"velvane.exe --page 百度 --page 谷歌", "problem: --page 只能写一次。"},
        {u"velvane.exe /?", "help"},
        {u"velvane.exe --help", "help"},
        {u"velvane.exe -h", "help"},
        {u"velvane.exe -hello", "show keyword <-hello>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8_from_utf16(c.line));
        EXPECT_EQ(shown(read_command_line(c.line)), c.read);
    }
}

TEST(CommandLine, FindsAPageByItsCaptionOrSectionName) {
    const std::vector<std::string_view> captions = {"百度", "Google", "雅虎", "github", "GitHub", "360 搜索"};
    EXPECT_EQ(find_page(captions, u"百度"), 0u);
    EXPECT_EQ(find_page(captions, u"google"), 1u);
    EXPECT_EQ(find_page(captions, u"GOOGLE"), 1u);
    EXPECT_EQ(find_page(captions, u"GitHub"), 4u);  // the exact name before another case
    EXPECT_EQ(find_page(captions, u"GITHUB"), 3u);
    EXPECT_EQ(find_page(captions, u"360 搜索"), 5u);
    EXPECT_EQ(find_page(captions, u"360搜索"), std::nullopt);
    EXPECT_EQ(find_page(captions, u"百"), std::nullopt);
    EXPECT_EQ(find_page({}, u"百度"), std::nullopt);

    // The message names the problem, the forms and the pages there are.
    const std::string text =
        utf8_from_utf16(command_line_help(unknown_page_problem(u"谷歌"), std::span(captions).first(2)));
    EXPECT_TRUE(text.starts_with("没有叫“谷歌”的页。\n\n用法：\nvelvane.exe 关键词\n")) << text;
    EXPECT_NE(text.find("velvane.exe --search 关键词"), std::string::npos);
    EXPECT_NE(text.find("velvane.exe --page 页名 [--search] [关键词]"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n\n现有的页：百度、Google")) << text;
}

}  // namespace
}  // namespace velvane
