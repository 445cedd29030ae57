// The hotkeys on the platform side: Setup.ini from disk, and a registration
// for the main window.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "hotkey/hotkey_keys.h"

namespace velvane {

// The hotkey Setup.ini at this path stores, or Alt+W when there is no file.
// Reading never creates or changes the file.
Hotkey load_hotkey(const std::wstring& settings_path);

// The selection hotkey Setup.ini at this path stores; nullopt when it is off.
std::optional<Hotkey> load_selection_hotkey(const std::wstring& settings_path);

class GlobalHotkey {
public:
    // The identifiers WM_HOTKEY carries for the show/hide hotkey and the
    // selection hotkey.
    static constexpr int kShowHideId = 1;
    static constexpr int kSelectionId = 2;

    explicit GlobalHotkey(int id = kShowHideId) : id_(id) {}

    // Registers the hotkey for the window; false when the platform refused
    // it (the combination is taken, or is no valid hotkey).
    bool register_for(HWND window, Hotkey hotkey);

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
