#include "hotkey/selection_target.h"

namespace velvane {
namespace {

enum class Match { WindowClass, Program, ProgramPrefix };

struct Known {
    Match match;
    std::u16string_view name;
    CopyKey key;
};

// One table for every program that must not get Ctrl+C.
constexpr Known kKnown[] = {
    // Terminals
    {Match::WindowClass, u"ConsoleWindowClass", CopyKey::CtrlInsert},             // the console host
    {Match::WindowClass, u"CASCADIA_HOSTING_WINDOW_CLASS", CopyKey::CtrlInsert},  // Windows Terminal
    {Match::WindowClass, u"mintty", CopyKey::CtrlInsert},
    {Match::WindowClass, u"PuTTY", CopyKey::CtrlInsert},
    {Match::WindowClass, u"KiTTY", CopyKey::CtrlInsert},
    {Match::WindowClass, u"VirtualConsoleClass", CopyKey::CtrlInsert},  // ConEmu
    {Match::WindowClass, u"VTWin32", CopyKey::CtrlInsert},              // Tera Term
    {Match::Program, u"WindowsTerminal.exe", CopyKey::CtrlInsert},
    {Match::Program, u"OpenConsole.exe", CopyKey::CtrlInsert},
    {Match::Program, u"conhost.exe", CopyKey::CtrlInsert},
    {Match::Program, u"mintty.exe", CopyKey::CtrlInsert},
    {Match::Program, u"putty.exe", CopyKey::CtrlInsert},
    {Match::Program, u"kitty.exe", CopyKey::CtrlInsert},
    {Match::Program, u"kitty_portable.exe", CopyKey::CtrlInsert},
    {Match::Program, u"alacritty.exe", CopyKey::CtrlInsert},
    {Match::Program, u"wezterm-gui.exe", CopyKey::CtrlInsert},
    {Match::Program, u"wezterm.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Tabby.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Terminus.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Hyper.exe", CopyKey::CtrlInsert},
    {Match::ProgramPrefix, u"MobaXterm", CopyKey::CtrlInsert},  // MobaXterm_Personal_23.2.exe too
    {Match::Program, u"Xshell.exe", CopyKey::CtrlInsert},
    {Match::Program, u"SecureCRT.exe", CopyKey::CtrlInsert},
    {Match::Program, u"ConEmu.exe", CopyKey::CtrlInsert},
    {Match::Program, u"ConEmu64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Cmder.exe", CopyKey::CtrlInsert},
    {Match::Program, u"ttermpro.exe", CopyKey::CtrlInsert},
    {Match::Program, u"FinalShell.exe", CopyKey::CtrlInsert},
    {Match::Program, u"electerm.exe", CopyKey::CtrlInsert},
    {Match::Program, u"WindTerm.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Termius.exe", CopyKey::CtrlInsert},
    {Match::Program, u"warp.exe", CopyKey::CtrlInsert},
    // Code editors with a terminal inside; Ctrl+Insert copies in their editors too
    {Match::Program, u"Code.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Code - Insiders.exe", CopyKey::CtrlInsert},
    {Match::Program, u"VSCodium.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Cursor.exe", CopyKey::CtrlInsert},
    {Match::Program, u"Windsurf.exe", CopyKey::CtrlInsert},
    {Match::Program, u"devenv.exe", CopyKey::CtrlInsert},
    {Match::Program, u"idea64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"pycharm64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"webstorm64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"clion64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"goland64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"phpstorm64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"rider64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"rubymine64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"datagrip64.exe", CopyKey::CtrlInsert},
    {Match::Program, u"studio64.exe", CopyKey::CtrlInsert},  // Android Studio
    // Remote desktops and virtual machine consoles
    {Match::WindowClass, u"TscShellContainerClass", CopyKey::None},  // Remote Desktop Connection
    {Match::WindowClass, u"IHWindowClass", CopyKey::None},           // its session inside other programs
    {Match::WindowClass, u"VMUIFrame", CopyKey::None},               // VMware Workstation
    {Match::Program, u"mstsc.exe", CopyKey::None},
    {Match::Program, u"msrdc.exe", CopyKey::None},
    {Match::Program, u"RDCMan.exe", CopyKey::None},
    {Match::Program, u"mRemoteNG.exe", CopyKey::None},
    {Match::Program, u"RoyalTS.exe", CopyKey::None},
    {Match::Program, u"vmconnect.exe", CopyKey::None},  // Hyper-V
    {Match::Program, u"vmware.exe", CopyKey::None},
    {Match::Program, u"vmplayer.exe", CopyKey::None},
    {Match::Program, u"vmrc.exe", CopyKey::None},
    {Match::Program, u"VirtualBox.exe", CopyKey::None},
    {Match::Program, u"VirtualBoxVM.exe", CopyKey::None},
    {Match::Program, u"VBoxSDL.exe", CopyKey::None},
    {Match::ProgramPrefix, u"qemu-system-", CopyKey::None},
    {Match::Program, u"remote-viewer.exe", CopyKey::None},
    {Match::Program, u"vncviewer.exe", CopyKey::None},
    {Match::Program, u"tvnviewer.exe", CopyKey::None},
    {Match::Program, u"TeamViewer.exe", CopyKey::None},
    {Match::Program, u"AnyDesk.exe", CopyKey::None},
    {Match::Program, u"RustDesk.exe", CopyKey::None},
    {Match::Program, u"ToDesk.exe", CopyKey::None},
    {Match::Program, u"SunloginClient.exe", CopyKey::None},  // 向日葵
    {Match::Program, u"wfica32.exe", CopyKey::None},         // Citrix
    {Match::Program, u"CDViewer.exe", CopyKey::None},
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
    switch (known.match) {
    case Match::WindowClass:
        return same_name(window_class, known.name) || same_name(focus_class, known.name);
    case Match::Program:
        return same_name(program, known.name);
    case Match::ProgramPrefix:
        return program.size() > known.name.size() && same_name(program.substr(0, known.name.size()), known.name);
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
