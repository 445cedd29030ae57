#include "hotkey/selection_target.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "text/packed_strings.h"

namespace velvane {
namespace {

enum class Match : unsigned char { WindowClass, Program, ProgramPrefix };

// A row as written below; the program carries the table packed (kNames, kRowsPacked).
struct Known {
    std::string_view name;  // ASCII
    Match match;
    CopyKey key;
};

// One table for every program that must not get Ctrl+C.
constexpr Known kKnown[] = {
    // Terminals
    {"ConsoleWindowClass", Match::WindowClass, CopyKey::CtrlInsert},             // the console host
    {"CASCADIA_HOSTING_WINDOW_CLASS", Match::WindowClass, CopyKey::CtrlInsert},  // Windows Terminal
    {"mintty", Match::WindowClass, CopyKey::CtrlInsert},
    {"PuTTY", Match::WindowClass, CopyKey::CtrlInsert},
    {"KiTTY", Match::WindowClass, CopyKey::CtrlInsert},
    {"VirtualConsoleClass", Match::WindowClass, CopyKey::CtrlInsert},  // ConEmu
    {"VTWin32", Match::WindowClass, CopyKey::CtrlInsert},              // Tera Term
    {"WindowsTerminal.exe", Match::Program, CopyKey::CtrlInsert},
    {"OpenConsole.exe", Match::Program, CopyKey::CtrlInsert},
    {"conhost.exe", Match::Program, CopyKey::CtrlInsert},
    {"mintty.exe", Match::Program, CopyKey::CtrlInsert},
    {"putty.exe", Match::Program, CopyKey::CtrlInsert},
    {"kitty.exe", Match::Program, CopyKey::CtrlInsert},
    {"kitty_portable.exe", Match::Program, CopyKey::CtrlInsert},
    {"alacritty.exe", Match::Program, CopyKey::CtrlInsert},
    {"wezterm-gui.exe", Match::Program, CopyKey::CtrlInsert},
    {"wezterm.exe", Match::Program, CopyKey::CtrlInsert},
    {"Tabby.exe", Match::Program, CopyKey::CtrlInsert},
    {"Terminus.exe", Match::Program, CopyKey::CtrlInsert},
    {"Hyper.exe", Match::Program, CopyKey::CtrlInsert},
    {"MobaXterm", Match::ProgramPrefix, CopyKey::CtrlInsert},  // MobaXterm_Personal_23.2.exe too
    {"Xshell.exe", Match::Program, CopyKey::CtrlInsert},
    {"SecureCRT.exe", Match::Program, CopyKey::CtrlInsert},
    {"ConEmu.exe", Match::Program, CopyKey::CtrlInsert},
    {"ConEmu64.exe", Match::Program, CopyKey::CtrlInsert},
    {"Cmder.exe", Match::Program, CopyKey::CtrlInsert},
    {"ttermpro.exe", Match::Program, CopyKey::CtrlInsert},
    {"FinalShell.exe", Match::Program, CopyKey::CtrlInsert},
    {"electerm.exe", Match::Program, CopyKey::CtrlInsert},
    {"WindTerm.exe", Match::Program, CopyKey::CtrlInsert},
    {"Termius.exe", Match::Program, CopyKey::CtrlInsert},
    {"warp.exe", Match::Program, CopyKey::CtrlInsert},
    // Code editors with a terminal inside; Ctrl+Insert copies in their editors too
    {"Code.exe", Match::Program, CopyKey::CtrlInsert},
    {"Code - Insiders.exe", Match::Program, CopyKey::CtrlInsert},
    {"VSCodium.exe", Match::Program, CopyKey::CtrlInsert},
    {"Cursor.exe", Match::Program, CopyKey::CtrlInsert},
    {"Windsurf.exe", Match::Program, CopyKey::CtrlInsert},
    {"devenv.exe", Match::Program, CopyKey::CtrlInsert},
    {"idea64.exe", Match::Program, CopyKey::CtrlInsert},
    {"pycharm64.exe", Match::Program, CopyKey::CtrlInsert},
    {"webstorm64.exe", Match::Program, CopyKey::CtrlInsert},
    {"clion64.exe", Match::Program, CopyKey::CtrlInsert},
    {"goland64.exe", Match::Program, CopyKey::CtrlInsert},
    {"phpstorm64.exe", Match::Program, CopyKey::CtrlInsert},
    {"rider64.exe", Match::Program, CopyKey::CtrlInsert},
    {"rubymine64.exe", Match::Program, CopyKey::CtrlInsert},
    {"datagrip64.exe", Match::Program, CopyKey::CtrlInsert},
    {"studio64.exe", Match::Program, CopyKey::CtrlInsert},  // Android Studio
    // Remote desktops and virtual machine consoles
    {"TscShellContainerClass", Match::WindowClass, CopyKey::None},  // Remote Desktop Connection
    {"IHWindowClass", Match::WindowClass, CopyKey::None},           // its session inside other programs
    {"VMUIFrame", Match::WindowClass, CopyKey::None},               // VMware Workstation
    {"mstsc.exe", Match::Program, CopyKey::None},
    {"msrdc.exe", Match::Program, CopyKey::None},
    {"RDCMan.exe", Match::Program, CopyKey::None},
    {"mRemoteNG.exe", Match::Program, CopyKey::None},
    {"RoyalTS.exe", Match::Program, CopyKey::None},
    {"vmconnect.exe", Match::Program, CopyKey::None},  // Hyper-V
    {"vmware.exe", Match::Program, CopyKey::None},
    {"vmplayer.exe", Match::Program, CopyKey::None},
    {"vmrc.exe", Match::Program, CopyKey::None},
    {"VirtualBox.exe", Match::Program, CopyKey::None},
    {"VirtualBoxVM.exe", Match::Program, CopyKey::None},
    {"VBoxSDL.exe", Match::Program, CopyKey::None},
    {"qemu-system-", Match::ProgramPrefix, CopyKey::None},
    {"remote-viewer.exe", Match::Program, CopyKey::None},
    {"vncviewer.exe", Match::Program, CopyKey::None},
    {"tvnviewer.exe", Match::Program, CopyKey::None},
    {"TeamViewer.exe", Match::Program, CopyKey::None},
    {"AnyDesk.exe", Match::Program, CopyKey::None},
    {"RustDesk.exe", Match::Program, CopyKey::None},
    {"ToDesk.exe", Match::Program, CopyKey::None},
    {"SunloginClient.exe", Match::Program, CopyKey::None},  // 向日葵
    {"wfica32.exe", Match::Program, CopyKey::None},         // Citrix
    {"CDViewer.exe", Match::Program, CopyKey::None},
};

constexpr std::size_t kRows = std::size(kKnown);

static_assert([] {
    for (const Known& known : kKnown)
        if (known.name.empty()) return false;
    return true;
}());

// The names one after another (text/packed_strings.h), and beside them two
// bytes a row: the match and the key.
constexpr auto kNames = [] {
    std::array<std::string_view, kRows> names{};
    for (std::size_t i = 0; i < kRows; ++i) names[i] = kKnown[i].name;
    return pack_strings<packed_size(kKnown, [](const Known& known) { return known.name; })>(names);
}();

struct PackedRow {
    Match match;
    std::uint8_t key;  // a CopyKey
};

constexpr auto kRowsPacked = [] {
    std::array<PackedRow, kRows> rows{};
    for (std::size_t i = 0; i < kRows; ++i) rows[i] = {kKnown[i].match, static_cast<std::uint8_t>(kKnown[i].key)};
    return rows;
}();

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool same_name(std::u16string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool matches(Match match, std::string_view name, std::u16string_view window_class, std::u16string_view focus_class,
             std::u16string_view program) {
    switch (match) {
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
    for (std::size_t i = 0; i < kRows; ++i) {
        const PackedRow row = kRowsPacked[i];
        if (!matches(row.match, kNames[i], window_class, focus_class, program_name)) continue;
        const auto row_key = static_cast<CopyKey>(row.key);
        if (row_key == CopyKey::None) return CopyKey::None;
        key = row_key;
    }
    return key;
}

}  // namespace velvane
