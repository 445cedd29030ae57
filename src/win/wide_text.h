// The text crossing between the controls (UTF-16) and the core (UTF-8).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "text/text.h"

namespace velvane {

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

}  // namespace velvane
