// Every host name the program sends the browser to, or asks for search
// suggestions, by role. This table is the one place where hosts live.
#pragma once

#include <cstdint>
#include <string_view>

namespace velvane {

enum class HostRole : std::uint8_t {
    // 百度
    BaiduMain,
    BaiduNews,
    BaiduTieba,
    BaiduZhidao,
    BaiduBaike,
    BaiduMp3,
    BaiduImage,
    BaiduVideo,
    BaiduFilm,
    BaiduGames,
    BaiduHi,
    BaiduYoua,
    BaiduDict,
    BaiduIndex,
    BaiduSuggestion,  // the search suggestion service, asked as the user types
    // Google
    GoogleMain,
    GoogleImage,
    GoogleMap,
    GoogleNews,
    GoogleVideo,
    GoogleBlogSearch,
    GoogleTranslate,
    // 雅虎 and 口碑
    YahooSearch,
    YahooPortal,
    KoubeiMain,
    KoubeiLocalSearch,
    // 有道
    YoudaoMain,
    YoudaoImage,
    YoudaoNews,
    YoudaoMusic,
    YoudaoShopping,
    YoudaoDict,
    YoudaoVideo,
    YoudaoMap,
    YoudaoBlog,
    YoudaoPost,
    YoudaoTranslate,
    // 搜搜
    SosoMain,
    SosoImage,
    SosoMusic,
    SosoForum,
    SosoWenwen,
    SosoBlog,
    SosoNews,
    SosoVideo,
    SosoDict,
    SosoBaike,
    // 搜狗
    SogouMain,
    SogouNews,
    SogouMusic,
    SogouImage,
    SogouVideo,
    SogouMap,
    SogouForum,
    SogouWenda,
    SogouBlog,
    // 狗狗
    GougouWeb,
    GougouMain,
    GougouFilm,
    GougouOnlineVideo,
    GougouMusic,
    GougouImage,
    GougouBook,
    GougouGame,
    GougouSoftware,
    GougouBlog,
    GougouMp4,
    // the about window's link
    AuthorSite,
    Count
};

std::string_view host_of(HostRole role);

}  // namespace velvane
