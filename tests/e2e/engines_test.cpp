// The six engine pages after Baidu, on the real window: each page's radio and
// list are wired to its own URL table, and Google's language row and lucky
// button come and go as the user clicks. The unit tests carry every row; these
// show the wiring, one radio and one list item per page.
#include <ostream>
#include <string>
#include <vector>

#include "page_actions.h"

namespace e2e {
namespace {

using namespace pages;

// Raw, the keyword is itself but for its blank and its '&'; encoded, every
// UTF-8 byte is an escape.
constexpr wchar_t kKeyword[] = L"中 a&b";
constexpr char kRaw[] = "中%20a%26b";
constexpr char kEncoded[] = "%E4%B8%AD%20%61%26%62";

struct PageCase {
    const char* name;
    int page;
    int radio;  // not the one checked at start
    std::string radio_url;
    int item;
    std::string item_url;
};

const PageCase kPages[] = {
    {"Google", 1, 3, std::string("http://news.google.cn/news/search?pz=1&ned=ccn&hl=zh-CN&q=") + kEncoded,  // 资讯
     0, std::string("http://blogsearch.google.cn/blogsearch?hl=zh-CN&ie=GB2312&q=") + kRaw},                // 博客
    {"Yahoo", 2, 5,  // 图片: the one raw row of a page that encodes
     std::string("http://www.yahoo.cn/s?p=") + kRaw + "&v=image&pid=ysearch&source=ysearch_img_result_topsearch&x=", 1,
     std::string("http://www.yahoo.cn/s?p=") + kRaw + "&v=person&ei=utf-8&pid=ysearch"},                   // 人物
    {"Youdao", 3, 5, std::string("http://dict.youdao.com/search?tab=chn&keyfrom=dict.top&q=") + kEncoded,  // 海量词典
     3, std::string("http://tie.youdao.com/search?method=searchdft&word=") + kEncoded + "&srchtype=keyword"},  // 快帖
    {"Soso", 4, 4, std::string("http://wenwen.soso.com/z/SearchSolved.e?sp=S") + kEncoded,                     // 问问
     2, std::string("http://dict.soso.com/d.q?sc=dict&w=") + kRaw},                                            // 词典
    {"Sogou", 5, 5, std::string("http://map.sogou.com/#city=%u5168%u56FD&lq=") + kRaw + "&page=1",             // 地图
     0, std::string("http://wenda.sogou.com/search?query=") + kRaw},                                           // 问答
    {"Gougou", 6, 0, std::string("http://web.gougou.com/search?search=") + kRaw,  // 网页, not the main host
     3, std::string("http://mp4.gougou.com/search?search=") + kRaw},              // MP4视频
};

// Test names show the page, not the bytes of the case.
void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

class EnginePage : public VelvaneTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(EnginePage, SearchesARadioByEnterAndAListPick) {
    const PageCase& c = GetParam();
    ASSERT_TRUE(select_page(app, c.page));
    ASSERT_TRUE(check_radio(app.control(radio(c.page, c.radio))));
    ASSERT_TRUE(enter_keyword(app, c.page, kKeyword));
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{c.radio_url});

    ASSERT_TRUE(pick_list_item(app, c.page, c.item));
    EXPECT_EQ(app.wait_for_urls(2), (std::vector<std::string>{c.radio_url, c.item_url}));
    EXPECT_EQ(checked_radio(app, c.page), -1);
}

INSTANTIATE_TEST_SUITE_P(Pages, EnginePage, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<PageCase>& param) { return std::string(param.param.name); });

// Google's controls.
constexpr int kGoogle = 1;
enum GoogleRadio { kWeb, kImages, kMaps, kNews, kVideo, kMusic };
enum GoogleLanguage { kAllPages, kChinesePages, kSimplifiedChinesePages, kPagesFromChina };
enum GoogleItem { kBlogs, kFinance, kHotList, kTranslation };

using GooglePage = VelvaneTest;

TEST_F(GooglePage, LanguageRowAndLuckyButtonFollowTheCategory) {
    ASSERT_TRUE(select_page(app, kGoogle));
    const HWND row = app.control(group_box(kGoogle));
    const HWND lucky = app.control(extra_button(kGoogle));
    const auto extras_shown = [&](bool shown) {
        return wait_until([&] { return visible(row) == shown && visible(lucky) == shown; });
    };
    EXPECT_TRUE(extras_shown(true));
    EXPECT_TRUE(checked(app.control(language(kGoogle, kAllPages))));

    ASSERT_TRUE(check_radio(app.control(radio(kGoogle, kImages))));
    EXPECT_TRUE(extras_shown(false));
    ASSERT_TRUE(check_radio(app.control(radio(kGoogle, kWeb))));
    EXPECT_TRUE(extras_shown(true));
    ASSERT_TRUE(check_radio(app.control(radio(kGoogle, kMusic))));
    EXPECT_TRUE(extras_shown(false));
    ASSERT_TRUE(check_radio(app.control(radio(kGoogle, kWeb))));
    EXPECT_TRUE(extras_shown(true));

    // The language radios are a group of their own: the category stays.
    ASSERT_TRUE(check_radio(app.control(language(kGoogle, kSimplifiedChinesePages))));
    EXPECT_FALSE(checked(app.control(language(kGoogle, kAllPages))));
    EXPECT_EQ(checked_radio(app, kGoogle), kWeb);

    std::vector<std::string> expected;
    ASSERT_TRUE(enter_keyword(app, kGoogle, kKeyword));
    press(VK_RETURN);
    expected.push_back(std::string("http://www.google.cn/search?hl=zh-CN&q=") + kEncoded +
                       "&meta=lr%3Dlang_zh-CN&aq=f&oq=");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);

    // The lucky search takes the raw keyword.
    click_on(lucky);
    expected.push_back(std::string("http://www.google.cn/search?hl=zh-CN&q=") + kRaw +
                       "&btnI=%C2%A0%E6%89%8B%E6%B0%94%E4%B8%8D%E9%94%99%C2%A0&meta=&aq=f&oq=");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);

    // A list pick hides both and leaves no category checked.
    ASSERT_TRUE(pick_list_item(app, kGoogle, kFinance));
    expected.push_back(std::string("http://www.google.cn/finance?q=") + kRaw);
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);
    EXPECT_TRUE(extras_shown(false));
    EXPECT_EQ(checked_radio(app, kGoogle), -1);

    // The translation item opens its host even without a keyword.
    ASSERT_TRUE(enter_keyword(app, kGoogle, L""));
    ASSERT_TRUE(pick_list_item(app, kGoogle, kTranslation));
    expected.push_back("http://translate.google.cn");
    EXPECT_EQ(app.wait_for_urls(expected.size()), expected);

    // Back on the web category, the language picked before is still picked.
    ASSERT_TRUE(check_radio(app.control(radio(kGoogle, kWeb))));
    EXPECT_TRUE(extras_shown(true));
    EXPECT_TRUE(checked(app.control(language(kGoogle, kSimplifiedChinesePages))));
}

}  // namespace
}  // namespace e2e
