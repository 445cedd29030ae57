// The hotkeys on the platform side: a registration for the main window,
// given back at the latest when its owner goes.
#pragma once

#include <windows.h>

#include "hotkey/hotkey_keys.h"

namespace velvane {

class GlobalHotkey {
public:
    // The identifiers WM_HOTKEY carries for the show/hide hotkey and the
    // selection hotkey.
    static constexpr int kShowHideId = 1;
    static constexpr int kSelectionId = 2;

    explicit GlobalHotkey(int id = kShowHideId) : id_(id) {}
    // One registration, one owner: given back when the owner goes.
    GlobalHotkey(const GlobalHotkey&) = delete;
    GlobalHotkey& operator=(const GlobalHotkey&) = delete;
    ~GlobalHotkey() { unregister(); }

    // Registers the hotkey for the window; false when the platform refused
    // it (the combination is taken, or is no valid hotkey).
    [[nodiscard]] bool register_for(HWND window, Hotkey hotkey);

    // Gives the registration back, once; later calls do nothing.
    void unregister();

    int id() const { return id_; }
    bool registered() const { return registered_; }

private:
    int id_;
    HWND window_ = nullptr;
    bool registered_ = false;
};

}  // namespace velvane
