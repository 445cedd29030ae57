// Where the running executable is: Setup.ini, the skin and the run-at-start
// entry are all found from it.
#pragma once

#include <windows.h>

#include <string>

#include "text/text.h"

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

// The folder of the executable, for joining file names to it with a
// backslash: without a trailing one, also at a drive's root ("C:").
inline std::wstring program_directory() {
    std::wstring folder = folder_of(executable_path());
    if (folder.ends_with(L'\\')) folder.pop_back();
    return folder;
}

}  // namespace velvane
