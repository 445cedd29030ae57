// The Windows build's code pages: the platform's own conversion. Encoding
// asks for no best-fit characters (WC_NO_BEST_FIT_CHARS) and checks whether
// the default character was used, so that a character the code page cannot
// hold is reported instead of being sent as "?" or as a look-alike.
#include <windows.h>

#include <optional>
#include <string>

#include "text/code_page.h"
#include "text/text.h"

namespace velvane {
namespace {

UINT code_page_of(KeywordCharset charset) { return charset == KeywordCharset::Big5 ? 950 : 936; }

// The character starting at unit i, a surrogate pair taken whole.
char32_t character_at(std::u16string_view text, std::size_t i, std::size_t& units) {
    const char16_t u = text[i];
    units = 1;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        units = 2;
        return 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
    }
    if (u >= 0xD800 && u <= 0xDFFF) return 0xFFFD;
    return u;
}

// Converts UTF-16 units to the code page; false when a character needed the
// default character.
bool to_code_page(UINT code_page, std::u16string_view units, std::string* out) {
    if (units.empty()) return true;
    const auto* src = reinterpret_cast<const wchar_t*>(units.data());
    const int n = static_cast<int>(units.size());
    BOOL used_default = FALSE;
    const int size = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, src, n, nullptr, 0, nullptr, &used_default);
    if (size <= 0 || used_default) return false;
    if (!out) return true;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    used_default = FALSE;
    if (WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, src, n, bytes.data(), size, nullptr, &used_default) !=
            size ||
        used_default)
        return false;
    *out += bytes;
    return true;
}

class WindowsCodePages final : public CodePages {
public:
    CodePageBytes encode(std::string_view utf8, KeywordCharset charset) const override {
        if (charset == KeywordCharset::Utf8) return {std::string(utf8), std::nullopt};
        const std::u16string units = utf16_from_utf8(utf8);
        const UINT code_page = code_page_of(charset);
        CodePageBytes result;
        if (to_code_page(code_page, units, &result.bytes)) return result;
        // Find the first character that does not convert on its own; a
        // lone surrogate (U+FFFD after conversion) never does.
        result.bytes.clear();
        for (std::size_t i = 0; i < units.size();) {
            std::size_t n = 1;
            const char32_t c = character_at(units, i, n);
            if (c == 0xFFFD || !to_code_page(code_page, units.substr(i, n), nullptr)) {
                result.unencodable = c;
                return result;
            }
            i += n;
        }
        result.unencodable = 0xFFFD;  // the whole did not convert, no single part failed
        return result;
    }

    // A byte that starts no character of the code page becomes U+FFFD and
    // the next byte is read on its own, as the native build does (the
    // platform's own replacement would take the next byte with it).
    std::string decode(std::string_view bytes, KeywordCharset charset) const override {
        if (charset == KeywordCharset::Utf8) return std::string(bytes);
        const UINT code_page = code_page_of(charset);
        if (bytes.empty()) return {};
        if (const auto whole = from_code_page(code_page, bytes)) return utf8_from_utf16(*whole);
        std::u16string units;
        for (std::size_t i = 0; i < bytes.size();) {
            const auto lead = static_cast<unsigned char>(bytes[i]);
            if (lead < 0x80) {
                units += static_cast<char16_t>(lead);
                ++i;
            } else if (const auto one = from_code_page(code_page, bytes.substr(i, 1))) {  // GBK's 0x80, the euro sign
                units += *one;
                ++i;
            } else if (const auto two =
                           i + 1 < bytes.size() ? from_code_page(code_page, bytes.substr(i, 2)) : std::nullopt) {
                units += *two;
                i += 2;
            } else {
                units += u'\xFFFD';
                ++i;
            }
        }
        return utf8_from_utf16(units);
    }

private:
    // Nullopt when the bytes are not all characters of the code page.
    static std::optional<std::u16string> from_code_page(UINT code_page, std::string_view bytes) {
        const int n = static_cast<int>(bytes.size());
        const int size = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
        if (size <= 0) return std::nullopt;
        std::u16string units(static_cast<std::size_t>(size), u'\0');
        if (MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), n,
                                reinterpret_cast<wchar_t*>(units.data()), size) != size)
            return std::nullopt;
        return units;
    }
};

}  // namespace

const CodePages& system_code_pages() {
    static const WindowsCodePages pages;
    return pages;
}

}  // namespace velvane
