// Keyword to URL on every page: the input is the text of a keyword box as
// UTF-16 code units (little-endian pairs, any value, lone surrogates
// included), converted as the Win32 side converts it, and searched on every
// category radio (with each language of the Google web row), every list item
// and the lucky button of every engine. Every URL must
//   - start with "http://" and its row's host, the host ending there (the
//     keyword cannot change where the browser goes);
//   - carry the keyword as its row asks, whole (no NUL or other character
//     cuts it short);
//   - be valid UTF-8, since the launch converts it back to UTF-16;
//   - after launch_safe_url, contain no '"' and no control character, keep
//     its host, and need no second pass.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "engines/engines.h"
#include "text/encoder.h"
#include "text/text.h"

namespace {

using namespace velvane;

bool has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

void check_url(const std::string& url, const UrlTemplate& row, std::string_view keyword) {
    const std::string prefix = "http://" + std::string(host_of(row.host));
    FUZZ_CHECK(url.starts_with(prefix));
    FUZZ_CHECK(url.size() == prefix.size() || std::string_view("/?#").find(url[prefix.size()]) != std::string_view::npos);
    if (has(row.path, "{raw}")) FUZZ_CHECK(has(url, keyword));
    if (has(row.path, "{enc}")) FUZZ_CHECK(has(url, encode_keyword(keyword)));
    FUZZ_CHECK(utf8_from_utf16(utf16_from_utf8(url)) == url);

    const std::string safe = launch_safe_url(url);
    FUZZ_CHECK(safe.starts_with(prefix));
    FUZZ_CHECK(std::none_of(safe.begin(), safe.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == '"' || byte < 0x20 || byte == 0x7F;
    }));
    FUZZ_CHECK(launch_safe_url(safe) == safe);
}

// A page search with one radio (and one language) checked: the home page for
// an empty keyword, else exactly one URL of the radio's row.
void check_page_search(const Engine& engine, PageState state, const CategoryRadio& radio) {
    EncoderScratch scratch;
    const std::vector<std::string> urls = page_search(engine, state, scratch);
    FUZZ_CHECK(urls.size() == 1);
    check_url(urls[0], state.keyword.empty() ? engine.home : radio.url, state.keyword);
}

void check_engine(const Engine& engine, const std::string& keyword) {
    for (std::size_t r = 0; r < engine.radios.size(); ++r) {
        PageState state = initial_state(engine);
        radio_clicked(engine, state, r);
        state.keyword = keyword;
        const CategoryRadio& radio = engine.radios[r];
        if (engine.language_row && has(radio.url.path, "{tail}")) {
            for (std::size_t l = 0; l < state.languages.size(); ++l) {
                std::fill(state.languages.begin(), state.languages.end(), false);
                state.languages[l] = true;
                check_page_search(engine, state, radio);
            }
        } else {
            check_page_search(engine, state, radio);
        }
    }

    for (std::size_t i = 0; i < engine.list.size(); ++i) {
        const ListItem& item = engine.list[i];
        PageState state = initial_state(engine);
        state.keyword = keyword;
        state.list_index = static_cast<int>(i);
        EncoderScratch scratch;
        const std::vector<std::string> picked = list_pick(engine, state, scratch);
        FUZZ_CHECK(picked.size() == (keyword.empty() && !item.ignores_keyword ? 0u : 1u));
        for (const std::string& url : picked) check_url(url, item.url, keyword);
        // In list mode the search button repeats the list category; with no
        // keyword it opens the home page, as on any page.
        const std::vector<std::string> repeated = page_search(engine, state, scratch);
        if (keyword.empty()) {
            FUZZ_CHECK(repeated.size() == 1);
            check_url(repeated[0], engine.home, keyword);
        } else {
            FUZZ_CHECK(repeated == picked);
        }
    }

    if (engine.extra_button) {
        PageState state = initial_state(engine);
        state.keyword = keyword;
        const std::vector<std::string> urls = extra_button_search(engine, state);
        FUZZ_CHECK(urls.size() == 1);
        check_url(urls[0], engine.extra_button->url, keyword);
    }
}

bool is_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// What the conversion must give back: the text with each lone surrogate
// replaced by U+FFFD and every pair kept.
std::u16string with_lone_surrogates_replaced(std::u16string_view units) {
    std::u16string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            out += u;
            out += units[++i];
        } else {
            out += is_surrogate(u) ? u'\xFFFD' : u;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));

    const std::string keyword = utf8_from_utf16(units);
    FUZZ_CHECK(utf16_from_utf8(keyword) == with_lone_surrogates_replaced(units));

    for (const Engine* engine : all_engines()) check_engine(*engine, keyword);
    return 0;
}
