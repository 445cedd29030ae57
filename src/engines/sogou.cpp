// 搜狗: every row joins the raw keyword; the encoder never runs.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

// 音乐's query starts with "&"; 地图 is a fragment whose "%u5168%u56FD" (全国)
// is literal text.
constexpr CategoryRadio kRadios[] = {
    {"网页", {29, 45, 48, 20}, {H::SogouMain, "/web?query={raw}"}},
    {"新闻", {77, 45, 48, 20}, {H::SogouNews, "/news?query={raw}"}},
    {"音乐", {125, 45, 48, 20}, {H::SogouMusic, "/music.so?&class=1&p=40010200&query={raw}"}},
    {"图片", {173, 45, 48, 20}, {H::SogouImage, "/pics?query={raw}"}},
    {"视频", {221, 45, 48, 20}, {H::SogouVideo, "/v?query={raw}"}},
    {"地图", {269, 45, 48, 20}, {H::SogouMap, "/#city=%u5168%u56FD&lq={raw}&page=1"}},
    {"说吧", {317, 45, 48, 20}, {H::SogouForum, "/searchIn.do?query={raw}"}},
};

constexpr ListItem kList[] = {
    {"问答", {H::SogouWenda, "/search?query={raw}"}},
    {"博客", {H::SogouBlog, "/blog?query={raw}"}},
};

}  // namespace

constexpr Engine kSogou = {
    .tab_caption = "搜狗",
    .image = 6,
    .radios = kRadios,
    .radio_checked_at_start = 0,
    .list_rect = {370, 45, 56, 20},
    .list = kList,
    .edit_rect = {56, 80, 280, 24},
    .button_caption = "搜 索",
    .button_rect = {344, 80, 56, 24},
    .home = {H::SogouMain, ""},
};

}  // namespace velvane
