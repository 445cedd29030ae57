// The keyword encoder: any bytes (any keyword's UTF-8, and bytes no keyword
// could have) come out as nothing but %XX escapes with upper-case hex digits,
// one per byte, and decode back to exactly the bytes that went in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "text/encoder.h"

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower-case digits are not what the encoder writes
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view keyword(reinterpret_cast<const char*>(data), size);
    const std::string encoded = velvane::encode_keyword(keyword);

    FUZZ_CHECK(encoded.size() == 3 * keyword.size());
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); i += 3) {
        FUZZ_CHECK(encoded[i] == '%');
        const int high = hex_value(encoded[i + 1]), low = hex_value(encoded[i + 2]);
        FUZZ_CHECK(high >= 0 && low >= 0);
        decoded += static_cast<char>(high * 16 + low);
    }
    FUZZ_CHECK(decoded == keyword);

    // Nothing the launch would have to escape again.
    FUZZ_CHECK(velvane::launch_safe_url(encoded) == encoded);
    return 0;
}
