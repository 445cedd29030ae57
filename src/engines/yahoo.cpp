// 雅虎: the page encodes the keyword before anything else; five categories
// carry it encoded, the image category and both list items raw. Two
// categories search Koubei's local services. The home page is the portal,
// not the search host.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

// 生活服务 is as wide as its four characters need, up to where 黄页 starts.
constexpr CategoryRadio kRadios[] = {
    {"网页", {40, 45, 48, 20}, {H::YahooSearch, "/s?p={enc}"}},
    {"生活服务", {88, 45, 72, 20}, {H::KoubeiMain, "/fuwu/search?keyword={enc}"}},
    {"黄页", {160, 45, 48, 20}, {H::KoubeiLocalSearch, "/search/searchstore.html?option.key={enc}"}},
    {"资讯", {208, 45, 48, 20}, {H::YahooSearch, "/s?p={enc}&v=news"}},
    {"音乐", {256, 45, 48, 20}, {H::YahooSearch, "/s?p={enc}&v=music"}},
    {"图片",
     {304, 45, 48, 20},
     {H::YahooSearch, "/s?p={raw}&v=image&pid=ysearch&source=ysearch_img_result_topsearch&x="}},
};

// 人物 names ei=utf-8 and still takes the raw keyword.
constexpr ListItem kList[] = {
    {"知识堂", {H::YahooSearch, "/s?p={raw}&pid=hp&v=ks"}},
    {"人物", {H::YahooSearch, "/s?p={raw}&v=person&ei=utf-8&pid=ysearch"}},
};

}  // namespace

constexpr Engine kYahoo = {
    .tab_caption = "雅虎",
    .image = 4,
    .radios = kRadios,
    .radio_checked_at_start = 0,
    .list_rect = {352, 45, 64, 20},
    .list = kList,
    .edit_rect = {56, 80, 280, 24},
    .button_caption = "搜 索",
    .button_rect = {344, 80, 56, 24},
    .home = {H::YahooPortal, "/"},
    .encodes_before_page_search = true,
};

}  // namespace velvane
