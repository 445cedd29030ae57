#include "app/run_at_startup_win.h"

#include <windows.h>

#include <string>

#include "win/handles.h"

namespace velvane {
namespace {

HKEY root_of(RunKeyScope scope) { return scope == RunKeyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

UniqueKey open_run_key(RunKeyScope scope, REGSAM access) {
    HKEY key = nullptr;
    const std::wstring path(kRunKeyPath);
    if (RegOpenKeyExW(root_of(scope), path.c_str(), 0, access, &key) != ERROR_SUCCESS) return UniqueKey();
    return UniqueKey(key);
}

}  // namespace

bool RegistryRunKeys::exists(RunKeyScope scope) const {
    const UniqueKey key = open_run_key(scope, KEY_QUERY_VALUE);
    if (!key) return false;
    const std::wstring name(kRunValueName);
    return RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegistryRunKeys::write(RunKeyScope scope, const std::wstring& value) {
    HKEY raw = nullptr;
    const std::wstring path(kRunKeyPath);
    if (RegCreateKeyExW(root_of(scope), path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const UniqueKey key(raw);
    const std::wstring name(kRunValueName);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

void RegistryRunKeys::remove(RunKeyScope scope) {
    const UniqueKey key = open_run_key(scope, KEY_SET_VALUE);
    if (!key) return;
    const std::wstring name(kRunValueName);
    RegDeleteValueW(key.get(), name.c_str());
}

}  // namespace velvane
