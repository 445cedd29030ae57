// Text helpers the test programs share (the end-to-end drivers, the URL and
// DDE loggers, the fuzz targets): one copy of each, not one per program.
// Header only: the loggers are small programs of their own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace test_text {

// The value of a hexadecimal digit, or -1.
inline int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// What a search engine reads from a URL's keyword part: every %XX (either
// case) is the byte it names; a '%' without two hex digits stays as it is.
inline std::string percent_decoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

#ifdef _WIN32
// UTF-16 to UTF-8 and back by the platform; a lone surrogate becomes U+FFFD.
inline std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

inline std::wstring utf16(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    return out;
}
#endif

}  // namespace test_text
