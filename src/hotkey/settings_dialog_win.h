// The hotkey settings dialog "快捷键设置": stores a modifier and a key in
// Setup.ini, or restores Alt+W by deleting the file. It never registers
// anything: what it stores takes effect at the next start.
#pragma once

#include <windows.h>

#include <string>

namespace velvane {

// Shows the dialog modally (owner may be null or hidden) and returns when it
// has closed.
void show_hotkey_settings_dialog(HINSTANCE instance, HWND owner, const std::wstring& settings_path);

}  // namespace velvane
