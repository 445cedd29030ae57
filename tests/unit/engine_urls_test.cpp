// Every URL template row of every engine, once: the keyword "中 a&b" shows
// where a row takes the raw keyword (its blank and '&' escaped, the rest as
// typed) and where the encoded one.
#include <gtest/gtest.h>

#include <algorithm>

#include "engines/engines.h"

namespace velvane {
namespace {

constexpr std::string_view kKeyword = "中 a&b";
constexpr std::string_view kRaw = "中%20a%26b";
constexpr std::string_view kEncoded = "%E4%B8%AD%20%61%26%62";

// Radio: check the category radio (and, on a page with a language row, the
// language radio `language`), then the page search. List: pick the item.
// Extra: the page's second button.
enum class Via { Radio, List, Extra };

struct Row {
    const Engine* engine;
    Via via;
    std::size_t index;
    std::string expected;  // {raw} and {enc} stand for the keyword's two forms
    std::size_t language = 0;
};

std::string expand(std::string_view pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern.substr(i).starts_with("{raw}")) {
            out += kRaw;
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
        if (!state.languages.empty()) {
            std::fill(state.languages.begin(), state.languages.end(), false);
            state.languages.at(row.language) = true;
        }
        return page_search(*row.engine, state, scratch);
    }
    if (row.via == Via::Extra) return extra_button_search(*row.engine, state);
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

    {&kGoogle, Via::Radio, 0, "http://www.google.cn/search?hl=zh-CN&q={enc}&meta=&aq=f&oq=", 0},
    {&kGoogle, Via::Radio, 0,
     "http://www.google.cn/search?hl=zh-CN&q={enc}&meta=lr%3Dlang_zh-CN%7Clang_zh-TW&aq=f&oq=", 1},
    {&kGoogle, Via::Radio, 0, "http://www.google.cn/search?hl=zh-CN&q={enc}&meta=lr%3Dlang_zh-CN&aq=f&oq=", 2},
    {&kGoogle, Via::Radio, 0, "http://www.google.cn/search?hl=zh-CN&q={enc}&meta=cr%3DcountryCN&aq=f&oq=", 3},
    {&kGoogle, Via::Radio, 1, "http://images.google.cn/images?hl=zh-CN&q={enc}&gbv=2&aq=f&oq="},
    {&kGoogle, Via::Radio, 2, "http://ditu.google.cn/maps?hl=zh-CN&q={enc}&um=1&ie=UTF-8&sa=N&tab=wl"},
    {&kGoogle, Via::Radio, 3, "http://news.google.cn/news/search?pz=1&ned=ccn&hl=zh-CN&q={enc}"},
    {&kGoogle, Via::Radio, 4, "http://video.google.cn/videosearch?q={enc}"},
    {&kGoogle, Via::Radio, 5, "http://www.google.cn/music/search?q={enc}&aq=f"},
    {&kGoogle, Via::List, 0, "http://blogsearch.google.cn/blogsearch?hl=zh-CN&ie=GB2312&q={raw}"},
    {&kGoogle, Via::List, 1, "http://www.google.cn/finance?q={raw}"},
    {&kGoogle, Via::List, 2, "http://www.google.cn/rebang/search?q={enc}"},
    {&kGoogle, Via::List, 3, "http://translate.google.cn"},
    {&kGoogle, Via::Extra, 0,
     "http://www.google.cn/"
     "search?hl=zh-CN&q={raw}&btnI=%C2%A0%E6%89%8B%E6%B0%94%E4%B8%8D%E9%94%99%C2%A0&meta=&aq=f&oq="},

    {&kYahoo, Via::Radio, 0, "http://www.yahoo.cn/s?p={enc}"},
    {&kYahoo, Via::Radio, 1, "http://www.koubei.com/fuwu/search?keyword={enc}"},
    {&kYahoo, Via::Radio, 2, "http://search.koubei.com/search/searchstore.html?option.key={enc}"},
    {&kYahoo, Via::Radio, 3, "http://www.yahoo.cn/s?p={enc}&v=news"},
    {&kYahoo, Via::Radio, 4, "http://www.yahoo.cn/s?p={enc}&v=music"},
    {&kYahoo, Via::Radio, 5,
     "http://www.yahoo.cn/s?p={raw}&v=image&pid=ysearch&source=ysearch_img_result_topsearch&x="},
    {&kYahoo, Via::List, 0, "http://www.yahoo.cn/s?p={raw}&pid=hp&v=ks"},
    {&kYahoo, Via::List, 1, "http://www.yahoo.cn/s?p={raw}&v=person&ei=utf-8&pid=ysearch"},

    {&kYoudao, Via::Radio, 0, "http://www.youdao.com/search?q={enc}"},
    {&kYoudao, Via::Radio, 1, "http://image.youdao.com/search?q={enc}"},
    {&kYoudao, Via::Radio, 2, "http://news.youdao.com/search?q={enc}"},
    {&kYoudao, Via::Radio, 3, "http://mp3.youdao.com/search?q={enc}"},
    {&kYoudao, Via::Radio, 4, "http://gouwu.youdao.com/search?q={enc}"},
    {&kYoudao, Via::Radio, 5, "http://dict.youdao.com/search?tab=chn&keyfrom=dict.top&q={enc}"},
    {&kYoudao, Via::List, 0, "http://video.youdao.com/search?q={enc}"},
    {&kYoudao, Via::List, 1, "http://ditu.youdao.com/search?q={enc}"},
    {&kYoudao, Via::List, 2, "http://blog.youdao.com/search?q={enc}"},
    {&kYoudao, Via::List, 3, "http://tie.youdao.com/search?method=searchdft&word={enc}&srchtype=keyword"},
    {&kYoudao, Via::List, 4, "http://fanyi.youdao.com"},

    {&kSoso, Via::Radio, 0, "http://www.soso.com/q?pid=s.idx&w={raw}"},
    {&kSoso, Via::Radio, 1, "http://image.soso.com/image.cgi?ch=s.p.in.i&pid=p.in.i&ty=&sc=img&w={raw}"},
    {&kSoso, Via::Radio, 2, "http://music.soso.com/music.cgi?sc=mus&ch=s.m.nores.i&w={raw}"},
    {&kSoso, Via::Radio, 3, "http://sobar.soso.com/sobar.q?op=enterbar&kw=enterbar&bn={raw}"},
    {&kSoso, Via::Radio, 4, "http://wenwen.soso.com/z/SearchSolved.e?sp=S{enc}"},
    {&kSoso, Via::Radio, 5, "http://blog.soso.com/qz.q?sc=qz&op=blog.blog&ty=blog&w={raw}"},
    {&kSoso, Via::List, 0, "http://news.soso.com/n.q?sc=news&ty=c&w={raw}"},
    {&kSoso, Via::List, 1, "http://video.soso.com/q?sc=vid&w={raw}"},
    {&kSoso, Via::List, 2, "http://dict.soso.com/d.q?sc=dict&w={raw}"},
    {&kSoso, Via::List, 3, "http://baike.soso.com/Search.e?sp=S{enc}"},

    {&kSogou, Via::Radio, 0, "http://www.sogou.com/web?query={raw}"},
    {&kSogou, Via::Radio, 1, "http://news.sogou.com/news?query={raw}"},
    {&kSogou, Via::Radio, 2, "http://mp3.sogou.com/music.so?&class=1&p=40010200&query={raw}"},
    {&kSogou, Via::Radio, 3, "http://pic.sogou.com/pics?query={raw}"},
    {&kSogou, Via::Radio, 4, "http://v.sogou.com/v?query={raw}"},
    {&kSogou, Via::Radio, 5, "http://map.sogou.com/#city=%u5168%u56FD&lq={raw}&page=1"},
    {&kSogou, Via::Radio, 6, "http://s.sogou.com/searchIn.do?query={raw}"},
    {&kSogou, Via::List, 0, "http://wenda.sogou.com/search?query={raw}"},
    {&kSogou, Via::List, 1, "http://blogsearch.sogou.com/blog?query={raw}"},

    {&kGougou, Via::Radio, 0, "http://web.gougou.com/search?search={raw}"},
    {&kGougou, Via::Radio, 1, "http://www.gougou.com/search?search={raw}"},
    {&kGougou, Via::Radio, 2, "http://movie.gougou.com/search?search={raw}"},
    {&kGougou, Via::Radio, 3, "http://v.gougou.com/search?s={raw}"},
    {&kGougou, Via::Radio, 4, "http://music.gougou.com/search?search={raw}"},
    {&kGougou, Via::Radio, 5, "http://image.gougou.com/search?search={raw}"},
    {&kGougou, Via::Radio, 6, "http://book.gougou.com/search?search={raw}&restype=3&id=10000001"},
    {&kGougou, Via::List, 0, "http://game.gougou.com/search?search={raw}"},
    {&kGougou, Via::List, 1, "http://soft.gougou.com/search?search={raw}"},
    {&kGougou, Via::List, 2, "http://blog.gougou.com/search?search={raw}"},
    {&kGougou, Via::List, 3, "http://mp4.gougou.com/search?search={raw}"},
};

TEST(EngineUrls, EveryRowJoinsItsTemplate) {
    for (const Row& row : kRows) {
        static constexpr const char* kVia[] = {" radio ", " list ", " extra button "};
        SCOPED_TRACE(std::string(row.engine->tab_caption) + kVia[static_cast<int>(row.via)] +
                     std::to_string(row.index) + " language " + std::to_string(row.language));
        EXPECT_EQ(search_row(row, kKeyword), std::vector<std::string>{expand(row.expected)});
    }
}

}  // namespace
}  // namespace velvane
