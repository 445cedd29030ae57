// Keywords that a shell or a command line would read, searched on a raw row
// of the real window and read back by the URL logger the way a browser reads
// its command line. Each must arrive as one argument that decodes to exactly
// what was typed, whether the browser is registered with a quoted "%1" or,
// as older browsers register themselves, an unquoted %1; and a search after
// them must still arrive. The same row's "C++", "C#" and "a&b" must reach the
// engine's query as typed; a browser that hangs in a launch must not hold
// the searches after it; and a long URL cut for want of a browser program is
// told, never silent.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "page_actions.h"
#include "test_text.h"

namespace e2e {
namespace {

using namespace pages;
using test_text::percent_decoded;

constexpr int kBaidu = 0;
constexpr int kNews = 1;  // 百度 新闻: the keyword goes in raw
constexpr char kNewsUrl[] = "http://news.baidu.com/ns?cl=2&rn=20&tn=news&word=";

// Empties the 百度 page's box and pastes the keyword into it (one too long to
// type); whether the box holds it.
bool paste_keyword(const Velvane& app, const std::wstring& keyword) {
    if (!enter_keyword(app, kBaidu, L"")) return false;
    paste(keyword);
    return wait_until([&] { return text(app.control(edit(kBaidu))) == keyword; });
}

// The keyword as the search engine gets it from a news URL; the URL itself
// when the logger got something else.
std::string keyword_of(const std::string& url) {
    return url.starts_with(kNewsUrl) ? percent_decoded(url.substr(sizeof kNewsUrl - 1)) : url;
}

// What a search engine reads as the value of `name` in the URL's query, as
// web servers parse a query: it ends at '#', its parameters are split at '&',
// a '+' is a blank and each %XX the byte it names. Empty when there is none.
std::string query_value(std::string_view url, std::string_view name) {
    std::string_view query = url.substr(std::min(url.find('?'), url.size()));
    query = query.substr(0, query.find('#'));
    while (!query.empty()) {
        query.remove_prefix(1);  // '?' or '&'
        const std::string_view parameter = query.substr(0, query.find('&'));
        query.remove_prefix(parameter.size());
        if (!parameter.starts_with(std::string(name) + "=")) continue;
        std::string value(parameter.substr(name.size() + 1));
        for (char& c : value)
            if (c == '+') c = ' ';
        return percent_decoded(value);
    }
    return {};
}

std::wstring repeated(std::wstring_view part, int times) {
    std::wstring out;
    for (int i = 0; i < times; ++i) out += part;
    return out;
}

std::string repeated(std::string_view part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += part;
    return out;
}

// "C++", "C#" and "a&b" searched on a raw row: as typed, the engine would
// read "C  ", "C" and "a" (and a parameter "b"). Each reaches the browser
// with its '+', '#' and '&' escaped, so that the engine's query reads back
// exactly the keyword.
using RawKeywordQuery = VelvaneTest;

TEST_F(RawKeywordQuery, PlusHashAndAmpersandReachTheEngineAsTyped) {
    struct Case {
        std::wstring keyword;
        std::string url_keyword;
    };
    const Case cases[] = {
        {L"C++", "C%2B%2B"},
        {L"C#", "C%23"},
        {L"a&b", "a%26b"},
        {L"中文 C# & C++=1", "中文%20C%23%20%26%20C%2B%2B=1"},
    };
    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.keyword));
        ASSERT_TRUE(enter_keyword(app, kBaidu, c.keyword));
        press(VK_RETURN);
        expected.push_back(kNewsUrl + c.url_keyword);
        const std::vector<std::string> urls = app.wait_for_urls(expected.size());
        ASSERT_EQ(urls, expected);
        EXPECT_EQ(query_value(urls.back(), "word"), utf8(c.keyword));
        EXPECT_EQ(query_value(urls.back(), "tn"), "news");  // the row's own parameters are still there
    }
}

// The browser's registration: the URL logger with "%1" (as the prefix has it)
// or with %1.
// These tests are about the browser's command line: urllog.exe started for
// each URL, not the resident logger.
class RawKeywordLaunch : public VelvaneTest, public ::testing::WithParamInterface<const wchar_t*> {
protected:
    RawKeywordLaunch() : VelvaneTest(Browser::LoggerPerUrl) {}
    BrowserRegistration registration{L"\"" + url_logger_path() + L"\" " + GetParam()};
};

std::string registration_name(const ::testing::TestParamInfo<const wchar_t*>& info) {
    return info.param[0] == L'"' ? "QuotedArgument" : "UnquotedArgument";
}

TEST_P(RawKeywordLaunch, ShellAndCommandLineCharactersArriveAsOneInertArgument) {
    struct Case {
        std::wstring keyword;
        std::string url_keyword;  // what the URL carries in its place
    };
    const Case cases[] = {
        // Not the value of PATH: a per cent sign is a per cent sign.
        {L"%PATH%x", "%25PATH%25x"},
        // A backslash before the closing quote would escape the quote.
        {L"C:\\Windows\\", "C:%5CWindows%5C"},
        // Blanks would split an unquoted %1 into an option and more.
        {L"a -b \"c d\"", "a%20-b%20%22c%20d%22"},
        // Expanded, twelve PATHs overran the shell's command buffer.
        {repeated(L"%PATH%", 12), repeated("%25PATH%25", 12)},
        // An escape typed into a raw keyword is searched as typed, not as "A".
        {L"%41", "%2541"},
        {L"<a>^`{b}|c", "%3Ca%3E%5E%60%7Bb%7D%7Cc"},
        {L"中文", "中文"},
    };
    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.keyword));
        ASSERT_TRUE(enter_keyword(app, kBaidu, c.keyword));
        press(VK_RETURN);
        expected.push_back(kNewsUrl + c.url_keyword);
        const std::vector<std::string> urls = app.wait_for_urls(expected.size());
        ASSERT_EQ(urls.size(), expected.size()) << "the launch stopped";
        EXPECT_EQ(urls.back(), expected.back());
        EXPECT_EQ(keyword_of(urls.back()), utf8(c.keyword));
    }
    // The launch goes on after all of them.
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    press(VK_RETURN);
    expected.push_back(std::string(kNewsUrl) + "abc");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
    EXPECT_TRUE(app.running());
}

// Over 900 characters a URL does not go through the shell: the launch starts
// the browser's registered command itself. It too must hand the URL on whole.
TEST_P(RawKeywordLaunch, ALongUrlOfSuchCharactersArrivesAsOneArgument) {
    const std::wstring part = L"C:\\Program Files\\ \"%APPDATA%\" a -b <c>|^{d}\\";
    const std::string escaped = "C:%5CProgram%20Files%5C%20%22%25APPDATA%25%22%20a%20-b%20%3Cc%3E%7C%5E%7Bd%7D%5C";
    const std::wstring keyword = repeated(part, 20);
    const std::string url = kNewsUrl + repeated(escaped, 20);
    ASSERT_GT(url.size(), 900u);

    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    ASSERT_TRUE(paste_keyword(app, keyword));
    press(VK_RETURN);
    // Each URL starts a logger process of its own, and two such processes may
    // write in either order: the next search waits until this URL is in.
    ASSERT_EQ(app.wait_for_urls(1).size(), 1u) << "the long URL did not arrive";
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    press(VK_RETURN);

    const std::vector<std::string> urls = app.wait_for_urls(2);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0], url);
    EXPECT_EQ(keyword_of(urls[0]), utf8(keyword));
    EXPECT_EQ(urls[1], std::string(kNewsUrl) + "abc");
}

// A browser registered unquoted, its path long and with blanks in its
// folders' names. Started by the command line alone, CreateProcess would run
// a browser.exe beside that folder, if there is one, with the rest of the
// path as its first argument; and the shell's buffer cannot hold the browser's
// command line with a URL of 880 characters. Both URLs must reach the browser
// the registration names, as one argument.
class BrowserProgram : public VelvaneTest {
protected:
    BrowserProgram() : VelvaneTest(Browser::LoggerPerUrl) {}
};

TEST_F(BrowserProgram, AnUnquotedPathWithBlanksStartsThatBrowserForLongUrls) {
    const std::filesystem::path root = app.program_dir().parent_path();
    const std::filesystem::path folder = root / (L"browser" + repeated(L" in a long folder name", 6));
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(url_logger_path(), folder / L"urllog.exe");
    std::filesystem::copy_file(url_logger_path(), root / L"browser.exe");  // where C:\Program.exe would be

    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    std::vector<std::string> expected;
    {
        const BrowserRegistration registration((folder / L"urllog.exe").wstring() + L" %1");
        // "a \" is "a%20%5C" in the URL: 876 and 2,010 characters.
        for (const int parts : {118, 280}) {
            const std::wstring keyword = repeated(L"a \\", parts);
            ASSERT_TRUE(paste_keyword(app, keyword));
            press(VK_RETURN);
            expected.push_back(kNewsUrl + repeated("a%20%5C", parts));
            EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
        }
    }
    // The prefix's own registration is back.
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    press(VK_RETURN);
    expected.push_back(std::string(kNewsUrl) + "abc");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
}

// The browser the user chose for http (a class named under UrlAssociations)
// is the one started for a long URL, not the http class's own, whose program
// is not there.
TEST_F(BrowserProgram, TheUsersChoiceOfBrowserTakesALongUrl) {
    const std::filesystem::path chosen = app.program_dir().parent_path() / L"chosen browser" / L"urllog.exe";
    std::filesystem::create_directories(chosen.parent_path());
    std::filesystem::copy_file(url_logger_path(), chosen);
    const std::wstring choice_key = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http";
    const std::wstring chosen_class = L"Software\\Classes\\VelvaneChosenBrowser";
    const std::wstring command = L"\"" + chosen.wstring() + L"\" \"%1\"";
    const std::wstring progid = L"VelvaneChosenBrowser";
    // The class where the prefix's own are (Wine's classes root has no per-user part).
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (chosen_class + L"\\shell\\open\\command").c_str(), nullptr, REG_SZ,
                              command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (choice_key + L"\\UserChoice").c_str(), L"ProgId", REG_SZ,
                              progid.c_str(), static_cast<DWORD>((progid.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    struct Undo {
        std::wstring choice, chosen;
        ~Undo() {
            RegDeleteTreeW(HKEY_CURRENT_USER, choice.c_str());
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, chosen.c_str());
        }
    } undo{choice_key, chosen_class};
    const BrowserRegistration missing(L"\"C:\\没有\\browser.exe\" \"%1\"");

    const std::wstring keyword(1000, L'a');
    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    ASSERT_TRUE(paste_keyword(app, keyword));
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{kNewsUrl + std::string(1000, 'a')});
    EXPECT_FALSE(balloon_shown([](const std::wstring& t) { return contains(t, L"已截短"); }));
}

// ---- A browser that hangs ----

// The browser's stand-in takes a URL holding "hang" by DDE and never
// answers, and the shell waits in that launch for its own bound (half a
// minute in Wine). A launch given up on after ten seconds lets the URLs
// queued behind it go out. The one behind it here is over 900 characters,
// which the launch hands to the browser's program itself: under Wine a DDE
// launch from the same program would wait for the hung one however it is
// made (Wine's DDE client waits without taking the messages that the next
// DDE connection sends to every window).
constexpr auto kWatchdogBound = 10s;

class HungBrowser : public ::testing::Test {
protected:
    HungBrowser() : app(Browser::ResidentLogger, 0, L"hang") {}
    void SetUp() override {
        app.start();
        ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
        ASSERT_TRUE(enter_keyword(app, kBaidu, L"hang"));
        press(VK_RETURN);
        // The browser has the URL, and the launch waits for its answer.
        ASSERT_EQ(app.wait_for_urls(1), std::vector<std::string>{hung_url});
    }
    // Searches the long keyword; returns once the window has made the
    // search (the key typed after Enter has reached the box).
    void search_behind_the_hang() {
        const HWND box = app.control(edit(kBaidu));
        ASSERT_TRUE(paste_keyword(app, keyword));
        press(VK_RETURN);
        type(L"!");
        ASSERT_TRUE(wait_until([&] { return text(box) == keyword + L"!"; }));
    }
    Velvane app;
    const std::string hung_url = std::string(kNewsUrl) + "hang";
    const std::wstring keyword = std::wstring(1000, L'b');
    const std::string url = kNewsUrl + std::string(1000, 'b');
};

TEST_F(HungBrowser, ASearchMadeWhileALaunchHangsGoesOutWithinTheWatchdogsBound) {
    search_behind_the_hang();
    // Before the shell gives the hung launch up (30 s after it began), with
    // a margin for a loaded machine, where a process start takes seconds; no
    // later search is needed to get it going.
    EXPECT_EQ(app.wait_for_urls(2, kWatchdogBound + 12s), (std::vector<std::string>{hung_url, url}));
    EXPECT_EQ(app.stop(), 0u);
}

// Closed while a search waits behind the hung launch: the program stays until
// that search is out, then ends by itself.
TEST_F(HungBrowser, ASearchQueuedBehindItAtExitStillGoesOut) {
    search_behind_the_hang();
    EXPECT_EQ(app.stop(kWatchdogBound + 15s), 0u);
    // Handed to the browser's program before the end; the program may still
    // be starting.
    EXPECT_EQ(app.wait_for_urls(2), (std::vector<std::string>{hung_url, url}));
}

// ---- A long URL with no browser program to take it ----

// The registered browser's program is not there: a URL over 900 characters
// can only go through the shell, cut to what the shell takes (the browser,
// reached by DDE, gets that), and a balloon says the search was shortened.
using LongUrlWithoutBrowserProgram = VelvaneTest;

TEST_F(LongUrlWithoutBrowserProgram, TheCutForTheShellIsToldInABalloon) {
    const BrowserRegistration missing(L"\"C:\\没有\\browser.exe\" \"%1\"");
    const std::wstring keyword(1000, L'a');
    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    ASSERT_TRUE(paste_keyword(app, keyword));
    press(VK_RETURN);
    const std::string url = kNewsUrl + std::string(1000, 'a');
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{url.substr(0, 900)});
    EXPECT_TRUE(wait_until([] {
        return balloon_shown(
            [](const std::wstring& t) { return contains(t, L"网址太长，浏览器收不下，已截短到 900 个字符后打开"); });
    })) << "no balloon about the shortened search";

    // A short one goes out whole.
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    press(VK_RETURN);
    const auto urls = app.wait_for_urls(2);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[1], std::string(kNewsUrl) + "abc");
}

INSTANTIATE_TEST_SUITE_P(Registrations, RawKeywordLaunch, ::testing::Values(L"\"%1\"", L"%1"), registration_name);

}  // namespace
}  // namespace e2e
