#include "text/packed_text.h"

namespace velvane {

std::string unpack_text(std::span<const std::uint8_t> packed) {
    std::string text;
    std::size_t i = 0;
    while (i < packed.size()) {
        const unsigned flags = packed[i++];
        for (unsigned bit = 0; bit < 8 && i < packed.size(); ++bit) {
            if ((flags >> bit & 1) == 0) {
                text += static_cast<char>(packed[i++]);
                continue;
            }
            if (packed.size() - i < 2) return {};
            const unsigned v = packed[i] | packed[i + 1] << 8;
            i += 2;
            const std::size_t distance = (v >> 4) + 1;
            if (distance > text.size()) return {};
            for (unsigned n = (v & 15) + 3; n > 0; --n) text += text[text.size() - distance];
        }
    }
    return text;
}

}  // namespace velvane
