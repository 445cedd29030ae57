// 搜搜: only 问问 and the list item 百科 carry the encoded keyword, straight
// after the letter S of "sp=S"; they run the encoder themselves. Every other
// row joins the raw keyword.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

constexpr CategoryRadio kRadios[] = {
    {"网页", {32, 45, 48, 20}, {H::SosoMain, "/q?pid=s.idx&w={raw}"}},
    {"图片", {88, 45, 48, 20}, {H::SosoImage, "/image.cgi?ch=s.p.in.i&pid=p.in.i&ty=&sc=img&w={raw}"}},
    {"音乐", {144, 45, 48, 20}, {H::SosoMusic, "/music.cgi?sc=mus&ch=s.m.nores.i&w={raw}"}},
    {"搜吧", {200, 45, 48, 20}, {H::SosoForum, "/sobar.q?op=enterbar&kw=enterbar&bn={raw}"}},
    {"问问", {256, 45, 48, 20}, {H::SosoWenwen, "/z/SearchSolved.e?sp=S{enc}"}},
    {"博客", {312, 45, 48, 20}, {H::SosoBlog, "/qz.q?sc=qz&op=blog.blog&ty=blog&w={raw}"}},
};

constexpr ListItem kList[] = {
    {"新闻", {H::SosoNews, "/n.q?sc=news&ty=c&w={raw}"}},
    {"视频", {H::SosoVideo, "/q?sc=vid&w={raw}"}},
    {"词典", {H::SosoDict, "/d.q?sc=dict&w={raw}"}},
    {"百科", {H::SosoBaike, "/Search.e?sp=S{enc}"}},
};

}  // namespace

constexpr Engine kSoso = {
    .tab_caption = "搜搜",
    .image = 2,
    .radios = kRadios,
    .radio_checked_at_start = 0,
    .list_rect = {368, 45, 56, 20},
    .list = kList,
    .edit_rect = {56, 80, 280, 24},
    .button_caption = "搜 索",
    .button_rect = {344, 80, 56, 24},
    .home = {H::SosoMain, ""},
};

}  // namespace velvane
