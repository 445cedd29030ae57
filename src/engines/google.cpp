// Google: every page search carries the encoded keyword; the web row adds the
// tail of the checked language radio, and the lucky button searches the raw
// keyword. The language row and the lucky button belong to the web category.
#include "engines/engines.h"

namespace velvane {
namespace {

using H = HostRole;

constexpr CategoryRadio kRadios[] = {
    {.caption = "网页",
     .rect = {8, 37, 48, 20},
     .url = {H::GoogleMain, "/search?hl=zh-CN&q={enc}{tail}"},
     .on_click = RadioClick::ShowExtras},
    {.caption = "图片",
     .rect = {72, 37, 48, 20},
     .url = {H::GoogleImage, "/images?hl=zh-CN&q={enc}&gbv=2&aq=f&oq="},
     .on_click = RadioClick::HideExtras,
     .hides_language_row_after_search = true},
    {.caption = "地图",
     .rect = {136, 37, 48, 20},
     .url = {H::GoogleMap, "/maps?hl=zh-CN&q={enc}&um=1&ie=UTF-8&sa=N&tab=wl"},
     .on_click = RadioClick::HideExtras},
    {.caption = "资讯",
     .rect = {200, 37, 48, 20},
     .url = {H::GoogleNews, "/news/search?pz=1&ned=ccn&hl=zh-CN&q={enc}"},
     .on_click = RadioClick::HideExtras},
    {.caption = "视频",
     .rect = {264, 37, 48, 20},
     .url = {H::GoogleVideo, "/videosearch?q={enc}"},
     .on_click = RadioClick::HideExtras},
    {.caption = "音乐",
     .rect = {328, 37, 48, 20},
     .url = {H::GoogleMain, "/music/search?q={enc}&aq=f"},
     .on_click = RadioClick::HideExtras},
};

// The tails are literal text: their escapes are not the encoder's.
constexpr LanguageRadio kLanguages[] = {
    {"所有网页", {4, 4, 72, 16}, "&meta=&aq=f&oq="},
    {"中文网页", {76, 4, 72, 16}, "&meta=lr%3Dlang_zh-CN%7Clang_zh-TW&aq=f&oq="},
    {"简体中文网页", {148, 4, 96, 16}, "&meta=lr%3Dlang_zh-CN&aq=f&oq="},
    {"中国的网页", {244, 4, 80, 16}, "&meta=cr%3DcountryCN&aq=f&oq="},
};

constexpr LanguageRow kLanguageRow = {
    .rect = {24, 96, 328, 24},
    .radios = kLanguages,
    .checked_at_start = 0,
};

constexpr ListItem kList[] = {
    {.caption = "博客", .url = {H::GoogleBlogSearch, "/blogsearch?hl=zh-CN&ie=GB2312&q={raw}"}},
    {.caption = "财经", .url = {H::GoogleMain, "/finance?q={raw}"}},
    {.caption = "热榜", .url = {H::GoogleMain, "/rebang/search?q={enc}"}},
    {.caption = "翻译  ※", .url = {H::GoogleTranslate, ""}, .ignores_keyword = true},
};

// "btnI=" carries the fixed escapes of " 手气不错 " (with no-break spaces).
constexpr ExtraButton kLucky = {
    .caption = "手气不错",
    .rect = {360, 96, 72, 24},
    .url = {H::GoogleMain,
            "/search?hl=zh-CN&q={raw}&btnI=%C2%A0%E6%89%8B%E6%B0%94%E4%B8%8D%E9%94%99%C2%A0&meta=&aq=f&oq="},
};

}  // namespace

constexpr Engine kGoogle = {
    .tab_caption = "Google",
    .image = 1,
    .radios = kRadios,
    .radio_checked_at_start = 0,
    .list_rect = {389, 37, 56, 20},
    .list = kList,
    .edit_rect = {24, 64, 328, 24},
    .button_caption = "Google搜索",
    .button_rect = {360, 64, 72, 24},
    .home = {H::GoogleMain, ""},
    .encodes_before_page_search = true,
    .language_row = &kLanguageRow,
    .extra_button = &kLucky,
};

}  // namespace velvane
