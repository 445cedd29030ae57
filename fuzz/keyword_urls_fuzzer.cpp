// Keyword to URL on every page: the input is the text of a keyword box as
// UTF-16 code units (little-endian pairs, any value, lone surrogates
// included), converted as the Win32 side converts it, and searched on every
// category radio (with each language of the Google web row), every list item
// and the lucky button of every engine. Every URL must
//   - start with "http://" and its row's host, the host ending there (the
//     keyword cannot change where the browser goes);
//   - carry the keyword as its row asks, whole (no NUL or other character
//     cuts it short), a raw keyword in a form that decodes to exactly what
//     was typed and holds no '+', '#' or '&' that a query would read;
//   - be valid UTF-8, since the launch converts it back to UTF-16;
//   - be inert as it is, so that launch_safe_url leaves it alone: no
//     character a shell or a command line reads (blank, tab, quote,
//     backslash, <>^`{|}, control characters, DEL) and no '%' that does not
//     begin an escape;
//   - reach a browser as exactly one argument equal to itself, by the
//     command-line rules of Windows programs, whether the browser's command
//     puts it in quotes, leaves it bare or has no place for it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "engines/engines.h"
#include "text/arguments.h"
#include "text/browser_command.h"
#include "text/code_page.h"
#include "text/encoder.h"
#include "test_text.h"
#include "text/text.h"

namespace {

using namespace velvane;
using test_text::hex_value;
using test_text::percent_decoded;

bool has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool is_escape(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(at);
    if (rest.size() >= 3 && hex_value(rest[1]) >= 0 && hex_value(rest[2]) >= 0) return true;
    // %uXXXX, as the Sogou map's own template writes Unicode.
    return rest.size() >= 6 && rest[1] == 'u' && hex_value(rest[2]) >= 0 && hex_value(rest[3]) >= 0 &&
           hex_value(rest[4]) >= 0 && hex_value(rest[5]) >= 0;
}

bool read_by_a_shell_or_command_line(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F || std::string_view(" \"\\<>^`{|}").find(text[at]) != std::string_view::npos)
        return true;
    // C1 control characters, U+0080 to U+009F.
    return byte == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

void check_url(const std::string& url, const UrlTemplate& row, std::string_view keyword) {
    const std::string prefix = "http://" + std::string(host_of(row.host));
    FUZZ_CHECK(url.starts_with(prefix));
    FUZZ_CHECK(url.size() == prefix.size() ||
               std::string_view("/?#").find(url[prefix.size()]) != std::string_view::npos);
    if (has(row.path, "{raw}")) {
        const std::string raw = raw_keyword_in_url(keyword);
        FUZZ_CHECK(has(url, raw));
        FUZZ_CHECK(percent_decoded(raw) == keyword);
        // Nothing in it that a query reads as more than the value.
        FUZZ_CHECK(raw.find_first_of("+#&") == std::string::npos);
    }
    if (has(row.path, "{enc}")) FUZZ_CHECK(has(url, encode_keyword(keyword)));
    FUZZ_CHECK(utf8_from_utf16(utf16_from_utf8(url)) == url);

    for (std::size_t i = 0; i < url.size(); ++i) {
        FUZZ_CHECK(!read_by_a_shell_or_command_line(url, i));
        FUZZ_CHECK(url[i] != '%' || is_escape(url, i));
    }
    FUZZ_CHECK(launch_safe_url(url) == url);

    const std::u16string url16 = utf16_from_utf8(url);
    const std::vector<std::u16string> one_argument = {u"x", url16};
    FUZZ_CHECK(split_command_line(u"x \"" + url16 + u"\"") == one_argument);
    FUZZ_CHECK(split_command_line(u"x " + url16) == one_argument);
    // The long-URL launch's own command line for a browser whose command has
    // no place for the URL (with "%1" or %1 it is one of the two lines above).
    FUZZ_CHECK(split_command_line(browser_command_line({u"x", u""}, url16, 32766)) == one_argument);
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

// ---- User templates (pages of the engines file) ----------------------------
// Every placeholder form on a page of its own. For each row the URL keeps the
// template's text up to its first placeholder; the UTF-8 form is exactly the
// keyword's bytes escaped; the GBK and Big5 forms carry bytes that convert
// back to themselves; raw carries the keyword whole; and a keyword the code
// page cannot hold opens nothing and names one of the keyword's characters
// that the code page indeed cannot hold.

constexpr UrlTemplate user_row(std::string_view url) { return {.path = url, .form = UrlForm::User}; }

constexpr CategoryRadio kUserRadios[] = {
    {"utf8", {}, user_row("https://u.example.cn/s?q={keyword}&ie={charset}")},
    {"gbk", {}, user_row("http://u.example.cn/s?q={keyword:gbk,+}&ie={charset}")},
    {"big5", {}, user_row("http://u.example.tw/s?q={q:big5}&ie={charset}")},
    {"raw", {}, user_row("https://u.example.cn/s?q={keyword:raw}")},
    {"alias", {}, user_row("https://u.example.cn/s?q=%s&r={searchTerms:+}")},
};
constexpr Engine kUserPage = {
    .tab_caption = "user", .image = -1, .radios = kUserRadios, .home = user_row("https://u.example.cn/")};

std::string escaped_utf8(std::string_view bytes, bool plus) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            std::string_view("-._~").find(c) != std::string_view::npos) {
            out += c;
        } else if (byte == ' ' && plus) {
            out += '+';
        } else {
            out += '%';
            out += "0123456789ABCDEF"[byte >> 4];
            out += "0123456789ABCDEF"[byte & 0x0F];
        }
    }
    return out;
}

// The escapes undone ("+" as a blank): the bytes an encoded form carried.
std::string unescaped(std::string_view text) {
    std::string out;
    const auto hex = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            FUZZ_CHECK(i + 2 < text.size());
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

std::string utf8_of(char32_t c) {
    std::u16string units;
    if (c < 0x10000) {
        units += static_cast<char16_t>(c);
    } else {
        units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    return utf8_from_utf16(units);
}

void check_launch_safe(const std::string& url) {
    const std::string safe = launch_safe_url(url);
    FUZZ_CHECK(std::none_of(safe.begin(), safe.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == '"' || byte < 0x20 || byte == 0x7F;
    }));
    FUZZ_CHECK(launch_safe_url(safe) == safe);
}

void check_user_templates(const std::string& keyword) {
    const CodePages& code_pages = system_code_pages();
    for (std::size_t r = 0; r < kUserPage.radios.size(); ++r) {
        const std::string_view row = kUserPage.radios[r].url.path;
        PageState state = initial_state(kUserPage);
        radio_clicked(kUserPage, state, r);
        state.keyword = keyword;
        EncoderScratch scratch;
        const std::vector<std::string> urls = page_search(kUserPage, state, scratch);
        if (keyword.empty()) {
            FUZZ_CHECK(urls == std::vector<std::string>{"https://u.example.cn/"});
            continue;
        }
        const KeywordCharset charset =
            r == 1 ? KeywordCharset::Gbk : (r == 2 ? KeywordCharset::Big5 : KeywordCharset::Utf8);
        if (scratch.unencodable) {
            FUZZ_CHECK(urls.empty());
            FUZZ_CHECK(charset != KeywordCharset::Utf8 && scratch.unencodable->charset == charset);
            const std::string character = utf8_of(scratch.unencodable->character);
            FUZZ_CHECK(has(keyword, character));
            FUZZ_CHECK(code_pages.encode(character, charset).unencodable);
            continue;
        }
        FUZZ_CHECK(urls.size() == 1);
        const std::string& url = urls[0];
        const std::string_view prefix = row.substr(0, std::min(row.find('{'), row.find("%s")));
        FUZZ_CHECK(url.starts_with(prefix));
        check_launch_safe(url);
        switch (r) {
        case 0:
            FUZZ_CHECK(url == std::string(prefix) + escaped_utf8(keyword, false) + "&ie=utf-8");
            break;
        case 1:
        case 2: {
            const std::string_view tail = r == 1 ? "&ie=gbk" : "&ie=big5";
            FUZZ_CHECK(url.ends_with(tail));
            const std::string bytes =
                unescaped(std::string_view(url).substr(prefix.size(), url.size() - prefix.size() - tail.size()));
            const CodePageBytes again = code_pages.encode(keyword, charset);
            FUZZ_CHECK(!again.unencodable && again.bytes == bytes);
            break;
        }
        case 3:
            // As the built-in raw rows: decodes back to exactly what was typed.
            FUZZ_CHECK(url == std::string(prefix) + raw_keyword_in_url(keyword));
            FUZZ_CHECK(percent_decoded(url.substr(prefix.size())) == keyword);
            break;
        default:
            FUZZ_CHECK(url == std::string(prefix) + escaped_utf8(keyword, false) + "&r=" + escaped_utf8(keyword, true));
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));

    const std::string keyword = utf8_from_utf16(units);
    FUZZ_CHECK(utf16_from_utf8(keyword) == with_lone_surrogates_replaced(units));

    for (const Engine* engine : all_engines()) check_engine(*engine, keyword);
    check_user_templates(keyword);
    return 0;
}
