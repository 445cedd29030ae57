// The show/hide hotkey as the program numbers it, the two lists of the hotkey
// settings dialog, and the decisions around the registered hotkey. Plain data
// and functions: the Win32 side registers, shows and converts to UTF-16.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velvane {

// modifier_code is the program's own numbering, the one Setup.ini holds:
// 0 none, bit 1 Ctrl, bit 2 Shift, bit 4 Alt. key_code is the platform's
// virtual-key code. Both are whatever the file gave, valid or not.
struct Hotkey {
    std::int32_t modifier_code;
    std::int32_t key_code;
    friend bool operator==(const Hotkey&, const Hotkey&) = default;
};

// Alt+W: what runs when there is no Setup.ini.
inline constexpr Hotkey kDefaultHotkey{4, 87};

// One entry of the dialog's modifier list. `stored` is the "功能键"
// text that choosing it writes: "无" writes an empty value, which reads back
// as 0 like a missing key.
struct ModifierChoice {
    std::string_view name;  // UTF-8
    std::int32_t code;
    std::string_view stored;
};

inline constexpr std::array<ModifierChoice, 4> kModifierChoices{{
    {"无", 0, ""},
    {"Ctrl", 1, "1"},
    {"Shift", 2, "2"},
    {"Alt", 4, "4"},
}};

// One entry of the dialog's key list; "键代码" stores `code` in decimal. The
// name is held in the row (at most "F12" and its end): eight bytes a row
// instead of a pointer, a length and the code.
struct KeyChoice {
    char name[4];
    std::int32_t code;
};

inline constexpr std::array<KeyChoice, 48> kKeyChoices{{
    {"0", 48},   {"1", 49},   {"2", 50},   {"3", 51},   {"4", 52},   {"5", 53},    {"6", 54},    {"7", 55},
    {"8", 56},   {"9", 57},   {"A", 65},   {"B", 66},   {"C", 67},   {"D", 68},    {"E", 69},    {"F", 70},
    {"G", 71},   {"H", 72},   {"I", 73},   {"J", 74},   {"K", 75},   {"L", 76},    {"M", 77},    {"N", 78},
    {"O", 79},   {"P", 80},   {"Q", 81},   {"R", 82},   {"S", 83},   {"T", 84},    {"U", 85},    {"V", 86},
    {"W", 87},   {"X", 88},   {"Y", 89},   {"Z", 90},   {"F1", 112}, {"F2", 113},  {"F3", 114},  {"F4", 115},
    {"F5", 116}, {"F6", 117}, {"F7", 118}, {"F8", 119}, {"F9", 120}, {"F10", 121}, {"F11", 122}, {"F12", 123},
}};

// The dialog always opens on Alt + W, whatever Setup.ini holds.
inline constexpr int kModifierChoiceAtOpening = 3;
inline constexpr int kKeyChoiceAtOpening = 32;
static_assert(kModifierChoices[kModifierChoiceAtOpening].code == kDefaultHotkey.modifier_code);
static_assert(kKeyChoices[kKeyChoiceAtOpening].code == kDefaultHotkey.key_code);

// The combination as the dialog names it, joined with "+": "Alt+W",
// "Ctrl+F5", "A" for no modifier. A hand-edited code that sums bits names
// each (3 is "Ctrl+Shift+…", in the order Ctrl, Shift, Alt); other bits are
// not named, as they are not registered. A key outside the dialog's list
// shows as "VK " and its decimal code ("VK 0"). UTF-8.
std::string hotkey_display_name(std::int32_t modifier_code, std::int32_t key_code);

// The platform's modifier flags (MOD_ALT, MOD_CONTROL, MOD_SHIFT), spelled
// out so that this header needs no <windows.h>. Our numbering differs:
// passed unchanged, our Ctrl (1) would register as Alt and our Alt (4) as Shift.
inline constexpr std::uint32_t kPlatformModAlt = 0x0001;
inline constexpr std::uint32_t kPlatformModControl = 0x0002;
inline constexpr std::uint32_t kPlatformModShift = 0x0004;

// Flags for the registration: bit 1 → Ctrl, bit 2 → Shift, bit 4 → Alt; any
// other bit of the code is ignored (so -1 is Ctrl+Shift+Alt). The caller adds
// MOD_NOREPEAT.
std::uint32_t platform_modifiers(std::int32_t modifier_code);

// Whether a hotkey notification shows or hides the main window: a visible
// window is hidden only by our own hotkey's identifier; a hidden window is
// shown whatever identifier arrives.
bool hotkey_should_toggle(int notified_id, int stored_id, bool window_visible);

}  // namespace velvane
