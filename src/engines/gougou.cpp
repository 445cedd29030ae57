// 狗狗: every row joins the raw keyword; the encoder never runs. The page
// starts on 全部, its second radio, which searches the main host; 网页
// searches a host of its own.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

constexpr CategoryRadio kRadios[] = {
    {"网页", {16, 45, 48, 20}, {H::GougouWeb, "/search?search={raw}"}},
    {"全部", {64, 45, 48, 20}, {H::GougouMain, "/search?search={raw}"}},
    {"影视", {112, 45, 48, 20}, {H::GougouFilm, "/search?search={raw}"}},
    {"在线播放", {160, 45, 72, 20}, {H::GougouOnlineVideo, "/search?s={raw}"}},
    {"音乐", {232, 45, 48, 20}, {H::GougouMusic, "/search?search={raw}"}},
    {"图片", {280, 45, 48, 20}, {H::GougouImage, "/search?search={raw}"}},
    {"书籍", {328, 45, 48, 20}, {H::GougouBook, "/search?search={raw}&restype=3&id=10000001"}},
};

// 全集 is served by the blog host.
constexpr ListItem kList[] = {
    {"游戏", {H::GougouGame, "/search?search={raw}"}},
    {"软件", {H::GougouSoftware, "/search?search={raw}"}},
    {"全集", {H::GougouBlog, "/search?search={raw}"}},
    {"MP4视频", {H::GougouMp4, "/search?search={raw}"}},
};

}  // namespace

constexpr Engine kGougou = {
    .tab_caption = "狗狗",
    .image = 7,
    .radios = kRadios,
    .radio_checked_at_start = 1,
    .list_rect = {376, 45, 64, 20},
    .list = kList,
    .edit_rect = {56, 80, 280, 24},
    .button_caption = "狗狗搜索",
    .button_rect = {344, 80, 62, 24},
    .home = {H::GougouMain, ""},
};

}  // namespace velvane
