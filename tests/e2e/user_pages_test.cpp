// The user's own pages from Engines.ini beside velvane.exe, on the real
// window: tabs after 狗狗 with their searches, the balloon for a file with
// problems and for a keyword the page's code page cannot hold, and the pages
// following the file while the program runs. (The menu's "自定义搜索页…" is
// tested with the other menu commands.)
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "page_actions.h"

namespace e2e {
namespace {

using namespace pages;

constexpr int kBuiltInPages = 7;
constexpr int kFirstUserPage = 7;
constexpr int kBing = 7;
constexpr int kForum = 8;

// Saved as GBK, as Notepad on a Chinese system saves it. The forum's home is
// missing on purpose: an empty keyword there opens nothing.
constexpr wchar_t kTwoPages[] =
    L"; 自己的搜索页\r\n"
    L"[必应]\r\n"
    L"radio = 网页 | https://cn.bing.com/search?q={keyword}\r\n"
    L"radio = 图片 | https://cn.bing.com/images/search?q={keyword}\r\n"
    L"more  = 学术 | https://cn.bing.com/academic/search?q={keyword}&cs={charset}\r\n"
    L"home  = https://cn.bing.com/\r\n"
    L"\r\n"
    L"[某论坛]\r\n"
    L"radio = 帖子 | http://bbs.example.cn/search.php?mod=forum&srchtxt={keyword:gbk}\r\n"
    L"radio = 用户 | http://bbs.example.cn/search.php?mod=user&srchtxt={keyword:gbk,+}\r\n"
    L"more  = 全文 | http://bbs.example.cn/s.asp?q={query:gbk}&cs={charset}&x={keyword:gbk}\r\n";

void write_bytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

int page_count(const Velvane& app) { return static_cast<int>(send_message(app.tab(), TCM_GETITEMCOUNT)); }

int tab_image(const Velvane& app, int page) {
    RemoteMemory memory(app.tab(), sizeof(TCITEMW));
    TCITEMW item{};
    item.mask = TCIF_IMAGE;
    if (!memory.write(&item, sizeof item) ||
        !send_message(app.tab(), TCM_GETITEMW, static_cast<WPARAM>(page), memory.address()) ||
        !memory.read(&item, sizeof item))
        ADD_FAILURE() << "cannot read the image of page " << page;
    return item.iImage;
}

// Ctrl+Shift+Tab until the page is up, as a person goes to the last tabs
// (the tab strip scrolls to show them).
bool go_to_page(const Velvane& app, int page) {
    for (int step = 0; step < 12 && current_page(app) != page; ++step) {
        const int before = current_page(app);
        if (press_until(VK_TAB, {VK_CONTROL, VK_SHIFT}, [&] { return current_page(app) != before; }) == 0) break;
    }
    // A page's controls are made when it first comes up.
    const bool shown = wait_until([&] {
        const HWND keyword = app.control(edit(page));
        return current_page(app) == page && keyword && visible(keyword);
    });
    if (!shown) ADD_FAILURE() << "page " << page << " did not come up";
    return shown;
}

// Puts the keyword into the page's box by the clipboard: a character beyond
// the first 65,536 arrives whole.
bool paste_keyword(const Velvane& app, int page, std::wstring_view keyword) {
    if (!enter_keyword(app, page, L"")) return false;
    paste(keyword);
    const bool done = wait_until([&] { return text(app.control(edit(page))) == keyword; });
    if (!done) ADD_FAILURE() << "the keyword box holds '" << utf8(text(app.control(edit(page)))) << "'";
    return done;
}

// Types the keyword on the page and presses Enter; the URL that arrives.
std::string search(const Velvane& app, int page, std::wstring_view keyword) {
    const std::size_t before = app.urls().size();
    if (!enter_keyword(app, page, keyword)) return {};
    press(VK_RETURN);
    const auto urls = app.wait_for_urls(before + 1);
    return urls.size() > before ? urls[before] : std::string();
}

TEST(UserPages, AGbkFileMakesTwoPagesAfterGougouThatSearchAsWritten) {
    Velvane app;
    write_bytes(app.program_dir() / L"Engines.ini", gbk(kTwoPages));
    app.start();

    ASSERT_EQ(page_count(app), kBuiltInPages + 2);
    EXPECT_EQ(tab_caption(app, 6), L"狗狗");
    EXPECT_EQ(tab_caption(app, kBing), L"必应");
    EXPECT_EQ(tab_caption(app, kForum), L"某论坛");
    // Each with a mark of its own, drawn after the built-in ones.
    EXPECT_GE(tab_image(app, kBing), kBuiltInPages);
    EXPECT_GE(tab_image(app, kForum), kBuiltInPages);
    EXPECT_NE(tab_image(app, kBing), tab_image(app, kForum));
    EXPECT_EQ(current_page(app), 0) << "the start page stays 百度";
    // Each page as it first comes up (its controls are made then).
    for (const int page : {kBing, kForum}) {
        SCOPED_TRACE("page " + std::to_string(page));
        EXPECT_FALSE(visible(app.control(edit(page))));
        ASSERT_TRUE(go_to_page(app, page));
        EXPECT_EQ(checked_radio(app, page), 0);
        EXPECT_EQ(text(app.control(velvane::ids::button(page))), L"搜索");
    }

    // The GBK page: 中 as its GBK bytes, the + option's blank as "+".
    ASSERT_TRUE(go_to_page(app, kForum));
    EXPECT_EQ(search(app, kForum, L"中"), "http://bbs.example.cn/search.php?mod=forum&srchtxt=%D6%D0");
    ASSERT_TRUE(check_radio(app.control(radio(kForum, 1))));
    EXPECT_EQ(search(app, kForum, L"中 a"), "http://bbs.example.cn/search.php?mod=user&srchtxt=%D6%D0+a");
    ASSERT_TRUE(enter_keyword(app, kForum, L"中"));
    ASSERT_TRUE(pick_list_item(app, kForum, 0));
    auto urls = app.wait_for_urls(3);
    ASSERT_EQ(urls.size(), 3u);
    EXPECT_EQ(urls[2], "http://bbs.example.cn/s.asp?q=%D6%D0&cs=gbk&x=%D6%D0");

    // An emoji has no GBK bytes: nothing opens, and the balloon says which
    // character; the next search goes on as before.
    ASSERT_TRUE(check_radio(app.control(radio(kForum, 0))));
    ASSERT_TRUE(paste_keyword(app, kForum, L"a😀"));
    press(VK_RETURN);
    EXPECT_TRUE(wait_until([] {
        return balloon_shown([](const std::wstring& t) { return contains(t, L"😀") && contains(t, L"GBK"); });
    })) << "no balloon about the character GBK cannot hold";
    EXPECT_EQ(search(app, kForum, L"b"), "http://bbs.example.cn/search.php?mod=forum&srchtxt=b");
    urls = app.urls();
    EXPECT_EQ(urls.size(), 4u) << "something was opened for the emoji";

    // An empty keyword: the forum has no home, 必应 opens its own.
    ASSERT_TRUE(enter_keyword(app, kForum, L""));
    press(VK_RETURN);
    ASSERT_TRUE(go_to_page(app, kBing));
    ASSERT_TRUE(enter_keyword(app, kBing, L""));
    press(VK_RETURN);
    urls = app.wait_for_urls(5);
    ASSERT_EQ(urls.size(), 5u);
    EXPECT_EQ(urls[4], "https://cn.bing.com/");

    // The UTF-8 page: 中 as its UTF-8 bytes, by a radio and by the list.
    ASSERT_TRUE(check_radio(app.control(radio(kBing, 1))));
    EXPECT_EQ(search(app, kBing, L"中"), "https://cn.bing.com/images/search?q=%E4%B8%AD");
    ASSERT_TRUE(enter_keyword(app, kBing, L"中"));
    ASSERT_TRUE(pick_list_item(app, kBing, 0));
    urls = app.wait_for_urls(7);
    ASSERT_EQ(urls.size(), 7u);
    EXPECT_EQ(urls[6], "https://cn.bing.com/academic/search?q=%E4%B8%AD&cs=utf-8");
    EXPECT_EQ(checked_radio(app, kBing), -1) << "a list pick clears the radios, as on the built-in pages";

    // Ctrl+Tab goes round all nine pages.
    ASSERT_NE(press_until(VK_TAB, {VK_CONTROL}, [&] { return current_page(app) == kForum; }), 0);
    ASSERT_NE(press_until(VK_TAB, {VK_CONTROL}, [&] { return current_page(app) == 0; }), 0);
    EXPECT_EQ(app.stop(), 0u);
}

TEST(UserPages, ABadLineGivesTheBalloonAndTheGoodLinesWork) {
    Velvane app;
    write_bytes(app.program_dir() / L"Engines.ini",
                utf8(L"[知乎]\r\n"
                     L"radio = 问题 | https://www.zhihu.com/search?type=content&q={keyword}\r\n"
                     L"radio = 本地 | file:///C:/windows/notepad.exe\r\n"
                     L"radio = 用户 | https://www.zhihu.com/search?type=people&q={keyword}\r\n"));
    app.start();
    EXPECT_TRUE(wait_until([] {
        return balloon_shown(
            [](const std::wstring& t) { return t.starts_with(L"Engines.ini 有 1 处问题") && contains(t, L"第 3 行"); });
    })) << "no balloon naming the file and the line";

    ASSERT_EQ(page_count(app), kBuiltInPages + 1);
    EXPECT_EQ(app.control(radio(kFirstUserPage, 2)), nullptr) << "the bad line made a radio";
    ASSERT_TRUE(go_to_page(app, kFirstUserPage));
    EXPECT_EQ(text(app.control(radio(kFirstUserPage, 1))), L"用户");
    ASSERT_TRUE(check_radio(app.control(radio(kFirstUserPage, 1))));
    EXPECT_EQ(search(app, kFirstUserPage, L"中"), "https://www.zhihu.com/search?type=people&q=%E4%B8%AD");
    EXPECT_EQ(app.stop(), 0u);
}

TEST(UserPages, PagesFollowTheFileWhileTheProgramRuns) {
    Velvane app;
    const auto file = app.program_dir() / L"Engines.ini";
    write_bytes(file, utf8(L"[甲]\r\nradio = 一 | http://a.example/?q={keyword}\r\n"
                           L"[乙]\r\nradio = 二 | http://b.example/?q={keyword}\r\n"));
    app.start();
    ASSERT_EQ(page_count(app), kBuiltInPages + 2);
    ASSERT_TRUE(go_to_page(app, kBuiltInPages + 1));  // 乙
    ASSERT_TRUE(enter_keyword(app, kBuiltInPages + 1, L"kept"));

    // 甲 goes, 丙 comes after 乙, and 乙 sends elsewhere: the user stays on 乙.
    // A saved change applies within about a second (it rests for half of one
    // first); the bound leaves room for a busy machine.
    write_bytes(file, utf8(L"[乙]\r\nradio = 二 | http://b2.example/?q={keyword}\r\n"
                           L"[丙]\r\nradio = 三 | http://c.example/?q={keyword}\r\n"));
    ASSERT_TRUE(wait_until([&] { return tab_caption(app, kBuiltInPages) == L"乙"; }, 3s))
        << "the pages did not change with the file within 3 s";
    EXPECT_EQ(page_count(app), kBuiltInPages + 2);
    EXPECT_EQ(tab_caption(app, kBuiltInPages + 1), L"丙");
    EXPECT_EQ(current_page(app), kBuiltInPages);
    const HWND box = app.control(edit(kBuiltInPages));
    EXPECT_TRUE(visible(box));
    EXPECT_FALSE(visible(app.control(edit(kBuiltInPages + 1))));
    EXPECT_EQ(text(box), L"kept");
    EXPECT_EQ(search(app, kBuiltInPages, L"x"), "http://b2.example/?q=x");

    // Without the file the window is the seven pages and nothing else.
    std::filesystem::remove(file);
    ASSERT_TRUE(wait_until([&] { return page_count(app) == kBuiltInPages; })) << "the user pages stayed";
    EXPECT_EQ(current_page(app), 0);
    EXPECT_TRUE(visible(app.control(edit(0))));
    EXPECT_EQ(app.control(edit(kBuiltInPages)), nullptr);
    EXPECT_EQ(app.control(radio(kBuiltInPages, 0)), nullptr);
    EXPECT_EQ(search(app, 0, L"a"), "http://www.baidu.com/s?ie=utf-8&bs=%61&sr=&z=&cl=3&f=8&wd=%61&ct=0");
    EXPECT_EQ(app.stop(), 0u);
}

// An Engines.ini that cannot be read, a folder of that name or a file another
// program keeps open without sharing it: one balloon says so, the pages stay
// as they were, and once the file changes it is read again.
TEST(UserPages, AFolderOrALockedFileIsToldOnceAndReadAgainWhenItChanges) {
    Velvane app;
    const auto file = app.program_dir() / L"Engines.ini";
    std::filesystem::create_directory(file);
    app.start();
    EXPECT_TRUE(wait_until([] {
        return balloon_shown([](const std::wstring& t) { return t.starts_with(L"Engines.ini 是一个文件夹"); });
    })) << "no balloon about the folder";
    EXPECT_EQ(page_count(app), kBuiltInPages);

    std::filesystem::remove(file);
    write_bytes(file, utf8(L"[甲]\r\nradio = 一 | http://a.example/?q={keyword}\r\n"));
    ASSERT_TRUE(wait_until([&] { return page_count(app) == kBuiltInPages + 1; })) << "the file was not read";

    // Saved while another program holds it: tried again for a moment, then told.
    HANDLE lock = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const std::string two = utf8(
        L"[甲]\r\nradio = 一 | http://a.example/?q={keyword}\r\n"
        L"[乙]\r\nradio = 二 | http://b.example/?q={keyword}\r\n");
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(lock, two.data(), static_cast<DWORD>(two.size()), &written, nullptr));
    FlushFileBuffers(lock);
    EXPECT_TRUE(wait_until([] {
        return balloon_shown([](const std::wstring& t) { return t.starts_with(L"无法读取 Engines.ini"); });
    })) << "no balloon about the file that cannot be read";
    EXPECT_EQ(page_count(app), kBuiltInPages + 1) << "the pages did not stay as they were";

    // Let go of and written again: read.
    CloseHandle(lock);
    write_bytes(file, two + utf8(L"[丙]\r\nradio = 三 | http://c.example/?q={keyword}\r\n"));
    EXPECT_TRUE(wait_until([&] { return page_count(app) == kBuiltInPages + 3; })) << "the file was not read again";
    EXPECT_EQ(app.stop(), 0u);
}

}  // namespace
}  // namespace e2e
