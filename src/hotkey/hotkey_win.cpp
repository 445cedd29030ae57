#include "hotkey/hotkey_win.h"

namespace velvane {

// The core's flags are the platform's own, passed on unchanged.
static_assert(kPlatformModAlt == MOD_ALT && kPlatformModControl == MOD_CONTROL && kPlatformModShift == MOD_SHIFT);

bool GlobalHotkey::register_for(HWND window, Hotkey hotkey) {
    unregister();
    window_ = window;
    // Holding the keys down must not toggle the window again and again.
    const UINT modifiers = platform_modifiers(hotkey.modifier_code) | MOD_NOREPEAT;
    registered_ = RegisterHotKey(window, id_, modifiers, static_cast<UINT>(hotkey.key_code)) != FALSE;
    return registered_;
}

void GlobalHotkey::unregister() {
    if (registered_) UnregisterHotKey(window_, id_);
    registered_ = false;
}

}  // namespace velvane
