#include "engines/hosts.h"

#include <array>
#include <cstdint>

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

constexpr std::size_t kHostBytes = [] {
    std::size_t bytes = 0;
    for (const auto& entry : kHosts) bytes += entry.host.size();
    return bytes;
}();
static_assert(kHostBytes <= 0xFFFF);

// The hosts one after another in the order of their roles, and where each
// starts: two bytes a role instead of a pointer and a length.
struct HostTable {
    std::array<char, kHostBytes> bytes{};
    std::array<std::uint16_t, kRoles + 1> starts{};
};

constexpr HostTable kTable = [] {
    std::array<std::string_view, kRoles> by_role{};
    for (const auto& entry : kHosts) by_role[static_cast<std::size_t>(entry.role)] = entry.host;
    HostTable table;
    std::size_t at = 0;
    for (std::size_t role = 0; role < kRoles; ++role) {
        table.starts[role] = static_cast<std::uint16_t>(at);
        for (const char c : by_role[role]) table.bytes[at++] = c;
    }
    table.starts[kRoles] = static_cast<std::uint16_t>(at);
    return table;
}();

static_assert([] {
    for (std::size_t role = 0; role < kRoles; ++role)
        if (kTable.starts[role] == kTable.starts[role + 1]) return false;
    return true;
}());

}  // namespace

std::string_view host_of(HostRole role) {
    const auto index = static_cast<std::size_t>(role);
    if (index >= kRoles) return {};
    return {kTable.bytes.data() + kTable.starts[index],
            static_cast<std::size_t>(kTable.starts[index + 1] - kTable.starts[index])};
}

}  // namespace velvane
