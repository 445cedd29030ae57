#include "engines/hosts.h"

#include <array>

#include "text/packed_strings.h"

namespace velvane {
namespace {

struct HostEntry {
    HostRole role;
    std::string_view host;
};

// Where an engine still serves a role today, today's host; where it no longer
// does (Yahoo China, Soso, Gougou and several Baidu and Google China services
// are gone), the host that served the role while the engine was current.
constexpr HostEntry kHosts[] = {
    {HostRole::BaiduMain, "www.baidu.com"},
    {HostRole::BaiduNews, "news.baidu.com"},
    {HostRole::BaiduTieba, "tieba.baidu.com"},
    {HostRole::BaiduZhidao, "zhidao.baidu.com"},
    {HostRole::BaiduBaike, "baike.baidu.com"},
    {HostRole::BaiduMp3, "mp3.baidu.com"},
    {HostRole::BaiduImage, "image.baidu.com"},
    {HostRole::BaiduVideo, "video.baidu.com"},
    {HostRole::BaiduFilm, "v.baidu.com"},
    {HostRole::BaiduGames, "youxi.baidu.com"},
    {HostRole::BaiduHi, "hi.baidu.com"},
    {HostRole::BaiduYoua, "youa.baidu.com"},
    {HostRole::BaiduDict, "dict.baidu.com"},
    {HostRole::BaiduIndex, "index.baidu.com"},
    {HostRole::BaiduSuggestion, "suggestion.baidu.com"},

    {HostRole::GoogleMain, "www.google.cn"},
    {HostRole::GoogleImage, "images.google.cn"},
    {HostRole::GoogleMap, "ditu.google.cn"},
    {HostRole::GoogleNews, "news.google.cn"},
    {HostRole::GoogleVideo, "video.google.cn"},
    {HostRole::GoogleBlogSearch, "blogsearch.google.cn"},
    {HostRole::GoogleTranslate, "translate.google.cn"},

    {HostRole::YahooSearch, "www.yahoo.cn"},
    {HostRole::YahooPortal, "cn.yahoo.com"},
    {HostRole::KoubeiMain, "www.koubei.com"},
    {HostRole::KoubeiLocalSearch, "search.koubei.com"},

    {HostRole::YoudaoMain, "www.youdao.com"},
    {HostRole::YoudaoImage, "image.youdao.com"},
    {HostRole::YoudaoNews, "news.youdao.com"},
    {HostRole::YoudaoMusic, "mp3.youdao.com"},
    {HostRole::YoudaoShopping, "gouwu.youdao.com"},
    {HostRole::YoudaoDict, "dict.youdao.com"},
    {HostRole::YoudaoVideo, "video.youdao.com"},
    {HostRole::YoudaoMap, "ditu.youdao.com"},
    {HostRole::YoudaoBlog, "blog.youdao.com"},
    {HostRole::YoudaoPost, "tie.youdao.com"},
    {HostRole::YoudaoTranslate, "fanyi.youdao.com"},

    {HostRole::SosoMain, "www.soso.com"},
    {HostRole::SosoImage, "image.soso.com"},
    {HostRole::SosoMusic, "music.soso.com"},
    {HostRole::SosoForum, "sobar.soso.com"},
    {HostRole::SosoWenwen, "wenwen.soso.com"},
    {HostRole::SosoBlog, "blog.soso.com"},
    {HostRole::SosoNews, "news.soso.com"},
    {HostRole::SosoVideo, "video.soso.com"},
    {HostRole::SosoDict, "dict.soso.com"},
    {HostRole::SosoBaike, "baike.soso.com"},

    {HostRole::SogouMain, "www.sogou.com"},
    {HostRole::SogouNews, "news.sogou.com"},
    {HostRole::SogouMusic, "mp3.sogou.com"},
    {HostRole::SogouImage, "pic.sogou.com"},
    {HostRole::SogouVideo, "v.sogou.com"},
    {HostRole::SogouMap, "map.sogou.com"},
    {HostRole::SogouForum, "s.sogou.com"},
    {HostRole::SogouWenda, "wenda.sogou.com"},
    {HostRole::SogouBlog, "blogsearch.sogou.com"},

    {HostRole::GougouWeb, "web.gougou.com"},
    {HostRole::GougouMain, "www.gougou.com"},
    {HostRole::GougouFilm, "movie.gougou.com"},
    {HostRole::GougouOnlineVideo, "v.gougou.com"},
    {HostRole::GougouMusic, "music.gougou.com"},
    {HostRole::GougouImage, "image.gougou.com"},
    {HostRole::GougouBook, "book.gougou.com"},
    {HostRole::GougouGame, "game.gougou.com"},
    {HostRole::GougouSoftware, "soft.gougou.com"},
    {HostRole::GougouBlog, "blog.gougou.com"},
    {HostRole::GougouMp4, "mp4.gougou.com"},

    {HostRole::AuthorSite, "velvane.example.com"},
};

constexpr std::size_t kRoles = static_cast<std::size_t>(HostRole::Count);

// Every role has exactly one host.
static_assert(std::size(kHosts) == kRoles);

// The hosts in the order of their roles.
constexpr auto kTable = [] {
    std::array<std::string_view, kRoles> by_role{};
    for (const auto& entry : kHosts) by_role[static_cast<std::size_t>(entry.role)] = entry.host;
    return pack_strings<packed_size(kHosts, [](const HostEntry& entry) { return entry.host; })>(by_role);
}();

static_assert([] {
    for (std::size_t role = 0; role < kRoles; ++role)
        if (kTable[role].empty()) return false;
    return true;
}());

}  // namespace

std::string_view host_of(HostRole role) {
    const auto index = static_cast<std::size_t>(role);
    return index < kRoles ? kTable[index] : std::string_view{};
}

}  // namespace velvane
