#include "app/app_path_win.h"

#include <windows.h>

#include "win/handles.h"
#include "win/registry_win.h"

namespace velvane {

std::optional<std::wstring> RegistryAppPath::read() const {
    return read_registry_text(HKEY_CURRENT_USER, std::wstring(kAppPathKey), nullptr);
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
