// The native build's code pages: glibc's iconv. Conversions are opened with
// plain charset names, never with //TRANSLIT or //IGNORE, so a character the
// target cannot hold stops the conversion (EILSEQ) and is reported.
#include <errno.h>
#include <iconv.h>

#include <array>
#include <cstddef>

#include "text/code_page.h"

namespace velvane {
namespace {

// Decodes the UTF-8 sequence at the start of text (for the report of the
// character a conversion stopped at); U+FFFD when it is not valid.
char32_t first_character(std::string_view text) {
    if (text.empty()) return 0xFFFD;
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = b(0);
    std::size_t len = 0;
    char32_t c = 0;
    if (lead < 0x80) return lead;
    if (lead >= 0xC2 && lead <= 0xDF)
        len = 2, c = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        len = 3, c = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        len = 4, c = lead & 0x07;
    else
        return 0xFFFD;
    if (text.size() < len) return 0xFFFD;
    for (std::size_t i = 1; i < len; ++i) {
        if ((b(i) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (b(i) & 0x3F);
    }
    if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
        return 0xFFFD;
    return c;
}

// A conversion descriptor, opened once per thread and direction (opening
// one costs more than most conversions) and reset before each use.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can. Returns the offset where it stopped (the
    // input's size when all of it converted) and errno's reason.
    std::size_t run(std::string_view in, std::string& out, int& error) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        char* src = const_cast<char*>(in.data());
        std::size_t src_left = in.size();
        error = 0;
        std::array<char, 1024> buffer;
        while (src_left > 0) {
            char* dst = buffer.data();
            std::size_t dst_left = buffer.size();
            const std::size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
            out.append(buffer.data(), buffer.size() - dst_left);
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                error = errno;
                break;
            }
        }
        return in.size() - src_left;
    }

private:
    iconv_t cd_;
};

class IconvCodePages final : public CodePages {
public:
    CodePageBytes encode(std::string_view utf8, KeywordCharset charset) const override {
        if (charset == KeywordCharset::Utf8) return {std::string(utf8), std::nullopt};
        thread_local Iconv to_gbk("GBK", "UTF-8");
        thread_local Iconv to_big5("BIG5", "UTF-8");
        Iconv& cd = charset == KeywordCharset::Gbk ? to_gbk : to_big5;
        if (!cd.ok()) return {{}, first_character(utf8)};
        CodePageBytes result;
        int error = 0;
        const std::size_t stopped = cd.run(utf8, result.bytes, error);
        if (stopped < utf8.size() || error != 0) {
            result.bytes.clear();
            result.unencodable = first_character(utf8.substr(stopped));
        }
        return result;
    }

    std::string decode(std::string_view bytes, KeywordCharset charset) const override {
        if (charset == KeywordCharset::Utf8) return std::string(bytes);
        thread_local Iconv from_gbk("UTF-8", "GBK");
        thread_local Iconv from_big5("UTF-8", "BIG5");
        Iconv& cd = charset == KeywordCharset::Gbk ? from_gbk : from_big5;
        std::string out;
        if (!cd.ok()) return out;
        while (!bytes.empty()) {
            int error = 0;
            const std::size_t stopped = cd.run(bytes, out, error);
            bytes.remove_prefix(stopped);
            if (bytes.empty()) break;
            out += "\xEF\xBF\xBD";  // a byte that starts no character of the code page
            bytes.remove_prefix(1);
        }
        return out;
    }
};

}  // namespace

const CodePages& system_code_pages() {
    static const IconvCodePages pages;
    return pages;
}

}  // namespace velvane
