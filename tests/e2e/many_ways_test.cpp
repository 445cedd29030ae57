// One search, many ways in and out, on the real program: a user page's line
// with several sites opens them all in order, a page with a browser of its
// own sends its searches there (and only there), and velvane.exe's command
// line, from a second start handing over to the running one or from the
// first start itself, shows or searches a keyword on the chosen page.
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "page_actions.h"

namespace e2e {
namespace {

using namespace pages;

constexpr int kBaidu = 0;
constexpr int kGoogle = 1;
constexpr int kFirstUserPage = 7;

void write_bytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> lines_of(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Ctrl+Tab until the page is up and its keyword box shows.
bool go_to_page(const Velvane& app, int page) {
    for (int step = 0; step < 12 && current_page(app) != page; ++step) {
        const int before = current_page(app);
        if (press_until(VK_TAB, {VK_CONTROL}, [&] { return current_page(app) != before; }) == 0) break;
    }
    const bool shown = wait_until([&] {
        const HWND keyword = app.control(edit(page));
        return current_page(app) == page && keyword && visible(keyword);
    });
    if (!shown) ADD_FAILURE() << "page " << page << " did not come up";
    return shown;
}

std::string baidu_web(const std::string& encoded) {
    return "http://www.baidu.com/s?ie=utf-8&bs=" + encoded + "&sr=&z=&cl=3&f=8&wd=" + encoded + "&ct=0";
}

// ---- Several sites with one search ----

TEST(SeveralSites, ALineOfThreeAddressesOpensThreeUrlsInOrderEachInItsCodePage) {
    Velvane app;
    write_bytes(app.program_dir() / L"Engines.ini",
                utf8(L"[全网]\r\n"
                     L"radio = 三家 | http://a.example/s?q={keyword} | http://b.example/s?w={keyword:gbk,+}"
                     L" | http://c.example/s?k={keyword:big5}&raw={keyword:raw}\r\n"
                     L"radio = 或 | http://d.example/?q={keyword}%7Cx | http://e.example/\r\n"
                     L"radio = 太多 | http://1.example/ | http://2.example/ | http://3.example/ | http://4.example/"
                     L" | http://5.example/ | http://6.example/ | http://7.example/ | http://8.example/"
                     L" | http://9.example/\r\n"));
    app.start();
    // The line of nine is skipped whole, with its number.
    EXPECT_TRUE(wait_until([] {
        return balloon_shown([](const std::wstring& t) { return contains(t, L"第 4 行") && contains(t, L"8 个网址"); });
    })) << "no balloon for the line of nine addresses";
    ASSERT_TRUE(go_to_page(app, kFirstUserPage));
    EXPECT_EQ(app.control(radio(kFirstUserPage, 2)), nullptr) << "the line of nine made a radio";

    ASSERT_TRUE(enter_keyword(app, kFirstUserPage, L"中 文"));
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(3), (std::vector<std::string>{
                                        "http://a.example/s?q=%E4%B8%AD%20%E6%96%87",
                                        "http://b.example/s?w=%D6%D0+%CE%C4",
                                        "http://c.example/s?k=%A4%A4%20%A4%E5&raw=中%20文",
                                    }));

    // A "|" that belongs in an address arrives inside it.
    ASSERT_TRUE(check_radio(app.control(radio(kFirstUserPage, 1))));
    ASSERT_TRUE(enter_keyword(app, kFirstUserPage, L"y"));
    press(VK_RETURN);
    const auto urls = app.wait_for_urls(5);
    ASSERT_EQ(urls.size(), 5u);
    EXPECT_EQ(urls[3], "http://d.example/?q=y%7Cx");
    EXPECT_EQ(urls[4], "http://e.example/");
    EXPECT_EQ(app.stop(), 0u);
}

// ---- A browser per page ----

TEST(PageBrowser, APagesBrowserGetsItsUrlsAndTheOtherPagesTheDefault) {
    Velvane app;
    // A second logger in a folder whose name has a blank and Chinese, told
    // to write a log of its own.
    const auto second_folder = app.program_dir() / L"另一个 浏览器";
    std::filesystem::create_directories(second_folder);
    std::filesystem::copy_file(url_logger_path(), second_folder / L"urllog.exe");
    const auto second_log = app.program_dir() / L"second.log";
    const std::wstring second = (second_folder / L"urllog.exe").wstring();
    const std::wstring missing = (app.program_dir() / L"没有这个\\浏览器.exe").wstring();
    write_bytes(app.program_dir() / L"Engines.ini",
                utf8(L"[私密]\r\n"
                     L"browser = \"" +
                     second + L"\" --log \"" + second_log.wstring() +
                     L"\"\r\n"
                     L"radio = 两家 | http://p.example/?q={keyword} | http://q.example/?q={keyword:gbk}\r\n"
                     L"home = http://p.example/\r\n"
                     L"[普通]\r\n"
                     L"radio = 网页 | http://n.example/?q={keyword}\r\n"
                     L"[不在]\r\n"
                     L"radio = 网页 | http://m.example/?q={keyword}\r\n"
                     L"browser = " +
                     missing + L" {url}\r\n"));
    app.start();

    ASSERT_TRUE(go_to_page(app, kFirstUserPage));
    ASSERT_TRUE(enter_keyword(app, kFirstUserPage, L"中"));
    press(VK_RETURN);
    ASSERT_TRUE(enter_keyword(app, kFirstUserPage, L""));
    press(VK_RETURN);
    EXPECT_TRUE(wait_until([&] { return lines_of(second_log).size() >= 3; }));
    EXPECT_EQ(lines_of(second_log), (std::vector<std::string>{"http://p.example/?q=%E4%B8%AD",
                                                              "http://q.example/?q=%D6%D0", "http://p.example/"}));

    // The page without a browser line goes to the default browser.
    ASSERT_TRUE(go_to_page(app, kFirstUserPage + 1));
    ASSERT_TRUE(enter_keyword(app, kFirstUserPage + 1, L"x"));
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{"http://n.example/?q=x"});

    // A program that is not there: the balloon names the page and the
    // program, and nothing opens anywhere else in its place.
    ASSERT_TRUE(go_to_page(app, kFirstUserPage + 2));
    ASSERT_TRUE(enter_keyword(app, kFirstUserPage + 2, L"y"));
    press(VK_RETURN);
    EXPECT_TRUE(wait_until([&] {
        return balloon_shown([&](const std::wstring& t) { return contains(t, L"“不在”") && contains(t, missing); });
    })) << "no balloon naming the page and its browser";
    ASSERT_TRUE(go_to_page(app, kFirstUserPage + 1));
    ASSERT_TRUE(enter_keyword(app, kFirstUserPage + 1, L"z"));
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(2), (std::vector<std::string>{"http://n.example/?q=x", "http://n.example/?q=z"}));
    EXPECT_EQ(lines_of(second_log).size(), 3u);
    EXPECT_EQ(app.stop(), 0u);
}

// ---- The command line ----

// velvane.exe started again with arguments, as the Run box, a script or
// another program starts it; ended when the test ends.
class SecondStart {
public:
    SecondStart(const Velvane& app, const std::wstring& arguments) {
        const std::wstring exe = (app.program_dir() / L"velvane.exe").wstring();
        std::wstring command_line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            app.program_dir().c_str(), &startup, &process_))
            ADD_FAILURE() << "cannot start velvane.exe again: error " << GetLastError();
    }
    ~SecondStart() {
        if (!process_.hProcess) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    SecondStart(const SecondStart&) = delete;
    SecondStart& operator=(const SecondStart&) = delete;

    DWORD process_id() const { return process_.dwProcessId; }
    // Waits for the end; the exit code, or STILL_ACTIVE when it did not end.
    DWORD exit_code(Timeout timeout = 20s) const {
        DWORD code = STILL_ACTIVE;
        if (process_.hProcess &&
            WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION process_{};
};

// A message box of a process, read and closed with its OK button; its text.
std::wstring answer_message_box(DWORD pid) {
    HWND box = nullptr;
    wait_until([&] {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid && visible(w)) return (box = w) != nullptr;
        }
        return false;
    });
    if (!box) {
        ADD_FAILURE() << "no message box";
        return {};
    }
    const std::wstring seen = text(GetDlgItem(box, 0xFFFF));
    click_on(GetDlgItem(box, IDOK));
    EXPECT_TRUE(wait_until([&] { return !IsWindow(box); })) << "the message box stayed";
    return seen;
}

std::pair<int, int> selection(HWND box) {
    DWORD start = 0, end = 0;
    send_message(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}

constexpr wchar_t kForumPage[] =
    L"[论坛]\r\n"
    L"radio = 帖子 | http://bbs.example.cn/s?q={keyword:gbk}\r\n";

// Shows the running window, hidden or minimised, with the keyword in the
// current page's box, selected, ready for Enter.
TEST(CommandLine, AKeywordShowsTheRunningWindowWithItSelectedWhetherHiddenOrMinimised) {
    Velvane app;
    app.start();
    // Hidden by the hotkey, as a person leaves it in the tray.
    ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);
    SecondStart hidden(app, L"中文");
    EXPECT_EQ(hidden.exit_code(), 0u);
    const HWND box = app.control(edit(kBaidu));
    ASSERT_TRUE(wait_until([&] { return visible(app.window()) && text(box) == L"中文"; }))
        << "the window did not come with the keyword";
    EXPECT_TRUE(wait_until([&] { return app.focus() == box; }));
    EXPECT_EQ(selection(box), std::make_pair(0, 2));
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{baidu_web("%E4%B8%AD%E6%96%87")});

    // Minimised: it comes back at its size, the new keyword replacing the old.
    send_message(app.window(), WM_SYSCOMMAND, SC_MINIMIZE);
    ASSERT_TRUE(wait_until([&] { return IsIconic(app.window()) != FALSE; }));
    SecondStart minimised(app, L"\"a  b\"");
    EXPECT_EQ(minimised.exit_code(), 0u);
    EXPECT_TRUE(wait_until([&] { return !IsIconic(app.window()) && text(box) == L"a  b"; }));
    EXPECT_EQ(selection(box), std::make_pair(0, 4));
    EXPECT_EQ(app.urls().size(), 1u) << "a keyword alone searched";
    EXPECT_EQ(app.stop(), 0u);
}

// --search searches at once with the page's current category and leaves a
// hidden window hidden; --page chooses the page first, by a built-in tab's
// name or a user page's section.
TEST(CommandLine, SearchAndPageOpenTheRightUrls) {
    Velvane app;
    write_bytes(app.program_dir() / L"Engines.ini", utf8(kForumPage));
    app.start();
    ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);

    EXPECT_EQ(SecondStart(app, L"--search 中文").exit_code(), 0u);
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{baidu_web("%E4%B8%AD%E6%96%87")});
    EXPECT_FALSE(visible(app.window()));

    EXPECT_EQ(SecondStart(app, L"--page 论坛 --search 中文").exit_code(), 0u);
    auto urls = app.wait_for_urls(2);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[1], "http://bbs.example.cn/s?q=%D6%D0%CE%C4");
    EXPECT_EQ(current_page(app), kFirstUserPage);

    // A built-in page by its tab's name, any case; the keyword shown.
    EXPECT_EQ(SecondStart(app, L"--page google 你好").exit_code(), 0u);
    ASSERT_TRUE(wait_until([&] { return visible(app.window()) && current_page(app) == kGoogle; }));
    EXPECT_TRUE(wait_until([&] { return text(app.control(edit(kGoogle))) == L"你好"; }));
    EXPECT_TRUE(wait_until([&] { return app.focus() == app.control(edit(kGoogle)); }));

    // A page it has not: the running window says so, and nothing is searched.
    SecondStart unknown(app, L"--page 谷歌 --search x");
    const std::wstring said = answer_message_box(app.process_id());
    EXPECT_TRUE(said.starts_with(L"没有叫“谷歌”的页。")) << utf8(said);
    EXPECT_TRUE(contains(said, L"百度、Google、雅虎")) << utf8(said);
    EXPECT_TRUE(contains(said, L"论坛")) << utf8(said);
    EXPECT_EQ(unknown.exit_code(), 2u);
    EXPECT_EQ(current_page(app), kGoogle);
    EXPECT_EQ(app.urls().size(), 2u);
    EXPECT_EQ(app.stop(), 0u);
}

// A wrong option: a message box with the right forms, nothing started or
// searched, exit code 2.
TEST(CommandLine, AWrongOptionShowsTheFormsAndSearchesNothing) {
    Velvane app;
    app.start();
    SecondStart wrong(app, L"--serach 中文");
    const std::wstring said = answer_message_box(wrong.process_id());
    EXPECT_TRUE(said.starts_with(L"不认识的选项：--serach\n\n用法：")) << utf8(said);
    EXPECT_TRUE(contains(said, L"velvane.exe --search 关键词")) << utf8(said);
    EXPECT_TRUE(contains(said, L"velvane.exe --page 页名 [--search] [关键词]")) << utf8(said);
    EXPECT_EQ(wrong.exit_code(), 2u);
    EXPECT_EQ(text(app.control(edit(kBaidu))), L"") << "the running window was given the keyword";

    // The same with no Velvane running: nothing starts.
    EXPECT_EQ(app.stop(), 0u);
    Velvane alone;
    alone.set_arguments(L"--search");
    alone.launch();
    const std::wstring alone_said = answer_message_box(alone.process_id());
    EXPECT_TRUE(alone_said.starts_with(L"--search 后面要写关键词。")) << utf8(alone_said);
    EXPECT_FALSE(alone.wait_for_window(2s, false)) << "a wrong command line started the program";
    EXPECT_EQ(alone.stop(), 2u);
    EXPECT_TRUE(alone.urls().empty());
}

// The first start takes its own command line: a search at once starts in
// the tray; a keyword comes up in the box on the page asked for.
TEST(CommandLine, TheFirstStartTakesItsOwnCommandLine) {
    Velvane searching;
    write_bytes(searching.program_dir() / L"Engines.ini", utf8(kForumPage));
    searching.set_arguments(L"--page 论坛 --search \"中文\"");
    searching.launch();
    ASSERT_TRUE(searching.wait_for_window(20s, false));
    EXPECT_EQ(searching.wait_for_urls(1), std::vector<std::string>{"http://bbs.example.cn/s?q=%D6%D0%CE%C4"});
    EXPECT_FALSE(visible(searching.window()));
    EXPECT_EQ(current_page(searching), kFirstUserPage);
    EXPECT_EQ(searching.stop(), 0u);

    Velvane showing;
    showing.set_arguments(L"中文 搜索");
    showing.start();
    const HWND box = showing.control(edit(kBaidu));
    EXPECT_TRUE(wait_until([&] { return text(box) == L"中文 搜索" && selection(box) == std::make_pair(0, 5); }));
    EXPECT_TRUE(showing.urls().empty());
    EXPECT_EQ(showing.stop(), 0u);
}

}  // namespace
}  // namespace e2e
