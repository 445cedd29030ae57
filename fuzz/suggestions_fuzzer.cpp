// The suggestion answer reader on any bytes, under any of the charsets a
// Content-Type may name. It must
//   - not crash, and give the same entries when read again;
//   - keep at most kMaxSuggestions entries;
//   - give only entries the keyword box can show: valid UTF-8, not blank,
//     no control character and no U+FFFD.
// The first byte picks the Content-Type; the rest is the body.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "text/suggestions.h"
#include "text/text.h"

namespace {

using namespace velvane;

bool valid_utf8(std::string_view text) { return utf8_from_utf16(utf16_from_utf8(text)) == text; }

constexpr std::string_view kContentTypes[] = {
    "",
    "application/x-suggestions+json",
    "application/json; charset=utf-8",
    "text/javascript; charset=GBK",
    "text/javascript; charset=gb18030",
    "application/json; charset=big5",
    "text/html; charset=\"koi8-r\"",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view content_type = kContentTypes[data[0] % std::size(kContentTypes)];
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<std::string> entries = read_suggestions(body, content_type);
    FUZZ_CHECK(entries == read_suggestions(body, content_type));
    FUZZ_CHECK(entries.size() <= kMaxSuggestions);
    for (const std::string& entry : entries) {
        FUZZ_CHECK(valid_utf8(entry));
        FUZZ_CHECK(entry.find_first_not_of(" \t") != std::string::npos);
        FUZZ_CHECK(std::none_of(entry.begin(), entry.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }));
        FUZZ_CHECK(entry.find("\xEF\xBF\xBD") == std::string::npos);
    }
    return 0;
}
