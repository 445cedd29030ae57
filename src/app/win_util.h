// Small owners for Win32 handles and the text crossing between the controls
// (UTF-16) and the core (UTF-8).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "search/text.h"

namespace velvane {

template <typename Handle, typename Deleter>
class Unique {
public:
    Unique() = default;
    explicit Unique(Handle h) : handle_(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    Unique& operator=(Unique&& other) noexcept {
        reset(std::exchange(other.handle_, Handle{}));
        return *this;
    }
    ~Unique() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }
    void reset(Handle h = Handle{}) {
        if (handle_) Deleter{}(handle_);
        handle_ = h;
    }
    Handle release() { return std::exchange(handle_, Handle{}); }

private:
    Handle handle_{};
};

struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct MenuDeleter {
    void operator()(HMENU h) const { DestroyMenu(h); }
};
struct IconDeleter {
    void operator()(HICON h) const { DestroyIcon(h); }
};
struct HandleDeleter {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
struct ModuleDeleter {
    void operator()(HMODULE h) const { FreeLibrary(h); }
};
struct KeyDeleter {
    void operator()(HKEY h) const { RegCloseKey(h); }
};

using UniqueFont = Unique<HFONT, GdiObjectDeleter>;
using UniqueBrush = Unique<HBRUSH, GdiObjectDeleter>;
using UniqueMenu = Unique<HMENU, MenuDeleter>;
using UniqueIcon = Unique<HICON, IconDeleter>;
using UniqueHandle = Unique<HANDLE, HandleDeleter>;
using UniqueModule = Unique<HMODULE, ModuleDeleter>;
using UniqueKey = Unique<HKEY, KeyDeleter>;

inline std::string to_utf8(std::wstring_view text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return utf8_from_utf16({reinterpret_cast<const char16_t*>(text.data()), text.size()});
}

inline std::wstring to_wide(std::string_view utf8) {
    const std::u16string u16 = utf16_from_utf8(utf8);
    return {reinterpret_cast<const wchar_t*>(u16.data()), u16.size()};
}

inline std::wstring window_text(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

// The directory of the executable, without a trailing backslash.
inline std::wstring program_directory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

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

}  // namespace velvane
