// Every URL template row of every engine, once: the keyword "中 a&b" shows
// where a row takes the raw and where the encoded keyword.
#include <gtest/gtest.h>

#include "engines/engines.h"

namespace velvane {
namespace {

constexpr std::string_view kKeyword = "中 a&b";
constexpr std::string_view kEncoded = "%E4%B8%AD%20%61%26%62";

enum class Via { Radio, List };

struct Row {
    const Engine* engine;
    Via via;
    std::size_t index;
    std::string expected;  // {raw} and {enc} stand for the keyword's two forms
};

std::string expand(std::string_view pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern.substr(i).starts_with("{raw}")) {
            out += kKeyword;
            i += 5;
        } else if (pattern.substr(i).starts_with("{enc}")) {
            out += kEncoded;
            i += 5;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

std::vector<std::string> search_row(const Row& row, std::string_view keyword) {
    PageState state = initial_state(*row.engine);
    EncoderScratch scratch;
    state.keyword = keyword;
    if (row.via == Via::Radio) {
        radio_clicked(*row.engine, state, row.index);
        return page_search(*row.engine, state, scratch);
    }
    state.list_index = static_cast<int>(row.index);
    return list_pick(*row.engine, state, scratch);
}

const Row kRows[] = {
    {&kBaidu, Via::Radio, 0, "http://www.baidu.com/s?ie=utf-8&bs={enc}&sr=&z=&cl=3&f=8&wd={enc}&ct=0"},
    {&kBaidu, Via::Radio, 1, "http://news.baidu.com/ns?cl=2&rn=20&tn=news&word={raw}"},
    {&kBaidu, Via::Radio, 2, "http://tieba.baidu.com/f?kw={raw}"},
    {&kBaidu, Via::Radio, 3, "http://zhidao.baidu.com/q?word={raw}&ct=17&pn=0&tn=ikaslist&rn=10&lm=0&fr=search"},
    {&kBaidu, Via::Radio, 4, "http://baike.baidu.com/notexists?word={raw}"},
    {&kBaidu, Via::Radio, 5, "http://mp3.baidu.com/m?f=ms&rn=&tn=baidump3&ct=134217728&word={raw}&lm=-1"},
    {&kBaidu, Via::Radio, 6,
     "http://image.baidu.com/i?ct=201326592&cl=2&lm=-1&tn=baiduimage&tn=baiduimagenojs&rn=20&pv=&word={raw}&z=0"},
    {&kBaidu, Via::Radio, 7, "http://video.baidu.com/v?ct=301989888&rn=20&pn=0&db=0&s=0&fbl=800&word={raw}"},
    {&kBaidu, Via::List, 0, "http://v.baidu.com/search.php?word={raw}"},
    {&kBaidu, Via::List, 1, "http://youxi.baidu.com/sr.jsp?wd={raw}&g=1"},
    {&kBaidu, Via::List, 2, "http://hi.baidu.com/sys/search?type=0&sort=1&entry=1&region=0&word={raw}"},
    {&kBaidu, Via::List, 3, "http://youa.baidu.com/search/s?search_domain=1&keyword={raw}"},
    {&kBaidu, Via::List, 4, "http://dict.baidu.com/s?wd={raw}"},
    {&kBaidu, Via::List, 5, "http://index.baidu.com/main/word.php?word={raw}"},
};

TEST(EngineUrls, EveryRowJoinsItsTemplate) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.engine->tab_caption) + (row.via == Via::Radio ? " radio " : " list ") +
                     std::to_string(row.index));
        EXPECT_EQ(search_row(row, kKeyword), std::vector<std::string>{expand(row.expected)});
    }
}

}  // namespace
}  // namespace velvane
