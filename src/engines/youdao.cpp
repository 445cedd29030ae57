// 有道: every URL with the keyword carries it encoded, and both searches run
// the encoder first. The translation item opens its host with or without a
// keyword.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

constexpr CategoryRadio kRadios[] = {
    {"网页", {24, 45, 48, 20}, {H::YoudaoMain, "/search?q={enc}"}},
    {"图片", {72, 45, 48, 20}, {H::YoudaoImage, "/search?q={enc}"}},
    {"热闻", {120, 45, 56, 20}, {H::YoudaoNews, "/search?q={enc}"}},
    {"音乐", {176, 45, 56, 20}, {H::YoudaoMusic, "/search?q={enc}"}},
    {"购物", {232, 45, 56, 20}, {H::YoudaoShopping, "/search?q={enc}"}},
    {"海量词典", {288, 45, 80, 20}, {H::YoudaoDict, "/search?tab=chn&keyfrom=dict.top&q={enc}"}},
};

constexpr ListItem kList[] = {
    {.caption = "视频", .url = {H::YoudaoVideo, "/search?q={enc}"}},
    {.caption = "地图", .url = {H::YoudaoMap, "/search?q={enc}"}},
    {.caption = "博客", .url = {H::YoudaoBlog, "/search?q={enc}"}},
    {.caption = "快帖", .url = {H::YoudaoPost, "/search?method=searchdft&word={enc}&srchtype=keyword"}},
    {.caption = "翻译  ※", .url = {H::YoudaoTranslate, ""}, .ignores_keyword = true},
};

}  // namespace

constexpr Engine kYoudao = {
    .tab_caption = "有道",
    .image = 3,
    .radios = kRadios,
    .radio_checked_at_start = 0,
    .list_rect = {368, 45, 56, 20},
    .list = kList,
    .edit_rect = {56, 80, 280, 24},
    .button_caption = "搜 索",
    .button_rect = {344, 80, 56, 24},
    .home = {H::YoudaoMain, ""},
    .encodes_before_page_search = true,
    .encodes_before_list_search = true,
};

}  // namespace velvane
