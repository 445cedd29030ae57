// 雅虎: the page encodes the keyword before anything else; five categories
// carry it encoded, the image category and both list items raw. Two
// categories search Koubei's local services. The home page is the portal,
// not the search host.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

// 生活服务 is 80 pixels wide and overlaps the first 8 pixels of 黄页.
constexpr CategoryRadio kRadios[] = {
    {"雅虎_网页", "网页", {40, 45, 48, 20}, {H::YahooSearch, "/s?p={enc}"}},
    {"雅虎_生活服务", "生活服务", {88, 45, 80, 20}, {H::KoubeiMain, "/fuwu/search?keyword={enc}"}},
    {"雅虎_黄页", "黄页", {160, 45, 48, 20}, {H::KoubeiLocalSearch, "/search/searchstore.html?option.key={enc}"}},
    {"雅虎_资讯", "资讯", {208, 45, 48, 20}, {H::YahooSearch, "/s?p={enc}&v=news"}},
    {"雅虎_音乐", "音乐", {256, 45, 48, 20}, {H::YahooSearch, "/s?p={enc}&v=music"}},
    {"雅虎_图片", "图片", {304, 45, 48, 20},
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
    .list_name = "组合框_雅虎",
    .list_rect = {352, 45, 64, 20},
    .list = kList,
    .edit_name = "编辑框_雅虎",
    .edit_rect = {56, 80, 280, 24},
    .button_name = "按钮_雅虎",
    .button_caption = "搜 索",
    .button_rect = {344, 80, 56, 24},
    .home = {H::YahooPortal, "/"},
    .encodes_before_page_search = true,
};

}  // namespace velvane
