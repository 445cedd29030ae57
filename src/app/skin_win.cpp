#include "app/skin_win.h"

#include <windows.h>

#include <string>

#include "win/file_win.h"

namespace velvane {
namespace {

using AttachEx = int(WINAPI*)(const char* skin_file, const char* password);

// The library takes its path in the system's code page. A path that code page
// cannot spell is passed in its short form, which is ASCII.
std::string ansi_path(const std::wstring& path) {
    std::wstring usable = path;
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, usable.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (lossy) {
        std::wstring short_path(MAX_PATH, L'\0');
        const DWORD len = GetShortPathNameW(path.c_str(), short_path.data(), static_cast<DWORD>(short_path.size()));
        if (len > 0 && len < short_path.size()) {
            short_path.resize(len);
            usable = short_path;
            n = WideCharToMultiByte(CP_ACP, 0, usable.c_str(), -1, nullptr, 0, nullptr, nullptr);
        }
    }
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, usable.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

}  // namespace

void attach_skin(const std::wstring& program_directory) {
    const std::wstring library = program_directory + L"\\" + kSkinLibraryName;
    const std::wstring skin_file = program_directory + L"\\" + kSkinFileName;
    // The library is only loaded to apply the skin: without the skin file
    // beside it, it stays on the disk.
    if (!is_file(library) || !is_file(skin_file)) return;
    // Only the file beside the executable, by its full path: never a DLL of
    // that name found elsewhere on the search path. Its own dependencies come
    // from its folder or the system folder.
    HMODULE module =
        LoadLibraryExW(library.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without its DLL-directory update knows neither flag and refuses
    // them; there the altered search path looks in the library's folder first,
    // and the current directory is already off the search path.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (!module) return;
    const auto attach = reinterpret_cast<AttachEx>(reinterpret_cast<void*>(GetProcAddress(module, "SkinH_Attach_Ex")));
    if (!attach) {
        FreeLibrary(module);
        return;
    }
    attach(ansi_path(skin_file).c_str(), nullptr);
    // The skin stays attached to the program's windows for the whole run, so
    // the library is never unloaded.
}

}  // namespace velvane
