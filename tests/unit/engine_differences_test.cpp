// The page algorithm's paths where the engines differ: Google's language row
// and lucky button, the translation items, the home pages, which searches run
// the encoder, and Gougou's start radio.
#include <gtest/gtest.h>

#include <algorithm>

#include "engines/engines.h"

namespace velvane {
namespace {

using Urls = std::vector<std::string>;

constexpr std::string_view kEncodedZhong = "%E4%B8%AD";  // 中
constexpr std::string_view kEarlierResult = "%41";

bool no_radio_checked(const PageState& state) {
    return std::none_of(state.radios.begin(), state.radios.end(), [](bool b) { return b; });
}

std::string trace(const Engine& engine, std::string_view what, std::size_t index) {
    return std::string(engine.tab_caption) + " " + std::string(what) + " " + std::to_string(index);
}

// ---- Google: the language row and the lucky button ----

enum class Act {
    Click,   // the user clicks category radio `index`
    Pick,    // the user picks list item `index`
    Check,   // radio `index` becomes the checked one without its click handler
    Search,  // the search button
};

struct Step {
    Act act;
    std::size_t index = 0;
};

struct VisibilityCase {
    const char* what;
    std::vector<Step> steps;
    std::string keyword;
    bool language_row_visible;
    bool lucky_visible;
};

TEST(GooglePage, LanguageRowAndLuckyButtonFollowTheCategory) {
    const VisibilityCase cases[] = {
        {"start", {}, "", true, true},
        {"网页 after 图片", {{Act::Click, 1}, {Act::Click, 0}}, "", true, true},
        {"网页 after a list pick", {{Act::Pick, 1}, {Act::Click, 0}}, "中", true, true},
        {"图片", {{Act::Click, 1}}, "", false, false},
        {"地图", {{Act::Click, 2}}, "", false, false},
        {"资讯", {{Act::Click, 3}}, "", false, false},
        {"视频", {{Act::Click, 4}}, "", false, false},
        {"音乐", {{Act::Click, 5}}, "", false, false},
        {"list pick, empty keyword", {{Act::Pick, 1}}, "", false, false},
        {"list pick of the translation item", {{Act::Pick, 3}}, "中", false, false},
        // Launching the image URL hides the language row; the lucky button
        // keeps its visibility.
        {"search that launches the image URL", {{Act::Check, 1}, {Act::Search}}, "中", false, true},
        {"empty keyword: the home page, not the image URL", {{Act::Check, 1}, {Act::Search}}, "", true, true},
        {"search of another category", {{Act::Check, 2}, {Act::Search}}, "中", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PageState state = initial_state(kGoogle);
        EncoderScratch scratch;
        state.keyword = c.keyword;
        for (const Step& step : c.steps) {
            switch (step.act) {
            case Act::Click:
                radio_clicked(kGoogle, state, step.index);
                break;
            case Act::Pick:
                state.list_index = static_cast<int>(step.index);
                list_pick(kGoogle, state, scratch);
                break;
            case Act::Check:
                std::fill(state.radios.begin(), state.radios.end(), false);
                state.radios.at(step.index) = true;
                break;
            case Act::Search:
                page_search(kGoogle, state, scratch);
                break;
            }
        }
        EXPECT_EQ(state.language_row_visible, c.language_row_visible);
        EXPECT_EQ(state.extra_button_visible, c.lucky_visible);
    }
}

TEST(GooglePage, LanguageRadiosAreAGroupOfTheirOwn) {
    PageState state = initial_state(kGoogle);
    EncoderScratch scratch;
    EXPECT_EQ(state.radios, std::vector<bool>({true, false, false, false, false, false}));
    const std::vector<bool> simplified = {false, false, true, false};  // 简体中文网页
    EXPECT_EQ(state.languages, std::vector<bool>({true, false, false, false}));
    state.languages = simplified;
    state.keyword = "中";

    // Category clicks, list picks and searches leave the language radios alone.
    radio_clicked(kGoogle, state, 1);
    EXPECT_EQ(page_search(kGoogle, state, scratch),
              Urls{"http://images.google.cn/images?hl=zh-CN&q=%E4%B8%AD&gbv=2&aq=f&oq="});
    state.list_index = 0;
    list_pick(kGoogle, state, scratch);
    EXPECT_EQ(state.languages, simplified);

    radio_clicked(kGoogle, state, 0);
    EXPECT_TRUE(state.language_row_visible);
    EXPECT_EQ(state.languages, simplified);
    EXPECT_EQ(page_search(kGoogle, state, scratch),
              Urls{"http://www.google.cn/search?hl=zh-CN&q=%E4%B8%AD&meta=lr%3Dlang_zh-CN&aq=f&oq="});
}

TEST(GooglePage, LuckySearchTakesTheRawKeywordWithNoEmptyTest) {
    constexpr std::string_view kBtnI = "&btnI=%C2%A0%E6%89%8B%E6%B0%94%E4%B8%8D%E9%94%99%C2%A0&meta=&aq=f&oq=";
    PageState state = initial_state(kGoogle);
    EXPECT_EQ(extra_button_search(kGoogle, state),
              Urls{"http://www.google.cn/search?hl=zh-CN&q=" + std::string(kBtnI)});

    // Neither the category nor the language radios are read.
    state.keyword = "中 a";
    radio_clicked(kGoogle, state, 3);
    state.languages = {false, false, false, true};
    EXPECT_EQ(extra_button_search(kGoogle, state),
              Urls{"http://www.google.cn/search?hl=zh-CN&q=中%20a" + std::string(kBtnI)});
    EXPECT_EQ(extra_button_search(kBaidu, initial_state(kBaidu)), Urls{});
}

// ---- Empty keywords ----

TEST(EnginePages, TranslationItemsOpenTheirHostWithOrWithoutAKeyword) {
    struct Case {
        const Engine* engine;
        std::size_t item;
        std::string translation;
        std::string home;
    };
    const Case cases[] = {
        {&kGoogle, 3, "http://translate.google.cn", "http://www.google.cn"},
        {&kYoudao, 4, "http://fanyi.youdao.com", "http://www.youdao.com"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine->tab_caption);
        PageState state = initial_state(*c.engine);
        EncoderScratch scratch;
        state.list_index = static_cast<int>(c.item);
        EXPECT_EQ(list_pick(*c.engine, state, scratch), Urls{c.translation});
        EXPECT_TRUE(no_radio_checked(state));
        // The search button in list mode: the empty test comes first.
        EXPECT_EQ(page_search(*c.engine, state, scratch), Urls{c.home});
        state.keyword = "中";
        EXPECT_EQ(page_search(*c.engine, state, scratch), Urls{c.translation});
    }
}

TEST(EnginePages, ListPickWithEmptyKeywordUnchecksTheRadiosAndOpensNothing) {
    for (const Engine* engine : all_engines()) {
        for (std::size_t item = 0; item < engine->list.size(); ++item) {
            const bool translation = (engine == &kGoogle && item == 3) || (engine == &kYoudao && item == 4);
            if (translation) continue;  // above
            SCOPED_TRACE(trace(*engine, "item", item));
            PageState state = initial_state(*engine);
            EncoderScratch scratch;
            state.list_index = static_cast<int>(item);
            EXPECT_EQ(list_pick(*engine, state, scratch), Urls{});
            EXPECT_TRUE(no_radio_checked(state));
        }
    }
}

// With an empty keyword every category, and list mode, opens the home page.
// The pages that encode before the empty test leave the empty encoding in the
// result box; the others leave it as it was.
TEST(EnginePages, EmptyKeywordOpensTheHomePage) {
    struct Case {
        const Engine* engine;
        std::string home;
        std::string_view scratch_after;
    };
    const Case cases[] = {
        {&kBaidu, "http://www.baidu.com", kEarlierResult},
        {&kGoogle, "http://www.google.cn", ""},
        {&kYahoo, "http://cn.yahoo.com/", ""},
        {&kYoudao, "http://www.youdao.com", ""},
        {&kSoso, "http://www.soso.com", kEarlierResult},
        {&kSogou, "http://www.sogou.com", kEarlierResult},
        {&kGougou, "http://www.gougou.com", kEarlierResult},
    };
    for (const auto& c : cases) {
        const Engine& engine = *c.engine;
        // Each category radio, then list mode.
        for (std::size_t r = 0; r <= engine.radios.size(); ++r) {
            SCOPED_TRACE(trace(engine, "radio", r));
            PageState state = initial_state(engine);
            EncoderScratch scratch;
            if (r < engine.radios.size()) {
                radio_clicked(engine, state, r);
            } else {
                state.list_index = 0;
                list_pick(engine, state, scratch);
            }
            scratch.last_encoded = kEarlierResult;
            EXPECT_EQ(page_search(engine, state, scratch), Urls{c.home});
            EXPECT_EQ(scratch.last_encoded, c.scratch_after);
        }
    }
}

// ---- The result box ----

// Which searches leave the keyword's encoding in the result box, whether their
// URL uses it or not.
TEST(EnginePages, SearchesThatRunTheEncoder) {
    enum class Via { Radio, List };
    struct Case {
        const Engine* engine;
        Via via;
        std::size_t index;
        std::string keyword;
        std::string_view scratch_after;
    };
    const Case cases[] = {
        // Yahoo encodes before its page search, also for the raw image row;
        // its list search does not encode.
        {&kYahoo, Via::Radio, 5, "中", kEncodedZhong},
        {&kYahoo, Via::List, 0, "中", kEarlierResult},
        // Google's list search encodes only for 热榜.
        {&kGoogle, Via::List, 0, "中", kEarlierResult},
        {&kGoogle, Via::List, 2, "中", kEncodedZhong},
        {&kGoogle, Via::List, 3, "", kEarlierResult},
        // Youdao's list search encodes first, also for the translation item
        // and for an empty keyword.
        {&kYoudao, Via::List, 4, "中", kEncodedZhong},
        {&kYoudao, Via::List, 0, "", ""},
        // Soso encodes only for 问问 and 百科.
        {&kSoso, Via::Radio, 0, "中", kEarlierResult},
        {&kSoso, Via::Radio, 4, "中", kEncodedZhong},
        {&kSoso, Via::List, 0, "中", kEarlierResult},
        {&kSoso, Via::List, 3, "中", kEncodedZhong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(trace(*c.engine, c.via == Via::Radio ? "radio" : "item", c.index));
        PageState state = initial_state(*c.engine);
        EncoderScratch scratch{std::string(kEarlierResult)};
        state.keyword = c.keyword;
        if (c.via == Via::Radio) {
            radio_clicked(*c.engine, state, c.index);
            page_search(*c.engine, state, scratch);
        } else {
            state.list_index = static_cast<int>(c.index);
            list_pick(*c.engine, state, scratch);
        }
        EXPECT_EQ(scratch.last_encoded, c.scratch_after);
    }
}

// ---- Gougou ----

TEST(GougouPage, StartsOnItsSecondRadioWhichSearchesTheMainHost) {
    PageState state = initial_state(kGougou);
    EncoderScratch scratch;
    EXPECT_EQ(state.radios, std::vector<bool>({false, true, false, false, false, false, false}));
    state.keyword = "中";
    EXPECT_EQ(page_search(kGougou, state, scratch), Urls{"http://www.gougou.com/search?search=中"});
}

}  // namespace
}  // namespace velvane
