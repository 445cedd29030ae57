// The show/hide hotkey on the platform side: Setup.ini from disk, and one
// registration for the main window.
#pragma once

#include <windows.h>

#include <string>

#include "hotkey/hotkey_keys.h"

namespace velvane {

// The hotkey Setup.ini at this path stores, or Alt+W when there is no file.
// Reading never creates or changes the file.
Hotkey load_hotkey(const std::wstring& settings_path);

class GlobalHotkey {
public:
    // The identifier WM_HOTKEY carries for this hotkey.
    static constexpr int kId = 1;

    // Registers the hotkey for the window; false when the platform refused
    // it (the combination is taken, or is no valid hotkey).
    bool register_for(HWND window, Hotkey hotkey);

    // Gives the registration back, once; later calls do nothing.
    void unregister();

    int id() const { return kId; }

private:
    HWND window_ = nullptr;
    bool registered_ = false;
};

}  // namespace velvane
