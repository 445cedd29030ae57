// The pages of the main window's tab control, in tab order.
#pragma once

#include <span>

#include "engines/engine_page.h"

namespace velvane {

extern const Engine kBaidu;
extern const Engine kGoogle;
extern const Engine kYahoo;
extern const Engine kYoudao;
extern const Engine kSoso;
extern const Engine kSogou;
extern const Engine kGougou;

// Page index 0 to 6: 百度, Google, 雅虎, 有道, 搜搜, 搜狗, 狗狗.
std::span<const Engine* const> all_engines();

}  // namespace velvane
