#include "hotkey/hotkey_win.h"

#include <optional>
#include <string>

#include "hotkey/settings_file.h"
#include "win/handles.h"

namespace velvane {
namespace {

// Far beyond any real Setup.ini; a stray huge file is read only this far.
constexpr DWORD kMaxSettingsBytes = 16 * 1024 * 1024;

// The file's bytes, or empty bytes when it exists but cannot be read.
std::string read_all(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string bytes;
    char buffer[64 * 1024];
    DWORD read = 0;
    while (bytes.size() < kMaxSettingsBytes && ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

// The file's bytes; nullopt when there is no file, empty bytes when it
// cannot be read.
std::optional<std::string> settings_bytes(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::string();
    return read_all(path);
}

}  // namespace

Hotkey load_hotkey(const std::wstring& settings_path) { return load_settings(settings_bytes(settings_path)); }

std::optional<Hotkey> load_selection_hotkey(const std::wstring& settings_path) {
    return load_selection_settings(settings_bytes(settings_path));
}

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
