// The page algorithm's paths, shown on the Baidu page.
#include <gtest/gtest.h>

#include "engines/engines.h"

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

TEST(BadKeywords, EveryUrlStartsWithItsHostWhateverTheKeyword) {
    const std::string keywords[] = {std::string(100000, 'x'), "\"",           std::string("\x00\x01\r\n", 4),
                                    "\xF0\x9F\x98\x80",       "\xEF\xBF\xBD", "{raw}{enc}{tail}{"};
    for (const Engine* engine : all_engines()) {
        for (std::size_t r = 0; r < engine->radios.size(); ++r) {
            for (const auto& keyword : keywords) {
                PageState state = initial_state(*engine);
                EncoderScratch scratch;
                state.keyword = keyword;
                radio_clicked(*engine, state, r);
                for (const auto& url : page_search(*engine, state, scratch))
                    EXPECT_TRUE(url.starts_with("http://" + std::string(host_of(engine->radios[r].url.host)) + "/"))
                        << url.substr(0, 80);
            }
        }
    }
}

}  // namespace
}  // namespace velvane
