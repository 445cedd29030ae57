#include "app/app_path_win.h"

#include <windows.h>

#include "win/handles.h"

namespace velvane {

std::optional<std::wstring> RegistryAppPath::read() const {
    HKEY raw = nullptr;
    const std::wstring path(kAppPathKey);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return std::nullopt;
    const UniqueKey key(raw);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    // The value need not end with a NUL, or may end with several.
    value.resize(std::min<std::size_t>(bytes / sizeof(wchar_t), value.size()));
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

bool RegistryAppPath::write(const std::wstring& executable_path) {
    HKEY raw = nullptr;
    const std::wstring path(kAppPathKey);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const UniqueKey key(raw);
    const auto bytes = static_cast<DWORD>((executable_path.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(executable_path.c_str()),
                          bytes) == ERROR_SUCCESS;
}

void RegistryAppPath::remove() {
    const std::wstring path(kAppPathKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}

}  // namespace velvane
