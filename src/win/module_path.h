// Where the running executable is: Setup.ini, the skin and the run-at-start
// entry are all found from it.
#pragma once

#include <windows.h>

#include <string>

namespace velvane {

// The full path of the executable, however long.
inline std::wstring executable_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The directory of the executable, without a trailing backslash.
inline std::wstring program_directory() {
    const std::wstring path = executable_path();
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace velvane
