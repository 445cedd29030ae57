#include "hotkey/selection_target.h"

namespace velvane {
namespace {

enum class Match : unsigned char { WindowClass, Program, ProgramPrefix };

// The name as a plain pointer and the match first: a row of 16 bytes
// instead of 32, in a table of some seventy rows.
struct Known {
    const char16_t* name;
    Match match;
    CopyKey key;
};

// One table for every program that must not get Ctrl+C.
constexpr Known kKnown[] = {
    // Terminals
    {u"ConsoleWindowClass", Match::WindowClass, CopyKey::CtrlInsert},             // the console host
    {u"CASCADIA_HOSTING_WINDOW_CLASS", Match::WindowClass, CopyKey::CtrlInsert},  // Windows Terminal
    {u"mintty", Match::WindowClass, CopyKey::CtrlInsert},
    {u"PuTTY", Match::WindowClass, CopyKey::CtrlInsert},
    {u"KiTTY", Match::WindowClass, CopyKey::CtrlInsert},
    {u"VirtualConsoleClass", Match::WindowClass, CopyKey::CtrlInsert},  // ConEmu
    {u"VTWin32", Match::WindowClass, CopyKey::CtrlInsert},              // Tera Term
    {u"WindowsTerminal.exe", Match::Program, CopyKey::CtrlInsert},
    {u"OpenConsole.exe", Match::Program, CopyKey::CtrlInsert},
    {u"conhost.exe", Match::Program, CopyKey::CtrlInsert},
    {u"mintty.exe", Match::Program, CopyKey::CtrlInsert},
    {u"putty.exe", Match::Program, CopyKey::CtrlInsert},
    {u"kitty.exe", Match::Program, CopyKey::CtrlInsert},
    {u"kitty_portable.exe", Match::Program, CopyKey::CtrlInsert},
    {u"alacritty.exe", Match::Program, CopyKey::CtrlInsert},
    {u"wezterm-gui.exe", Match::Program, CopyKey::CtrlInsert},
    {u"wezterm.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Tabby.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Terminus.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Hyper.exe", Match::Program, CopyKey::CtrlInsert},
    {u"MobaXterm", Match::ProgramPrefix, CopyKey::CtrlInsert},  // MobaXterm_Personal_23.2.exe too
    {u"Xshell.exe", Match::Program, CopyKey::CtrlInsert},
    {u"SecureCRT.exe", Match::Program, CopyKey::CtrlInsert},
    {u"ConEmu.exe", Match::Program, CopyKey::CtrlInsert},
    {u"ConEmu64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Cmder.exe", Match::Program, CopyKey::CtrlInsert},
    {u"ttermpro.exe", Match::Program, CopyKey::CtrlInsert},
    {u"FinalShell.exe", Match::Program, CopyKey::CtrlInsert},
    {u"electerm.exe", Match::Program, CopyKey::CtrlInsert},
    {u"WindTerm.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Termius.exe", Match::Program, CopyKey::CtrlInsert},
    {u"warp.exe", Match::Program, CopyKey::CtrlInsert},
    // Code editors with a terminal inside; Ctrl+Insert copies in their editors too
    {u"Code.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Code - Insiders.exe", Match::Program, CopyKey::CtrlInsert},
    {u"VSCodium.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Cursor.exe", Match::Program, CopyKey::CtrlInsert},
    {u"Windsurf.exe", Match::Program, CopyKey::CtrlInsert},
    {u"devenv.exe", Match::Program, CopyKey::CtrlInsert},
    {u"idea64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"pycharm64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"webstorm64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"clion64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"goland64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"phpstorm64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"rider64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"rubymine64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"datagrip64.exe", Match::Program, CopyKey::CtrlInsert},
    {u"studio64.exe", Match::Program, CopyKey::CtrlInsert},  // Android Studio
    // Remote desktops and virtual machine consoles
    {u"TscShellContainerClass", Match::WindowClass, CopyKey::None},  // Remote Desktop Connection
    {u"IHWindowClass", Match::WindowClass, CopyKey::None},           // its session inside other programs
    {u"VMUIFrame", Match::WindowClass, CopyKey::None},               // VMware Workstation
    {u"mstsc.exe", Match::Program, CopyKey::None},
    {u"msrdc.exe", Match::Program, CopyKey::None},
    {u"RDCMan.exe", Match::Program, CopyKey::None},
    {u"mRemoteNG.exe", Match::Program, CopyKey::None},
    {u"RoyalTS.exe", Match::Program, CopyKey::None},
    {u"vmconnect.exe", Match::Program, CopyKey::None},  // Hyper-V
    {u"vmware.exe", Match::Program, CopyKey::None},
    {u"vmplayer.exe", Match::Program, CopyKey::None},
    {u"vmrc.exe", Match::Program, CopyKey::None},
    {u"VirtualBox.exe", Match::Program, CopyKey::None},
    {u"VirtualBoxVM.exe", Match::Program, CopyKey::None},
    {u"VBoxSDL.exe", Match::Program, CopyKey::None},
    {u"qemu-system-", Match::ProgramPrefix, CopyKey::None},
    {u"remote-viewer.exe", Match::Program, CopyKey::None},
    {u"vncviewer.exe", Match::Program, CopyKey::None},
    {u"tvnviewer.exe", Match::Program, CopyKey::None},
    {u"TeamViewer.exe", Match::Program, CopyKey::None},
    {u"AnyDesk.exe", Match::Program, CopyKey::None},
    {u"RustDesk.exe", Match::Program, CopyKey::None},
    {u"ToDesk.exe", Match::Program, CopyKey::None},
    {u"SunloginClient.exe", Match::Program, CopyKey::None},  // 向日葵
    {u"wfica32.exe", Match::Program, CopyKey::None},         // Citrix
    {u"CDViewer.exe", Match::Program, CopyKey::None},
};

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool same_name(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool matches(const Known& known, std::u16string_view window_class, std::u16string_view focus_class,
             std::u16string_view program) {
    const std::u16string_view name = known.name;
    switch (known.match) {
    case Match::WindowClass:
        return same_name(window_class, name) || same_name(focus_class, name);
    case Match::Program:
        return same_name(program, name);
    case Match::ProgramPrefix:
        return program.size() > name.size() && same_name(program.substr(0, name.size()), name);
    }
    return false;
}

}  // namespace

CopyKey copy_key_for(std::u16string_view window_class, std::u16string_view focus_class,
                     std::u16string_view program_name) {
    // A remote window inside another program (a terminal's tab, say) gets
    // nothing, whatever else matches.
    CopyKey key = CopyKey::CtrlC;
    for (const Known& known : kKnown) {
        if (!matches(known, window_class, focus_class, program_name)) continue;
        if (known.key == CopyKey::None) return CopyKey::None;
        key = known.key;
    }
    return key;
}

}  // namespace velvane
