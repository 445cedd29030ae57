// Reading a text value of the registry.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace velvane {

// The text (REG_SZ or REG_EXPAND_SZ, not expanded) of the value `name` (null:
// the key's default value) of the key `path` under `root`; nothing when there
// is no such key or value, or the value holds no text.
std::optional<std::wstring> read_registry_text(HKEY root, const std::wstring& path, const wchar_t* name);

}  // namespace velvane
