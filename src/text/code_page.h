// Code-page conversion for the keywords of user pages, the GBK form of the
// engines file and suggestion answers in GBK or Big5. The core decides what
// to convert; the platform answers how: WideCharToMultiByte and
// MultiByteToWideChar on Windows (code_page_win.cpp), iconv in the native
// build (code_page_iconv.cpp). A character the code page
// cannot hold is always reported, never replaced by a look-alike or a "?".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velvane {

// The code pages a user template can send its keyword in.
enum class KeywordCharset : unsigned char { Utf8, Gbk, Big5 };

// "utf-8", "gbk" or "big5": what {charset} gives.
std::string_view charset_name(KeywordCharset charset);

// Either the bytes, or the first character the code page cannot hold.
struct CodePageBytes {
    std::string bytes;
    std::optional<char32_t> unencodable;  // set: bytes is empty and means nothing
};

class CodePages {
public:
    virtual ~CodePages() = default;

    // UTF-8 text to GBK (code page 936) or Big5 (code page 950) bytes. Text
    // that is not valid UTF-8 reports U+FFFD at its first bad sequence.
    // KeywordCharset::Utf8 gives the text back as it is.
    virtual CodePageBytes encode(std::string_view utf8, KeywordCharset charset) const = 0;

    // GBK (code page 936) or Big5 (code page 950) bytes to UTF-8; a byte that
    // starts no character of the code page becomes U+FFFD and decoding goes on
    // after it. KeywordCharset::Utf8 gives the bytes back as they are.
    virtual std::string decode(std::string_view bytes, KeywordCharset charset) const = 0;

    std::string decode_gbk(std::string_view bytes) const { return decode(bytes, KeywordCharset::Gbk); }
};

// The platform's conversion: the one the program uses.
const CodePages& system_code_pages();

}  // namespace velvane
