// The browser's registered command, split into program and arguments, and
// the command line the launch builds from it for a long URL; read back by
// the command-line rules a browser splits its own command line by.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/arguments.h"
#include "text/browser_command.h"
#include "text/encoder.h"
#include "text/text.h"

namespace velvane {
namespace {

using Args = std::vector<std::u16string>;

TEST(SplitBrowserCommand, FindsTheProgramAsTheShellMeansIt) {
    struct Case {
        std::u16string command;
        std::u16string program;
        std::u16string arguments;
    };
    const Case cases[] = {
        {u"\"C:\\Program Files\\b\\b.exe\" -osint -url \"%1\"", u"C:\\Program Files\\b\\b.exe", u"-osint -url \"%1\""},
        {u"  \"C:\\b\\b.exe\"%1  ", u"C:\\b\\b.exe", u"%1"},
        // Unquoted, blanks in the folders' names belong to the program, up to
        // the ".exe" that ends a word; never C:\Program.
        {u"C:\\Program Files\\b\\b.exe %1", u"C:\\Program Files\\b\\b.exe", u"%1"},
        {u"C:\\Program Files\\b\\B.EXE\t\"%1\"", u"C:\\Program Files\\b\\B.EXE", u"\"%1\""},
        {u"C:\\b.exec\\b.exe", u"C:\\b.exec\\b.exe", u""},
        {u"browser %1", u"browser", u"%1"},         // no ".exe": a name up to the blank
        {u"\"C:\\b\\b.exe", u"C:\\b\\b.exe", u""},  // no closing quote
        {u"   ", u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8_from_utf16(c.command));
        const BrowserCommand split = split_browser_command(c.command);
        EXPECT_EQ(split.program, c.program);
        EXPECT_EQ(split.arguments, c.arguments);
    }
}

TEST(BrowserCommandLine, PutsTheUrlInTheArgumentsPlaceOrAppendsItQuoted) {
    constexpr std::u16string_view kUrl = u"http://h/s?w=a%20b";
    struct Case {
        std::u16string arguments;
        std::u16string line;
    };
    const Case cases[] = {
        {u"\"%1\"", u"\"C:\\b.exe\" \"http://h/s?w=a%20b\""},
        {u"%1", u"\"C:\\b.exe\" http://h/s?w=a%20b"},
        {u"-url \"%L\" %l", u"\"C:\\b.exe\" -url \"http://h/s?w=a%20b\" http://h/s?w=a%20b"},
        {u"--single-argument %1 %* %2", u"\"C:\\b.exe\" --single-argument http://h/s?w=a%20b  "},
        {u"", u"\"C:\\b.exe\" \"http://h/s?w=a%20b\""},
        {u"-nohome %%", u"\"C:\\b.exe\" -nohome %% \"http://h/s?w=a%20b\""},  // no place for it: appended
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8_from_utf16(c.arguments));
        EXPECT_EQ(browser_command_line({u"C:\\b.exe", c.arguments}, kUrl, 32766), c.line);
    }
}

// A page's own browser line: {url} (any case) is the URL's place, and a per
// cent sign is itself (%LOCALAPPDATA% is no %L); the program, blanks and
// Chinese in its path, and the URL each come back as one argument.
TEST(BrowserCommandLine, APagesBrowserTakesTheUrlWhereItsLineSays) {
    constexpr std::u16string_view kUrl = u"https://h/s?w=%E4%B8%AD%20x";
    const std::u16string program = u"C:\\Program Files\\火狐 浏览器\\firefox.exe";
    struct Case {
        std::u16string arguments;
        Args split;  // after the program
    };
    const Case cases[] = {
        {u"-private-window", {u"-private-window", std::u16string(kUrl)}},
        {u"", {std::u16string(kUrl)}},
        {u"--new-window {url} --x", {u"--new-window", std::u16string(kUrl), u"--x"}},
        {u"\"{URL}\" %1", {std::u16string(kUrl), u"%1"}},
        {u"--app={Url}", {u"--app=" + std::u16string(kUrl)}},
        {u"--dir=%LOCALAPPDATA%\\b %*", {u"--dir=%LOCALAPPDATA%\\b", u"%*", std::u16string(kUrl)}},
        {u"{url {ur} url}", {u"{url", u"{ur}", u"url}", std::u16string(kUrl)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8_from_utf16(c.arguments));
        Args expected{program};
        expected.insert(expected.end(), c.split.begin(), c.split.end());
        EXPECT_EQ(split_command_line(browser_command_line({program, c.arguments, UrlMarker::Braces}, kUrl, 32766)),
                  expected);
    }
}

TEST(BrowserCommandLine, CutsTheUrlOnlyToWhatTheLineHoldsAndAtAnEscape) {
    const BrowserCommand command{u"C:\\b.exe", u"\"%1\""};  // 13 units besides the URL
    const std::u16string url = u"http://h/s?w=%E4%B8%AD";   // 22 units
    EXPECT_EQ(browser_command_line(command, url, 35), u"\"C:\\b.exe\" \"" + url + u"\"");
    EXPECT_EQ(browser_command_line(command, url, 34), u"\"C:\\b.exe\" \"http://h/s?w=%E4%B8\"");
    EXPECT_EQ(browser_command_line(command, url, 33), u"\"C:\\b.exe\" \"http://h/s?w=%E4%B8\"");
    // Twice in the line, each place gets half the room.
    EXPECT_EQ(browser_command_line({u"C:\\b.exe", u"%1 %1"}, url, 11 + 1 + 2 * 16),
              u"\"C:\\b.exe\" http://h/s?w=%E4 http://h/s?w=%E4");
}

// What went wrong before the launch escaped them: each keyword, on a raw row,
// reaches a browser registered with "%1" or with %1 as exactly its URL.
TEST(SplitCommandLine, EveryLaunchSafeUrlIsOneArgumentQuotedOrNot) {
    const std::string keywords[] = {"C:\\Windows\\", "a -b \"c d\"", "%PATH%x", "\\\"\\\\\" x\t^|<>&", "中 文"};
    for (const std::string& keyword : keywords) {
        const std::u16string url =
            utf16_from_utf8(launch_safe_url("http://news.baidu.com/ns?word=" + raw_keyword_in_url(keyword)));
        SCOPED_TRACE(utf8_from_utf16(url));
        for (const std::u16string arguments : {u"\"%1\"", u"%1", u""})
            EXPECT_EQ(split_command_line(browser_command_line({u"C:\\b.exe", arguments}, url, 32766)),
                      (Args{u"C:\\b.exe", url}));
    }
}

}  // namespace
}  // namespace velvane
