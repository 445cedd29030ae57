#include "text/encoder.h"

namespace velvane {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void append_escape(std::string& out, unsigned char byte) {
    out += '%';
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

}  // namespace

std::string encode_keyword(std::string_view utf8_keyword) {
    std::string out;
    out.reserve(utf8_keyword.size() * 3);
    for (const char c : utf8_keyword) append_escape(out, static_cast<unsigned char>(c));
    return out;
}

std::string launch_safe_url(std::string_view url) {
    std::string out;
    out.reserve(url.size());
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == '"')
            append_escape(out, byte);
        else
            out += c;
    }
    return out;
}

std::u16string_view cut_url(std::u16string_view url, std::size_t max_units) {
    if (url.size() <= max_units) return url;
    std::size_t cut = max_units;
    // Not between the two halves of a surrogate pair.
    if (cut > 0 && url[cut - 1] >= 0xD800 && url[cut - 1] <= 0xDBFF) --cut;
    // Not inside an escape: a '%' among the last two units starts one that would be cut.
    for (std::size_t back = 1; back <= 2 && back <= cut; ++back) {
        if (url[cut - back] == u'%') {
            cut -= back;
            break;
        }
    }
    return url.substr(0, cut);
}

}  // namespace velvane
