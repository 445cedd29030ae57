// Pages whose tables are not written yet: a tab with no controls.
#include "engines/engines.h"

namespace velvane {

constexpr Engine kGoogle = {.tab_caption = "Google", .image = 1, .home = {HostRole::GoogleMain, ""}};
constexpr Engine kYahoo = {.tab_caption = "雅虎", .image = 4, .home = {HostRole::YahooPortal, "/"}};
constexpr Engine kYoudao = {.tab_caption = "有道", .image = 3, .home = {HostRole::YoudaoMain, ""}};
constexpr Engine kSoso = {.tab_caption = "搜搜", .image = 2, .home = {HostRole::SosoMain, ""}};
constexpr Engine kSogou = {.tab_caption = "搜狗", .image = 6, .home = {HostRole::SogouMain, ""}};
constexpr Engine kGougou = {.tab_caption = "狗狗", .image = 7, .home = {HostRole::GougouMain, ""}};

}  // namespace velvane
