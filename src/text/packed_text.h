#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace velvane {

// Unpacks text that tools/pack-text.py packed: a small LZ77 form, for long
// constant texts the exe carries and needs only now and then.
//
// The packed bytes are groups of up to eight items, each group led by a
// flag byte whose bits, lowest first, say what the items are: 0 is one byte
// of text as it is; 1 is a copy, two bytes read as a little-endian v, of
// (v & 15) + 3 bytes from (v >> 4) + 1 bytes back in the text unpacked so
// far (the copy may run into the bytes it writes). A copy reaching back
// before the start, or one cut off at the end, is no packed text: the result
// is empty.
std::string unpack_text(std::span<const std::uint8_t> packed);

}  // namespace velvane
