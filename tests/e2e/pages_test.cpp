// The main window's frame and its Baidu page, driven as a person would: tab
// clicks, radio clicks, drop-down picks, typed keywords and Enter. What the
// browser got is read from the URL log.
#include <string>
#include <vector>

#include "page_actions.h"

namespace e2e {
namespace {

using namespace pages;

constexpr int kBaidu = 0;
constexpr int kGoogle = 1;

// Baidu's category radios, left to right.
enum BaiduRadio { kWeb, kNews, kTieba, kZhidao, kBaike, kMp3, kImage, kVideo };
// Baidu's list items.
constexpr int kGames = 1;
constexpr int kDictionary = 4;

constexpr char kHome[] = "http://www.baidu.com";
constexpr char kNewsUrl[] = "http://news.baidu.com/ns?cl=2&rn=20&tn=news&word=";

std::string web_url(const std::string& encoded) {
    return "http://www.baidu.com/s?ie=utf-8&bs=" + encoded + "&sr=&z=&cl=3&f=8&wd=" + encoded + "&ct=0";
}

// Enter (with a modifier when given) in the page's keyword box.
void search_by_enter(WORD modifier = 0) {
    if (modifier)
        press(VK_RETURN, {modifier});
    else
        press(VK_RETURN);
}

using MainWindow = VelvaneTest;
using BaiduPage = VelvaneTest;

TEST_F(MainWindow, ShowsItsCaptionPlaceAndSevenPagesInTheirStartState) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96) << "the figures below are the layout at 96 DPI";

    EXPECT_EQ(text(app.window()), L"Velvane");
    RECT frame{};
    GetWindowRect(app.window(), &frame);
    EXPECT_EQ((std::vector<LONG>{frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top}),
              (std::vector<LONG>{50, 50, 480, 177}));
    const LONG style = GetWindowLongW(app.window(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the user must not be able to resize the window";

    RECT tab{};
    GetWindowRect(app.tab(), &tab);
    MapWindowPoints(nullptr, app.window(), reinterpret_cast<POINT*>(&tab), 2);
    EXPECT_EQ((std::vector<LONG>{tab.left, tab.top, tab.right - tab.left, tab.bottom - tab.top}),
              (std::vector<LONG>{8, 8, 456, 136}));

    const std::vector<std::wstring> captions = {L"百度", L"Google", L"雅虎", L"有道", L"搜搜", L"搜狗", L"狗狗"};
    ASSERT_EQ(send_message(app.tab(), TCM_GETITEMCOUNT), static_cast<LRESULT>(captions.size()));
    EXPECT_EQ(current_page(app), kBaidu);
    EXPECT_EQ(app.focus(), app.control(edit(kBaidu))) << "typing goes into the Baidu keyword box at once";
    // Each page as it first comes up; the page before it is hidden.
    for (int page = 0; page < static_cast<int>(captions.size()); ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        EXPECT_EQ(tab_caption(app, page), captions[static_cast<std::size_t>(page)]);
        if (page > 0) {
            ASSERT_TRUE(select_page(app, page));
            EXPECT_FALSE(visible(app.control(edit(page - 1))));
        }
        // Gougou starts on its second radio, 全部.
        EXPECT_EQ(checked_radio(app, page), page == 6 ? 1 : 0);
        EXPECT_EQ(selected_index(app.control(list(page))), CB_ERR);
        EXPECT_EQ(text(app.control(edit(page))), L"");
        EXPECT_TRUE(visible(app.control(edit(page))));
    }
}

TEST_F(BaiduPage, EnterSearchesTheCheckedRadioWhateverModifierIsHeld) {
    // The news row carries the keyword raw, Chinese and all (the blank, which
    // would split a command line, and the '&', which would start a parameter,
    // as their escapes); the web row carries its UTF-8 escapes, twice.
    struct Case {
        BaiduRadio radio;
        std::wstring keyword;
        WORD modifier;
        std::string url;
    };
    const Case cases[] = {
        {kNews, L"中文 a&b", 0, std::string(kNewsUrl) + "中文%20a%26b"},
        {kWeb, L"中文 a&b", VK_SHIFT, web_url("%E4%B8%AD%E6%96%87%20%61%26%62")},
        {kTieba, L"abc", VK_CONTROL, "http://tieba.baidu.com/f?kw=abc"},
        {kTieba, L"alt", VK_MENU, "http://tieba.baidu.com/f?kw=alt"},  // Alt+Enter comes as a system key
        {kImage, L"", 0, kHome},  // no keyword: the home page, whatever the category
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        ASSERT_TRUE(check_radio(app.control(radio(kBaidu, c.radio))));
        ASSERT_TRUE(enter_keyword(app, kBaidu, c.keyword));
        search_by_enter(c.modifier);
        expected.push_back(c.url);
        EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
    }
}

TEST_F(BaiduPage, ListPickSearchesItsCategoryUntilARadioIsCheckedAgain) {
    std::vector<std::string> expected;
    // With no keyword a pick opens nothing yet leaves no radio checked; Enter
    // then opens the home page, and that is the only URL.
    ASSERT_TRUE(pick_list_item(app, kBaidu, kDictionary));
    EXPECT_EQ(checked_radio(app, kBaidu), -1);
    ASSERT_TRUE(enter_keyword(app, kBaidu, L""));
    search_by_enter();
    expected.push_back(kHome);
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);

    ASSERT_TRUE(enter_keyword(app, kBaidu, L"中 a&b"));
    ASSERT_TRUE(pick_list_item(app, kBaidu, kGames));
    expected.push_back("http://youxi.baidu.com/sr.jsp?wd=中%20a%26b&g=1");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
    EXPECT_EQ(checked_radio(app, kBaidu), -1);

    // Enter repeats the list category with the new keyword.
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    search_by_enter();
    expected.push_back("http://youxi.baidu.com/sr.jsp?wd=abc&g=1");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);

    // A checked radio is the category again; the item stays selected.
    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    search_by_enter();
    expected.push_back(std::string(kNewsUrl) + "abc");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
    EXPECT_EQ(selected_index(app.control(list(kBaidu))), kGames);
}

TEST_F(MainWindow, PageSwitchEmptiesTheKeywordBoxAndKeepsTheRadio) {
    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kZhidao))));
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"中 abc"));
    ASSERT_TRUE(select_page(app, kGoogle));
    ASSERT_TRUE(enter_keyword(app, kGoogle, L"xyz"));

    ASSERT_TRUE(select_page(app, kBaidu));
    EXPECT_TRUE(wait_until([&] { return text(app.control(edit(kBaidu))).empty(); }));
    EXPECT_EQ(checked_radio(app, kBaidu), kZhidao);

    ASSERT_TRUE(select_page(app, kGoogle));
    EXPECT_TRUE(wait_until([&] { return text(app.control(edit(kGoogle))).empty(); }));
    EXPECT_EQ(checked_radio(app, kGoogle), 0);
}

TEST_F(MainWindow, MouseOverTheKeywordBoxTakesTheFocusFromTheList) {
    const HWND combo = app.control(list(kBaidu));
    const HWND keyword = app.control(edit(kBaidu));
    // The list gets the focus by a click; Esc closes it with nothing picked.
    click_on(combo);
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) != nullptr; }));
    press(VK_ESCAPE);
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) == nullptr && app.focus() == combo; }));

    RECT r{};
    GetWindowRect(keyword, &r);
    move_mouse(centre_of(r));
    EXPECT_TRUE(wait_until([&] { return app.focus() == keyword; }));
    EXPECT_EQ(selected_index(combo), CB_ERR);
}

// The menu is opened by a right press on the tab control, closed with Esc.
void expect_menu_from_right_press_at(const Velvane& app, POINT at) {
    click_point(at, Button::Right);
    ASSERT_TRUE(wait_until([&] { return open_popup_menu(app) != nullptr; })) << "no menu";
    press(VK_ESCAPE);
    ASSERT_TRUE(wait_until([&] { return open_popup_menu(app) == nullptr && !in_menu(app); })) << "the menu stayed";
}

TEST_F(MainWindow, RightPressOnATabPopsUpTheMenuButNotOnAPageControl) {
    // A right click on a radio: no menu. A left click on the next radio must
    // then check it at once, which an open menu would not let through.
    click_on(app.control(radio(kBaidu, kNews)), Button::Right);
    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kTieba))));
    EXPECT_EQ(open_popup_menu(app), nullptr);
    EXPECT_FALSE(in_menu(app));

    expect_menu_from_right_press_at(app, centre_of(tab_header(app, kGoogle)));
    EXPECT_EQ(current_page(app), kBaidu) << "a right press selects no page";

    // The frame of Google's language row is a page control too.
    ASSERT_TRUE(select_page(app, kGoogle));
    RECT row{};
    GetWindowRect(app.control(group_box(kGoogle)), &row);
    click_point({row.left + 2, (row.top + row.bottom) / 2}, Button::Right);
    ASSERT_TRUE(check_radio(app.control(radio(kGoogle, 1))));
    EXPECT_EQ(open_popup_menu(app), nullptr);
    EXPECT_FALSE(in_menu(app));
}

// The page area around the controls belongs to the tab control as much as
// its tabs do, although the tab control calls itself transparent off its tabs.
TEST_F(MainWindow, RightPressOnThePagesEmptyAreaPopsUpTheMenu) {
    RECT tab{};
    GetWindowRect(app.tab(), &tab);
    expect_menu_from_right_press_at(app, {tab.right - 12, tab.bottom - 8});
}

// Each bad keyword is searched on a row, and the browser gets exactly what
// the row makes of it.
TEST_F(BaiduPage, QuotesControlCharactersAndBrokenTextReachTheBrowserEscaped) {
    struct Case {
        BaiduRadio row;
        std::wstring keyword;
        bool pasted;  // a person cannot type control characters
        std::string url;
    };
    const Case cases[] = {
        // A quote or a control character could end the browser's quoted
        // argument; they reach it as escapes.
        {kNews,
         L"a\"b\tc\x01"
         L"d\x7f"
         L"e",
         true, std::string(kNewsUrl) + "a%22b%09c%01d%7Fe"},
        // An emoji keeps its four bytes; a lone surrogate becomes U+FFFD.
        {kWeb, L"\U0001F600\xD800z", false, web_url("%F0%9F%98%80%EF%BF%BD%7A")},
        {kNews, L"\U0001F600\xDC00z", false, std::string(kNewsUrl) + "\U0001F600\uFFFDz"},
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        ASSERT_TRUE(check_radio(app.control(radio(kBaidu, c.row))));
        ASSERT_TRUE(enter_keyword(app, kBaidu, c.pasted ? L"" : c.keyword));
        if (c.pasted) {
            paste(c.keyword);
            ASSERT_TRUE(wait_until([&] { return text(app.control(edit(kBaidu))) == c.keyword; }));
        }
        search_by_enter();
        expected.push_back(c.url);
        EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
    }
    EXPECT_TRUE(app.running());
}

// A pasted text far longer than any browser takes: the keyword box keeps its
// first kKeywordMaxChars characters, that keyword opens one whole URL, the
// program stays up, and the next search works.
TEST_F(BaiduPage, APastedHundredThousandCharactersAreCutToTheBoxLimitAndOpenOneUrl) {
    std::wstring pasted;
    for (int i = 0; i < 50000; ++i) pasted += L"a中";
    const std::wstring keyword = pasted.substr(0, velvane::ids::kKeywordMaxChars);

    ASSERT_TRUE(check_radio(app.control(radio(kBaidu, kNews))));
    ASSERT_TRUE(enter_keyword(app, kBaidu, L""));
    paste(pasted);
    ASSERT_TRUE(wait_until([&] { return !text(app.control(edit(kBaidu))).empty(); }));
    EXPECT_EQ(text(app.control(edit(kBaidu))), keyword);
    search_by_enter();
    // A URL this long goes to the browser's command line (a process start),
    // the next one to the running browser: either may arrive first unless
    // the first has arrived before the next search.
    ASSERT_EQ(app.wait_for_urls(1).size(), 1u) << "the long URL did not arrive";
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    search_by_enter();

    const auto urls = app.wait_for_urls(2);
    ASSERT_EQ(urls.size(), 2u) << "the browser got " << urls.size() << " URLs";
    EXPECT_EQ(urls[0], kNewsUrl + utf8(keyword)) << urls[0].substr(0, 200);
    EXPECT_EQ(urls[1], std::string(kNewsUrl) + "abc");
    EXPECT_TRUE(app.running());
}

// Stepping through the list searches nothing until the user makes a choice:
// arrow keys on the closed list only move the item, Enter searches it; in the
// open list, Esc takes nothing and Enter takes the item it is on.
TEST_F(BaiduPage, ArrowKeysOnTheClosedListOpenNothingAndEnterSearches) {
    const HWND combo = app.control(list(kBaidu));
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"abc"));
    // The list gets the focus by a click; Esc closes it with nothing taken.
    click_on(combo);
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) != nullptr; }));
    press(VK_ESCAPE);
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) == nullptr && app.focus() == combo; }));

    for (int step = 0; step < 3; ++step) press(VK_DOWN);
    press(VK_UP);
    ASSERT_TRUE(wait_until([&] { return selected_index(combo) == 1; })) << selected_index(combo);
    EXPECT_EQ(dropped_list(app), nullptr);
    press(VK_RETURN);
    std::vector<std::string> expected = {"http://youxi.baidu.com/sr.jsp?wd=abc&g=1"};  // 游戏
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);

    // In the open list: a step down and Esc take nothing; Home and Enter
    // take the first item (影视).
    press(VK_DOWN, {VK_MENU});
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) != nullptr; }));
    press(VK_DOWN);
    press(VK_ESCAPE);
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) == nullptr; }));
    press(VK_DOWN, {VK_MENU});
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) != nullptr; }));
    press(VK_HOME);
    press(VK_RETURN);
    ASSERT_TRUE(wait_until([&] { return dropped_list(app) == nullptr && selected_index(combo) == 0; }));
    expected.push_back("http://v.baidu.com/search.php?word=abc");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);

    // Enter in the keyword box searches the list category with the new
    // keyword, and the log shows that nothing else came between.
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"xyz"));
    search_by_enter();
    expected.push_back("http://v.baidu.com/search.php?word=xyz");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
}

}  // namespace
}  // namespace e2e
