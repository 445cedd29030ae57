#include "hotkey/settings_dialog_win.h"

namespace velvane {

void show_hotkey_settings_dialog(HINSTANCE, HWND, const std::wstring&) {}

}  // namespace velvane
