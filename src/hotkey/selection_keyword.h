// The keyword that the selection hotkey makes of the text it copied from the
// program in front: one line of it, without the blanks around it, and not
// longer than a keyword box should take from a stray selection of a whole
// document. Portable: UTF-16 in, UTF-16 out, as the clipboard and the
// keyword box hold text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velvane {

// UTF-16 units a keyword taken from a selection keeps at most.
inline constexpr std::size_t kSelectionKeywordLimit = 1000;

// The first line of `copied` that is not blank, trimmed of the blanks
// around it, cut at kSelectionKeywordLimit units (never between the two
// halves of a surrogate pair). Line breaks are CR, LF, VT, FF, NEL, U+2028
// and U+2029; blanks are space, tab, no-break space, the ideographic space
// U+3000 and the other Unicode spaces, the zero-width space and the byte
// order mark. A lone surrogate becomes U+FFFD, as the rest of the program
// reads one. Empty when nothing but blanks was copied.
std::u16string selection_keyword(std::u16string_view copied);

}  // namespace velvane
