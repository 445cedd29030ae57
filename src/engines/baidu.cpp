// 百度: only the web search carries the encoded keyword, and it carries it twice.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

constexpr CategoryRadio kRadios[] = {
    {"网页", {5, 45, 48, 20}, {H::BaiduMain, "/s?ie=utf-8&bs={enc}&sr=&z=&cl=3&f=8&wd={enc}&ct=0"}},
    {"新闻", {53, 45, 48, 20}, {H::BaiduNews, "/ns?cl=2&rn=20&tn=news&word={raw}"}},
    {"贴吧", {101, 45, 48, 20}, {H::BaiduTieba, "/f?kw={raw}"}},
    {"知道", {149, 45, 48, 20}, {H::BaiduZhidao, "/q?word={raw}&ct=17&pn=0&tn=ikaslist&rn=10&lm=0&fr=search"}},
    {"百科", {197, 45, 48, 20}, {H::BaiduBaike, "/notexists?word={raw}"}},
    {"MP3", {245, 45, 48, 20}, {H::BaiduMp3, "/m?f=ms&rn=&tn=baidump3&ct=134217728&word={raw}&lm=-1"}},
    {"图片",
     {293, 45, 48, 20},
     {H::BaiduImage, "/i?ct=201326592&cl=2&lm=-1&tn=baiduimage&tn=baiduimagenojs&rn=20&pv=&word={raw}&z=0"}},
    {"视频", {341, 45, 48, 20}, {H::BaiduVideo, "/v?ct=301989888&rn=20&pn=0&db=0&s=0&fbl=800&word={raw}"}},
};

constexpr ListItem kList[] = {
    {"影视", {H::BaiduFilm, "/search.php?word={raw}"}},
    {"游戏", {H::BaiduGames, "/sr.jsp?wd={raw}&g=1"}},
    {"空间", {H::BaiduHi, "/sys/search?type=0&sort=1&entry=1&region=0&word={raw}"}},
    {"有啊", {H::BaiduYoua, "/search/s?search_domain=1&keyword={raw}"}},
    {"词典", {H::BaiduDict, "/s?wd={raw}"}},
    {"指数", {H::BaiduIndex, "/main/word.php?word={raw}"}},
};

}  // namespace

constexpr Engine kBaidu = {
    .tab_caption = "百度",
    .image = 0,
    .shown_at_start = true,
    .radios = kRadios,
    .radio_checked_at_start = 0,
    .list_rect = {392, 45, 56, 20},
    .list = kList,
    .edit_rect = {56, 80, 280, 24},
    .keyword_font_px = 14,
    .button_caption = "百度一下",
    .button_rect = {344, 80, 62, 24},
    .home = {H::BaiduMain, ""},
    // UTF-8 in (ie); the answer's code page is whatever its Content-Type says.
    .suggest = {H::BaiduSuggestion, "/su?wd={keyword}&ie=utf-8&action=opensearch"},
};

}  // namespace velvane
