#include "engines/engines.h"

namespace velvane {

std::span<const Engine* const> all_engines() {
    static constexpr const Engine* kPages[] = {&kBaidu, &kGoogle, &kYahoo, &kYoudao, &kSoso, &kSogou, &kGougou};
    return kPages;
}

}  // namespace velvane
