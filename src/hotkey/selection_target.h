// Which key, if any, copies the selection in the program in front, by its
// window class, the class of the control with the focus, and the name of its
// program file. Portable: the names come in as UTF-16, as Windows gives them.
//
// Ctrl+C is the copy key almost everywhere. A terminal reads it as
// "interrupt the running program" when nothing is selected (so do the
// terminals inside code editors, whose windows cannot be told apart from the
// editor's): there Ctrl+Insert copies, and does no harm without a selection.
// A remote desktop or virtual machine window hands every key to the other
// computer, where neither key is known to be harmless: it gets none.
#pragma once

#include <string_view>

namespace velvane {

enum class CopyKey { CtrlC, CtrlInsert, None };

// Names compare without regard to ASCII case; a program name is the file's
// name without its folder ("WindowsTerminal.exe").
CopyKey copy_key_for(std::u16string_view window_class, std::u16string_view focus_class,
                     std::u16string_view program_name);

}  // namespace velvane
