#include "win/registry_win.h"

#include "win/handles.h"

namespace velvane {

std::optional<std::wstring> read_registry_text(HKEY root, const std::wstring& path, const wchar_t* name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return std::nullopt;
    const UniqueKey key(raw);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    // The value need not end with a NUL, or may end with several.
    value.resize(std::min<std::size_t>(bytes / sizeof(wchar_t), value.size()));
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

}  // namespace velvane
