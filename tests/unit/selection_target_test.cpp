// Which copy key the selection hotkey sends to the program in front.
#include <gtest/gtest.h>

#include <string>

#include "hotkey/selection_target.h"

namespace velvane {
namespace {

TEST(SelectionTarget, TerminalsGetCtrlInsertRemoteWindowsNothingTheRestCtrlC) {
    struct Case {
        const char* what;
        std::u16string window_class, focus_class, program;
        CopyKey key;
    };
    const Case cases[] = {
        {"an ordinary program", u"Notepad", u"Edit", u"notepad.exe", CopyKey::CtrlC},
        {"a program whose name is unknown", u"", u"", u"", CopyKey::CtrlC},
        {"the console host, by class", u"ConsoleWindowClass", u"", u"cmd.exe", CopyKey::CtrlInsert},
        {"Windows Terminal, by class", u"CASCADIA_HOSTING_WINDOW_CLASS", u"", u"", CopyKey::CtrlInsert},
        {"Windows Terminal, by program", u"Other", u"", u"WindowsTerminal.exe", CopyKey::CtrlInsert},
        {"a class in any case", u"consolewindowclass", u"", u"", CopyKey::CtrlInsert},
        {"a program in any case", u"Window Class", u"", u"ALACRITTY.EXE", CopyKey::CtrlInsert},
        {"WezTerm", u"", u"", u"wezterm-gui.exe", CopyKey::CtrlInsert},
        {"MobaXterm by the start of its name", u"TMobaXtermForm", u"", u"MobaXterm_Personal_23.2.exe",
         CopyKey::CtrlInsert},
        {"PuTTY's class in another program's window", u"Host", u"PuTTY", u"host.exe", CopyKey::CtrlInsert},
        {"a code editor, for its terminal", u"Chrome_WidgetWin_1", u"Chrome_RenderWidgetHostHWND", u"Code.exe",
         CopyKey::CtrlInsert},
        {"the name is the whole name", u"", u"", u"putty.exe.bak", CopyKey::CtrlC},
        {"a prefix needs more after it", u"", u"", u"MobaXterm", CopyKey::CtrlC},
        {"Remote Desktop Connection", u"TscShellContainerClass", u"IHWindowClass", u"mstsc.exe", CopyKey::None},
        {"a remote session inside a terminal program", u"TMobaXtermForm", u"IHWindowClass",
         u"MobaXterm_Personal_23.2.exe", CopyKey::None},
        {"Hyper-V", u"", u"", u"vmconnect.exe", CopyKey::None},
        {"VMware Workstation", u"VMUIFrame", u"", u"vmware.exe", CopyKey::None},
        {"VirtualBox", u"Qt5QWindowIcon", u"", u"VirtualBoxVM.exe", CopyKey::None},
        {"QEMU by the start of its name", u"", u"", u"qemu-system-x86_64w.exe", CopyKey::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(copy_key_for(c.window_class, c.focus_class, c.program), c.key);
    }
}

}  // namespace
}  // namespace velvane
