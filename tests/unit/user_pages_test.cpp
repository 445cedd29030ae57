// The reader of the user's engines file: encodings, problems with their line
// numbers, limits, the layout of the pages it makes and the example file.
#include <gtest/gtest.h>

#include <optional>

#include "engines/user_pages.h"
#include "text/text.h"

namespace velvane {
namespace {

// A page as text, to compare readings: everything the window and the page
// algorithm use.
std::string summary(const UserPages& read) {
    std::string out;
    const auto rect = [](const Rect& r) {
        return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.width) + "," +
               std::to_string(r.height) + ")";
    };
    for (const UserPage& page : read.pages()) {
        const Engine& e = page.engine;
        out += "[" + std::string(e.tab_caption) + "] mark " + std::string(page.mark) + "\n";
        for (const CategoryRadio& r : e.radios)
            out += "radio " + std::string(r.caption) + rect(r.rect) + " " + std::string(r.url.path) + "\n";
        for (const ListItem& i : e.list) out += "list " + std::string(i.caption) + " " + std::string(i.url.path) + "\n";
        out += "list at " + rect(e.list_rect) + " edit " + rect(e.edit_rect) + " button " + rect(e.button_rect) + "\n";
        out += "home " + std::string(e.home.path) + "\n";
    }
    return out;
}

std::vector<std::pair<int, UserPagesFault>> faults(const UserPages& read) {
    std::vector<std::pair<int, UserPagesFault>> out;
    for (const UserPagesProblem& p : read.problems()) out.emplace_back(p.line, p.fault);
    return out;
}

std::string as_utf16(std::string_view utf8, bool big_endian) {
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : utf16_from_utf8(utf8)) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += big_endian ? hi : lo;
        out += big_endian ? lo : hi;
    }
    return out;
}

std::string as_gbk(std::string_view utf8) {
    const CodePageBytes gbk = system_code_pages().encode(utf8, KeywordCharset::Gbk);
    EXPECT_FALSE(gbk.unencodable);
    return gbk.bytes;
}

// Blanks and tabs around everything, CRLF, LF and a lone CR, comments of both
// kinds, key names in any case.
constexpr std::string_view kTwoPages =
    "; 两页\r\n"
    "# 注释\n"
    "[ 必应 ]\r\n"
    "radio = 网页 | https://cn.bing.com/search?q={keyword}\r\n"
    "\tRADIO\t=\t图片\t|\thttps://cn.bing.com/images/search?q={keyword}  \r"
    "more=词典|https://cn.bing.com/dict/search?q={keyword}\n"
    "home = https://cn.bing.com/\n"
    "\n"
    "[某论坛]\n"
    "radio = 帖子 | http://bbs.example.cn/search.php?mod=forum&srchtxt={keyword:gbk}\n";

constexpr std::string_view kTwoPagesRead =
    "[必应] mark 必\n"
    "radio 网页(8,45,48,20) https://cn.bing.com/search?q={keyword}\n"
    "radio 图片(56,45,48,20) https://cn.bing.com/images/search?q={keyword}\n"
    "list 词典 https://cn.bing.com/dict/search?q={keyword}\n"
    "list at (376,45,72,20) edit (56,80,280,24) button (344,80,62,24)\n"
    "home https://cn.bing.com/\n"
    "[某论坛] mark 某\n"
    "radio 帖子(8,45,48,20) http://bbs.example.cn/search.php?mod=forum&srchtxt={keyword:gbk}\n"
    "list at (0,0,0,0) edit (56,80,280,24) button (344,80,62,24)\n"
    "home \n";

TEST(UserPagesReader, ReadsTheSameFileInEveryEncoding) {
    const struct {
        std::string_view encoding;
        std::string bytes;
    } files[] = {
        {"UTF-8", std::string(kTwoPages)},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + std::string(kTwoPages)},
        {"UTF-16LE", as_utf16(kTwoPages, false)},
        {"UTF-16BE", as_utf16(kTwoPages, true)},
        {"GBK", as_gbk(kTwoPages)},
    };
    for (const auto& file : files) {
        const UserPages read = read_user_pages(file.bytes);
        EXPECT_EQ(summary(read), kTwoPagesRead) << file.encoding;
        EXPECT_EQ(read.problem_count(), 0u) << file.encoding;
    }
}

TEST(UserPagesReader, PagesFeedThePageAlgorithm) {
    const UserPages read = read_user_pages(as_gbk(kTwoPages));
    ASSERT_EQ(read.pages().size(), 2u);
    const Engine& bing = read.pages()[0].engine;
    const Engine& forum = read.pages()[1].engine;
    EncoderScratch scratch;

    PageState state = initial_state(bing);
    EXPECT_EQ(state.radios, std::vector<bool>({true, false}));
    state.keyword = "中";
    EXPECT_EQ(page_search(bing, state, scratch), std::vector<std::string>{"https://cn.bing.com/search?q=%E4%B8%AD"});
    state.list_index = 0;
    EXPECT_EQ(list_pick(bing, state, scratch), std::vector<std::string>{"https://cn.bing.com/dict/search?q=%E4%B8%AD"});
    state.keyword.clear();
    EXPECT_EQ(page_search(bing, state, scratch), std::vector<std::string>{"https://cn.bing.com/"});

    state = initial_state(forum);
    state.keyword = "中";
    EXPECT_EQ(page_search(forum, state, scratch),
              std::vector<std::string>{"http://bbs.example.cn/search.php?mod=forum&srchtxt=%D6%D0"});
    state.keyword.clear();
    EXPECT_EQ(page_search(forum, state, scratch), std::vector<std::string>{});  // no home

    // The tables outlive the reading they came from in any copy.
    UserPages copy;
    {
        const UserPages again = read_user_pages(kTwoPages);
        copy = again;
    }
    EXPECT_EQ(summary(copy), kTwoPagesRead);
}

TEST(UserPagesReader, SkipsEachKindOfProblemLineWithItsNumber) {
    constexpr std::string_view file =
        "radio = 早 | https://a.cn/?q={keyword}\n"                    // 1 before any page
        "[甲]\n"                                                      // 2
        "radio = 网页 https://a.cn/?q={keyword}\n"                    // 3 no "|"
        "radio =  | https://a.cn/?q={keyword}\n"                      // 4 no name
        "radio = 文件 | file:///C:/x.exe\n"                           // 5 not http
        "radio = 脚本 | javascript:alert(1)\n"                        // 6 not http
        "radio = 未知 | https://a.cn/?q={kw}\n"                       // 7 unknown placeholder
        "radio = 混合 | https://a.cn/?q={keyword}&g={keyword:gbk}\n"  // 8 two code pages
        "button = 搜 | https://a.cn/?q={keyword}\n"                   // 9 unknown key
        "就这一行\n"                                                  // 10 no "="
        "radio = 好 | https://a.cn/?q={keyword}\n"                    // 11 good
        "home = https://a.cn/\n"                                      // 12 good
        "home = https://b.cn/\n"                                      // 13 second home
        "[乙\n"                                                       // 14 no "]": its lines are skipped
        "radio = 跳过 | https://a.cn/?q={keyword}\n"                  // 15
        "[甲]\n"                                                      // 16 repeated: skipped
        "radio = 也跳过 | https://a.cn/?q={keyword}\n"                // 17
        "[空]\n"                                                      // 18 nothing usable
        "home = https://c.cn/\n"                                      // 19
        "[]\n"                                                        // 20 no name
        "[丙]\n"                                                      // 21
        "more = 好 | https://a.cn/?q={keyword:raw}\n"                 // 22 good
        "radio = 控\x01制 | https://a.cn/\n";                         // 23 a control character
    const UserPages read = read_user_pages(file);
    using F = UserPagesFault;
    EXPECT_EQ(faults(read), (std::vector<std::pair<int, F>>{{1, F::OutsidePage},
                                                            {3, F::MissingBar},
                                                            {4, F::MissingName},
                                                            {5, F::NotHttp},
                                                            {6, F::NotHttp},
                                                            {7, F::UnknownPlaceholder},
                                                            {8, F::MixedCharsets},
                                                            {9, F::UnknownKey},
                                                            {10, F::UnusableLine},
                                                            {13, F::DuplicateHome},
                                                            {14, F::UnusableLine},
                                                            {16, F::DuplicatePage},
                                                            {18, F::EmptyPage},
                                                            {20, F::UnusableLine},
                                                            {23, F::UnusableLine}}));
    EXPECT_EQ(read.problem_count(), 15u);
    ASSERT_EQ(read.pages().size(), 2u);
    EXPECT_EQ(read.pages()[0].engine.tab_caption, "甲");
    EXPECT_EQ(read.pages()[0].engine.radios.size(), 1u);
    EXPECT_EQ(read.pages()[0].engine.home.path, "https://a.cn/");
    EXPECT_EQ(read.pages()[1].engine.tab_caption, "丙");
    EXPECT_EQ(read.pages()[1].line, 21);

    EXPECT_EQ(describe_problem(read.problems()[5]), "第 7 行：不认识的占位符：{kw}");
    // The balloon shows the first three, each piece of the line cut short.
    EXPECT_EQ(user_pages_problem_text(read),
              "Engines.ini 有 15 处问题，这些行没有用上：\n"
              "第 1 行：这一行不在任何一节（[页名]）里：radio = 早 | https://a.…\n"
              "第 3 行：缺少“|”（写法：名字 | 网址）：网页 https://a.cn/?q={…\n"
              "第 4 行：“|”前面缺少名字：| https://a.cn/?q={keywo…\n"
              "还有 12 处。");
    EXPECT_EQ(user_pages_problem_text(read_user_pages(kTwoPages)), "");
}

// One search of a radio, more or home line with several addresses opens
// them all, in the order written, each with its own code page; a line with a
// bad address among them, or too many, is skipped whole.
TEST(UserPagesReader, ALineWithSeveralAddressesOpensAllOfThemOrIsSkipped) {
    using F = UserPagesFault;
    struct Case {
        std::string_view line;
        std::string_view keyword;
        std::vector<std::string> urls;  // none: the line was skipped
        std::optional<F> fault = std::nullopt;
    };
    const std::string nine = "radio = 九 " + [] {
        std::string bars;
        for (int i = 1; i <= 9; ++i) bars += "| https://s" + std::to_string(i) + ".cn/?q={keyword} ";
        return bars;
    }();
    const std::string eight = nine.substr(0, nine.rfind('|'));
    std::vector<std::string> eight_urls;
    for (int i = 1; i <= 8; ++i) eight_urls.push_back("https://s" + std::to_string(i) + ".cn/?q=a");
    const Case cases[] = {
        {"radio = 全网 | https://cn.bing.com/search?q={keyword} | https://www.so.com/s?q={keyword}"
         " | https://s.1688.com/selloffer/offer_search.htm?keywords={keyword:gbk}",
         "中",
         {"https://cn.bing.com/search?q=%E4%B8%AD", "https://www.so.com/s?q=%E4%B8%AD",
          "https://s.1688.com/selloffer/offer_search.htm?keywords=%D6%D0"}},
        {"radio=甲乙|http://a.cn/?q={keyword:big5}|https://b.cn/?q={keyword:raw}",
         "中 x",
         {"http://a.cn/?q=%A4%A4%20x", "https://b.cn/?q=中%20x"}},
        // A "|" that belongs in an address is %7C: the address stays one.
        {"radio = 或 | https://a.cn/?q={keyword}%7Cy | https://b.cn/", "x", {"https://a.cn/?q=x%7Cy", "https://b.cn/"}},
        {eight, "a", eight_urls},
        {nine, "a", {}, F::TooManyAddresses},
        {"radio = 坏 | https://a.cn/?q={keyword} | ftp://b.cn/{keyword}", "a", {}, F::NotHttp},
        {"radio = 空 | https://a.cn/?q={keyword} | ", "a", {}, F::NotHttp},
        {"radio = 空 | | https://a.cn/?q={keyword}", "a", {}, F::NotHttp},
        {"radio = 未知 | https://a.cn/?q={keyword} | https://b.cn/?q={kw}", "a", {}, F::UnknownPlaceholder},
        // Each address has a code page of its own; one address that cannot
        // hold the keyword opens none of them.
        {"radio = 表情 | https://a.cn/?q={keyword} | https://b.cn/?q={keyword:gbk}", "😀", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const UserPages read = read_user_pages("[页]\nmore = 留 | https://keep.cn/\n" + std::string(c.line) + "\n");
        ASSERT_EQ(read.pages().size(), 1u);
        const Engine& engine = read.pages()[0].engine;
        if (c.fault) {
            EXPECT_EQ(faults(read), (std::vector<std::pair<int, F>>{{3, *c.fault}}));
            EXPECT_TRUE(engine.radios.empty());
            continue;
        }
        EXPECT_EQ(read.problem_count(), 0u);
        ASSERT_EQ(engine.radios.size(), 1u);
        EncoderScratch scratch;
        PageState state = initial_state(engine);
        state.keyword = c.keyword;
        EXPECT_EQ(page_search(engine, state, scratch), c.urls);
    }

    // A more line and home as well; the home opens for an empty keyword.
    const UserPages read = read_user_pages(
        "[页]\nmore = 两站 | https://a.cn/?q={keyword} | https://b.cn/?q={keyword:gbk}\n"
        "home = https://a.cn/ | https://b.cn/\n");
    ASSERT_EQ(read.problem_count(), 0u);
    const Engine& engine = read.pages()[0].engine;
    EncoderScratch scratch;
    PageState state = initial_state(engine);
    state.keyword = "中";
    state.list_index = 0;
    EXPECT_EQ(list_pick(engine, state, scratch),
              (std::vector<std::string>{"https://a.cn/?q=%E4%B8%AD", "https://b.cn/?q=%D6%D0"}));
    state.keyword.clear();
    EXPECT_EQ(page_search(engine, state, scratch), (std::vector<std::string>{"https://a.cn/", "https://b.cn/"}));
    EXPECT_EQ(describe_problem({3, F::TooManyAddresses, "九"}), "第 3 行：一行最多 8 个网址，这一行没有用：九");
}

// browser = "程序路径" 参数: the program by its full path (blanks and Chinese
// in it), the arguments as written; where the URL goes is the launch's to
// say (browser_command_test).
TEST(UserPagesReader, ABrowserLineNamesAProgramByItsFullPath) {
    struct Case {
        std::string_view value;
        std::string_view program;  // empty: refused
        std::string_view arguments;
    };
    const Case cases[] = {
        {R"("C:\Program Files\火狐 浏览器\firefox.exe" -private-window)", R"(C:\Program Files\火狐 浏览器\firefox.exe)",
         "-private-window"},
        {R"(C:\Program Files\Google\Chrome\Application\chrome.exe --incognito)",
         R"(C:\Program Files\Google\Chrome\Application\chrome.exe)", "--incognito"},
        {R"("%LOCALAPPDATA%\Programs\b.exe" --app={url} --x)", R"(%LOCALAPPDATA%\Programs\b.exe)", "--app={url} --x"},
        {R"("D:/浏览器/b.exe")", "D:/浏览器/b.exe", ""},
        {R"("\\server\share\b.exe" "{url}")", R"(\\server\share\b.exe)", R"("{url}")"},
        {"msedge.exe --inprivate", "msedge.exe", "--inprivate"},  // looked up in PATH
        {R"("C:\b.exe)", "", ""},                                 // no closing quote
        {R"("" {url})", "", ""},
        {R"(b\b.exe)", "", ""},  // relative to what?
        {R"(..\b.exe --x)", "", ""},
        {R"(C:b.exe)", "", ""},
        {R"(C:\a"b.exe)", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const UserPages read =
            read_user_pages("[页]\nradio = 网页 | https://a.cn/?q={keyword}\nbrowser = " + std::string(c.value) + "\n");
        ASSERT_EQ(read.pages().size(), 1u);
        const PageBrowser& browser = read.pages()[0].engine.browser;
        if (c.program.empty()) {
            EXPECT_EQ(faults(read), (std::vector<std::pair<int, UserPagesFault>>{{3, UserPagesFault::BadBrowser}}));
            EXPECT_TRUE(browser.program.empty());
        } else {
            EXPECT_EQ(read.problem_count(), 0u);
            EXPECT_EQ(browser.program, c.program);
            EXPECT_EQ(browser.arguments, c.arguments);
        }
    }
    // One browser a page; a page without one uses the default browser.
    const UserPages read = read_user_pages(
        "[甲]\nbrowser = \"C:\\a.exe\"\nradio = 网页 | https://a.cn/\nbrowser = C:\\b.exe\n[乙]\nmore = x | "
        "https://b.cn/\n");
    EXPECT_EQ(faults(read), (std::vector<std::pair<int, UserPagesFault>>{{4, UserPagesFault::DuplicateBrowser}}));
    ASSERT_EQ(read.pages().size(), 2u);
    EXPECT_EQ(read.pages()[0].engine.browser.program, "C:\\a.exe");
    EXPECT_TRUE(read.pages()[1].engine.browser.program.empty());
}

TEST(UserPagesReader, KeepsToItsLimits) {
    std::string many_pages;
    for (int i = 1; i <= 33; ++i) many_pages += "[页" + std::to_string(i) + "]\nradio = 网页 | https://a.cn/?q=%s\n";
    const UserPages pages = read_user_pages(many_pages);
    EXPECT_EQ(pages.pages().size(), 32u);
    EXPECT_EQ(faults(pages), (std::vector<std::pair<int, UserPagesFault>>{{65, UserPagesFault::TooManyPages}}));

    std::string many_lines = "[多]\n";
    for (int i = 1; i <= 65; ++i) many_lines += "more = 第" + std::to_string(i) + " | https://a.cn/?q=%s\n";
    const UserPages lines = read_user_pages(many_lines);
    EXPECT_EQ(lines.pages()[0].engine.list.size(), 64u);
    EXPECT_EQ(faults(lines), (std::vector<std::pair<int, UserPagesFault>>{{66, UserPagesFault::TooManyLines}}));

    // A file past the size limit: the whole lines before the limit are read.
    std::string large = "[大]\r\nradio = 网页 | https://a.cn/?q=%s\r\n";
    while (large.size() <= kUserPagesMaxBytes) large += "; 填充填充填充填充填充填充填充填充填充\r\n";
    const int line_count = static_cast<int>(std::count(large.begin(), large.end(), '\n'));
    large += "[后]\r\nradio = 网页 | https://b.cn/?q=%s\r\n";
    const UserPages big = read_user_pages(large);
    ASSERT_EQ(big.pages().size(), 1u);
    ASSERT_EQ(big.problem_count(), 1u);
    EXPECT_EQ(big.problems()[0].fault, UserPagesFault::FileTooLarge);
    EXPECT_EQ(big.problems()[0].line, line_count);  // the line the limit cuts
}

TEST(UserPagesReader, StrayBytesNeverStopTheReading) {
    // Not valid UTF-8, so GBK: a lead byte 0x81 with no trail byte decodes to U+FFFD.
    const UserPages read = read_user_pages("[\xD6\xD0]\nradio = a | https://a.cn/?q=%s\n[x\x81 ]\n");
    ASSERT_EQ(read.pages().size(), 1u);
    EXPECT_EQ(read.pages()[0].engine.tab_caption, "中");
    EXPECT_EQ(faults(read), (std::vector<std::pair<int, UserPagesFault>>{{3, UserPagesFault::EmptyPage}}));
    EXPECT_EQ(read.problems()[0].detail, "x\xEF\xBF\xBD");
    // An odd byte at the end of UTF-16 is dropped.
    EXPECT_EQ(read_user_pages(as_utf16("[页]\nmore = a | https://a.cn/\n", false) + "X").pages().size(), 1u);
}

// A UTF-8 file without a byte order mark that ends inside a character, cut
// at the size limit or caught while an editor writes it, is still read as
// UTF-8: the piece of a character goes. (As GBK, 必应 would be 蹇呭簲.)
TEST(UserPagesReader, UtfEightCutInsideACharacterStaysUtfEight) {
    const std::string page = "[必应]\nradio = 网页 | https://cn.bing.com/search?q={keyword}\n";
    for (const std::string_view last : {std::string_view("中"), std::string_view("\xF0\x9F\x98\x80")}) {
        for (std::size_t kept = 1; kept < last.size(); ++kept) {
            SCOPED_TRACE(std::to_string(kept) + " of " + std::to_string(last.size()) + " bytes");
            // Caught while being written: the complete lines are there.
            const UserPages written = read_user_pages(page + "[半" + std::string(last.substr(0, kept)));
            ASSERT_EQ(written.pages().size(), 1u);
            EXPECT_EQ(written.pages()[0].engine.tab_caption, "必应");

            // Cut at the size limit: the lines before the cut are read.
            std::string large = page;
            while (large.size() < kUserPagesMaxBytes - 64) large += "; 填充\n";
            large += "; ";
            large.append(kUserPagesMaxBytes - kept - large.size(), 'x');
            large += last;
            large += "\n[后]\nmore = x | https://b.cn/\n";
            ASSERT_EQ(large.substr(kUserPagesMaxBytes - kept, last.size()), last);
            const UserPages cut = read_user_pages(large);
            ASSERT_EQ(cut.pages().size(), 1u);
            EXPECT_EQ(cut.pages()[0].engine.tab_caption, "必应");
            ASSERT_EQ(faults(cut).size(), 1u);
            EXPECT_EQ(faults(cut)[0].second, UserPagesFault::FileTooLarge);
        }
    }
    // ASCII and then one GBK character whose bytes begin a UTF-8 character
    // (喔 is E0 B8) is GBK, as it always was: nothing before it says UTF-8.
    const UserPages gbk = read_user_pages("[p]\nmore = x | https://a.cn/\n[" + as_gbk("喔"));
    ASSERT_EQ(gbk.pages().size(), 1u);
    ASSERT_EQ(gbk.problems().size(), 1u);
    EXPECT_EQ(gbk.problems()[0].detail, "[喔");
}

// The crafted file: as many empty sections as the size limit holds, then
// each name once more. Every section is a problem, each checked against the
// names before it in constant time (how long it takes is the bench's to
// say); the balloon gives one line per kind of problem, not one per section.
TEST(UserPagesReader, AFileOfEmptySectionsGivesOneLinePerKind) {
    std::string file;
    std::size_t names = 0;
    while (file.size() < kUserPagesMaxBytes / 2 - 16) file += "[" + std::to_string(names++) + "]\n";
    const std::string first_round = file;
    file += first_round;
    file += "[x";  // and a line cut short
    const UserPages read = read_user_pages(file);

    EXPECT_TRUE(read.pages().empty());
    EXPECT_EQ(read.problem_count(), 2 * names + 1);
    ASSERT_EQ(read.problems().size(), UserPages::kKeptProblems);
    EXPECT_EQ(read.problems().back().line, static_cast<int>(UserPages::kKeptProblems));
    EXPECT_EQ(user_pages_problem_text(read), "Engines.ini 有 " + std::to_string(2 * names + 1) +
                                                 " 处问题，这些行没有用上：\n"
                                                 "第 1 行：这一页没有可用的 radio 或 more 行：0（同样的还有 " +
                                                 std::to_string(names - 1) +
                                                 " 处）\n"
                                                 "第 " +
                                                 std::to_string(names + 1) +
                                                 " 行：页名重复，这一节没有读：0（同样的还有 " +
                                                 std::to_string(names - 1) +
                                                 " 处）\n"
                                                 "第 " +
                                                 std::to_string(2 * names + 1) + " 行：看不懂这一行：[x");
}

TEST(UserPageLayout, RadiosFillTwoRowsAndGoOnInTheList) {
    std::vector<std::string_view> captions(5, "网页");
    UserPageLayout layout = lay_out_user_page(captions, 0);
    ASSERT_EQ(layout.radios.size(), 5u);
    EXPECT_FALSE(layout.has_list);
    EXPECT_EQ(layout.radios[4].left, 8 + 4 * 48);
    EXPECT_EQ(layout.radios[4].top, 45);
    EXPECT_EQ(layout.edit.top, 80);

    // 20 two-character radios: 18 would fit two full rows, so a list is
    // needed, and beside it 7 fit a row, 14 in two rows.
    captions.assign(20, "网页");
    layout = lay_out_user_page(captions, 0);
    EXPECT_TRUE(layout.has_list);
    ASSERT_EQ(layout.radios.size(), 14u);
    EXPECT_EQ(layout.radios[6].left + layout.radios[6].width, 8 + 7 * 48);
    EXPECT_LE(layout.radios[6].left + layout.radios[6].width, layout.list.left);
    EXPECT_EQ(layout.radios[7].left, 8);
    EXPECT_EQ(layout.radios[7].top, layout.radios[0].top + 22);
    EXPECT_LE(layout.radios[7].top + layout.radios[7].height, layout.edit.top);
    EXPECT_LE(layout.edit.top + layout.edit.height, 136);

    // Long captions get their width; one too long for a row is cut to it.
    captions = {"GitHub Issues", std::string_view("一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十")};
    layout = lay_out_user_page(captions, 1);
    ASSERT_EQ(layout.radios.size(), 2u);
    EXPECT_EQ(layout.radios[0].width, 24 + 13 * 7);
    EXPECT_EQ(layout.radios[1].left, 8);
    EXPECT_EQ(layout.radios[1].left + layout.radios[1].width, layout.list.left - 8);

    // In the reader, overflow radios come first in the list, then the more lines.
    std::string file = "[多]\n";
    for (int i = 0; i < 16; ++i)
        file += "radio = 第" + std::to_string(i % 10) + "类 | https://a.cn/?q=%s&n=" + std::to_string(i) + "\n";
    file += "more = 更多 | https://a.cn/more?q=%s\n";
    const UserPages read = read_user_pages(file);
    const Engine& engine = read.pages()[0].engine;
    ASSERT_EQ(engine.radios.size(), 12u);  // "第1类" needs 55 pixels: 6 a row
    ASSERT_EQ(engine.list.size(), 5u);
    EXPECT_EQ(engine.list[0].url.path, "https://a.cn/?q=%s&n=12");
    EXPECT_EQ(engine.list[4].caption, "更多");
}

TEST(UserPagesReader, MarksAreStablePerName) {
    const UserPages a = read_user_pages(kTwoPages);
    const UserPages b = read_user_pages("[某论坛]\nmore = x | https://a.cn/\n[必应]\nmore = x | https://a.cn/\n");
    EXPECT_EQ(a.pages()[0].mark_colour, b.pages()[1].mark_colour);
    EXPECT_EQ(a.pages()[1].mark_colour, b.pages()[0].mark_colour);
    EXPECT_EQ(read_user_pages("[GitHub]\nmore = x | https://a.cn/\n").pages()[0].mark, "G");
}

TEST(UserPagesExample, ReadsWithNoProblemAndSearchesToday) {
    ASSERT_TRUE(kUserPagesExample.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(kUserPagesExample.find("\n"), kUserPagesExample.find("\r\n") + 1);  // CRLF
    const UserPages read = read_user_pages(kUserPagesExample);
    EXPECT_EQ(user_pages_problem_text(read), "");
    std::vector<std::string_view> names;
    for (const UserPage& page : read.pages()) names.push_back(page.engine.tab_caption);
    EXPECT_EQ(names, (std::vector<std::string_view>{"必应", "360 搜索", "知乎", "哔哩哔哩", "微博", "豆瓣", "京东",
                                                    "维基百科", "GitHub", "1688", "全网"}));
    for (const UserPage& page : read.pages()) {
        EXPECT_FALSE(page.engine.radios.empty()) << page.engine.tab_caption;
        EXPECT_TRUE(page.engine.home.path.starts_with("https://")) << page.engine.tab_caption;
    }

    EncoderScratch scratch;
    const auto search = [&](std::size_t page, std::string_view keyword) {
        const Engine& engine = read.pages()[page].engine;
        PageState state = initial_state(engine);
        state.keyword = keyword;
        return page_search(engine, state, scratch);
    };
    EXPECT_EQ(search(6, "中"), std::vector<std::string>{"https://search.jd.com/Search?keyword=%E4%B8%AD&enc=utf-8"});
    EXPECT_EQ(search(9, "中"),
              std::vector<std::string>{"https://s.1688.com/selloffer/offer_search.htm?keywords=%D6%D0"});
    EXPECT_EQ(search(10, "中"),
              (std::vector<std::string>{"https://cn.bing.com/search?q=%E4%B8%AD", "https://www.so.com/s?q=%E4%B8%AD",
                                        "https://s.1688.com/selloffer/offer_search.htm?keywords=%D6%D0"}));
    // The commented browser lines read as they are, once uncommented.
    std::string uncommented(kUserPagesExample);
    for (std::size_t at = 0; (at = uncommented.find("\n; browser = ", at)) != std::string::npos;)
        uncommented.erase(at + 1, 2);
    const UserPages with_browsers = read_user_pages(uncommented);
    EXPECT_EQ(with_browsers.pages()[10].engine.browser.program,
              "C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe");
    // One browser a page: the other three are repeats.
    ASSERT_EQ(with_browsers.problem_count(), 3u);
    for (const UserPagesProblem& problem : with_browsers.problems())
        EXPECT_EQ(problem.fault, UserPagesFault::DuplicateBrowser);
}

TEST(UserPagesExample, TheExesCompactCopyIsTheTextByteForByte) { EXPECT_EQ(user_pages_example(), kUserPagesExample); }

}  // namespace
}  // namespace velvane
