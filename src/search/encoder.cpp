#include "search/encoder.h"

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

}  // namespace velvane
