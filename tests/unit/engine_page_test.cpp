// The page algorithm's paths, shown on the Baidu page.
#include <gtest/gtest.h>

#include <cctype>

#include "engines/engines.h"
#include "engines/user_pages.h"

namespace velvane {
namespace {

using Urls = std::vector<std::string>;

class BaiduPage : public ::testing::Test {
protected:
    PageState state = initial_state(kBaidu);
    EncoderScratch scratch;

    bool no_radio_checked() const {
        return std::none_of(state.radios.begin(), state.radios.end(), [](bool b) { return b; });
    }
};

TEST_F(BaiduPage, StartsWithTheWebRadioCheckedAndNoListItem) {
    EXPECT_EQ(state.radios, std::vector<bool>({true, false, false, false, false, false, false, false}));
    EXPECT_EQ(state.list_index, kNoListItem);
    EXPECT_TRUE(state.keyword.empty());
}

TEST_F(BaiduPage, EmptyKeywordOpensTheHomePageWhateverTheCategory) {
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{"http://www.baidu.com"});
    radio_clicked(kBaidu, state, 3);
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{"http://www.baidu.com"});
    // In list mode too: the home page, not the list category.
    state.list_index = 4;
    EXPECT_EQ(list_pick(kBaidu, state, scratch), Urls{});
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{"http://www.baidu.com"});
    EXPECT_EQ(scratch.last_encoded, "");  // nothing was encoded
}

TEST_F(BaiduPage, ListPickWithEmptyKeywordLaunchesNothingButUnchecksTheRadios) {
    state.list_index = 4;  // 词典
    EXPECT_EQ(list_pick(kBaidu, state, scratch), Urls{});
    EXPECT_TRUE(no_radio_checked());
}

TEST_F(BaiduPage, ListModeRepeatsTheListCategoryUntilARadioIsChecked) {
    state.keyword = "abc";
    state.list_index = 1;  // 游戏
    EXPECT_EQ(list_pick(kBaidu, state, scratch), Urls{"http://youxi.baidu.com/sr.jsp?wd=abc&g=1"});
    EXPECT_TRUE(no_radio_checked());

    state.keyword = "新";
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{"http://youxi.baidu.com/sr.jsp?wd=新&g=1"});

    radio_clicked(kBaidu, state, 2);  // 贴吧: back in radio mode, the list item stays selected
    EXPECT_EQ(state.list_index, 1);
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{"http://tieba.baidu.com/f?kw=新"});
}

TEST_F(BaiduPage, OnlyTheWebRowRunsTheEncoder) {
    state.keyword = "中";
    radio_clicked(kBaidu, state, 1);  // 新闻: raw, the result box keeps what it held
    scratch.last_encoded = "%41";
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{"http://news.baidu.com/ns?cl=2&rn=20&tn=news&word=中"});
    EXPECT_EQ(scratch.last_encoded, "%41");

    radio_clicked(kBaidu, state, 0);
    page_search(kBaidu, state, scratch);
    EXPECT_EQ(scratch.last_encoded, "%E4%B8%AD");
    page_search(kBaidu, state, scratch);  // encoding again replaces, never accumulates
    EXPECT_EQ(scratch.last_encoded, "%E4%B8%AD");
}

TEST_F(BaiduPage, BlanksOnlyIsAKeyword) {
    state.keyword = "  ";
    EXPECT_EQ(page_search(kBaidu, state, scratch),
              Urls{"http://www.baidu.com/s?ie=utf-8&bs=%20%20&sr=&z=&cl=3&f=8&wd=%20%20&ct=0"});
    radio_clicked(kBaidu, state, 2);
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{"http://tieba.baidu.com/f?kw=%20%20"});
}

TEST_F(BaiduPage, NoListItemSelectedInListModeLaunchesNothing) {
    state.keyword = "x";
    std::fill(state.radios.begin(), state.radios.end(), false);
    EXPECT_EQ(page_search(kBaidu, state, scratch), Urls{});
}

TEST(BuildUrl, JoinsHostPathAndKeywordsAndLeavesOtherTextAlone) {
    EXPECT_EQ(build_url({HostRole::BaiduMain, "/a?x={raw}&y={enc}{tail}"}, "k", "%6B", "&t"),
              "http://www.baidu.com/a?x=k&y=%6B&t");
    // A keyword that looks like a placeholder is joined, never expanded, with
    // its braces escaped as in any raw keyword.
    EXPECT_EQ(build_url({HostRole::BaiduMain, "/a?x={raw}"}, "{enc}", "E"), "http://www.baidu.com/a?x=%7Benc%7D");
    // A per cent sign typed is one: "%41" is searched as "%41", not "A".
    EXPECT_EQ(build_url({HostRole::BaiduMain, "/a?x={raw}"}, "%41 中", ""), "http://www.baidu.com/a?x=%2541%20中");
    EXPECT_EQ(build_url({HostRole::SogouMap, "/#city=%u5168%u56FD&lq={raw}&page=1"}, "a", ""),
              "http://map.sogou.com/#city=%u5168%u56FD&lq=a&page=1");
}

// Every row of every page, built in or from the user's file: its search
// button or Enter for each radio, a pick for each list item, the extra button.
struct Row {
    std::string name;
    const Engine* engine;
    enum class Action { Radio, ListItem, ExtraButton } action;
    std::size_t index;
    const UrlTemplate* url;
};

std::vector<Row> rows_of(const Engine& engine, std::string_view page) {
    std::vector<Row> rows;
    const std::string prefix = std::string(page) + " ";
    for (std::size_t r = 0; r < engine.radios.size(); ++r)
        rows.push_back(
            {prefix + std::string(engine.radios[r].caption), &engine, Row::Action::Radio, r, &engine.radios[r].url});
    for (std::size_t i = 0; i < engine.list.size(); ++i)
        rows.push_back(
            {prefix + std::string(engine.list[i].caption), &engine, Row::Action::ListItem, i, &engine.list[i].url});
    if (engine.extra_button)
        rows.push_back({prefix + std::string(engine.extra_button->caption), &engine, Row::Action::ExtraButton, 0,
                        &engine.extra_button->url});
    return rows;
}

std::vector<std::string> search(const Row& row, const std::string& keyword, EncoderScratch& scratch) {
    PageState state = initial_state(*row.engine);
    state.keyword = keyword;
    switch (row.action) {
    case Row::Action::Radio:
        radio_clicked(*row.engine, state, row.index);
        return page_search(*row.engine, state, scratch);
    case Row::Action::ListItem:
        state.list_index = static_cast<int>(row.index);
        return list_pick(*row.engine, state, scratch);
    case Row::Action::ExtraButton:
        return extra_button_search(*row.engine, state);
    }
    return {};
}

// "http://host" or "https://host:port": where an address goes, up to its path.
std::string_view scheme_and_host(std::string_view address) {
    const auto host = address.find("://");
    if (host == std::string_view::npos) return {};
    return address.substr(0, address.find_first_of("/?#", host + 3));
}

// Each address a row opens, in order: where its URL must go.
std::vector<std::string> destinations(const UrlTemplate& url) {
    if (url.form == UrlForm::HostAndPath) return {"http://" + std::string(host_of(url.host))};
    std::vector<std::string> out;
    std::string_view rest = url.path;
    for (;;) {
        const auto bar = rest.find(kAddressSeparator);
        out.emplace_back(scheme_and_host(rest.substr(0, bar)));
        if (bar == std::string_view::npos) return out;
        rest.remove_prefix(bar + 1);
    }
}

// A user template that sends its keyword in GBK or Big5 cannot send every
// character; a UTF-8 one, raw or none can.
bool may_be_unencodable(const UrlTemplate& url) {
    std::string lower(url.path);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return url.form == UrlForm::User &&
           (lower.find("gbk") != std::string::npos || lower.find("big5") != std::string::npos);
}

// Beside the example file's pages, the template forms it does not use: Big5
// with "+" for blanks, raw, a line with no keyword, an address with a port
// and two addresses on one line.
constexpr std::string_view kMoreUserPages =
    "[杂项]\n"
    "radio = 繁体 | http://big5.example.cn/s?q={keyword:big5,+}\n"
    "radio = 原样 | https://raw.example.cn/s?q={keyword:raw}&c={charset}\n"
    "more = 无词 | https://fixed.example.cn/\n"
    "more = 两处 | https://a.example.cn/?q=%s | http://b.example.cn:8080/find?q={q:gbk}\n";

TEST(BadKeywords, EveryUrlStartsWithItsHostWhateverTheKeyword) {
    const std::string keywords[] = {std::string(100000, 'x'), "\"",           std::string("\x00\x01\r\n", 4),
                                    "\xF0\x9F\x98\x80",       "\xEF\xBF\xBD", "{raw}{enc}{tail}{",
                                    "../@evil.example/%2F#?", "中 a&b"};
    const UserPages example = read_user_pages(kUserPagesExample);
    const UserPages more = read_user_pages(kMoreUserPages);
    ASSERT_EQ(more.problem_count(), 0u) << user_pages_problem_text(more);
    std::vector<Row> rows;
    for (const Engine* engine : all_engines()) {
        const auto page = rows_of(*engine, engine->tab_caption);
        rows.insert(rows.end(), page.begin(), page.end());
    }
    for (const UserPages* read : {&example, &more}) {
        for (const UserPage& page : read->pages()) {
            const auto user = rows_of(page.engine, page.engine.tab_caption);
            rows.insert(rows.end(), user.begin(), user.end());
        }
    }
    ASSERT_EQ(more.pages().size(), 1u);

    for (const Row& row : rows) {
        const std::vector<std::string> hosts = destinations(*row.url);
        for (const auto& keyword : keywords) {
            SCOPED_TRACE(row.name + ", keyword " + keyword.substr(0, 20));
            EncoderScratch scratch;
            const std::vector<std::string> urls = search(row, keyword, scratch);
            // A keyword is there, so every row opens each of its addresses;
            // only a character the row's code page cannot hold opens none,
            // and the user is told which.
            if (urls.empty() && scratch.unencodable) {
                EXPECT_TRUE(may_be_unencodable(*row.url)) << "a UTF-8 row called a character unencodable";
                continue;
            }
            ASSERT_EQ(urls.size(), hosts.size())
                << "the row opened " << urls.size() << " of its " << hosts.size() << " addresses";
            for (std::size_t i = 0; i < urls.size(); ++i)
                EXPECT_EQ(scheme_and_host(urls[i]), hosts[i]) << urls[i].substr(0, 80);
        }
    }
}

}  // namespace
}  // namespace velvane
