#include "hotkey/settings_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "text/text.h"

namespace velvane {
namespace {

// The file is parsed in its own code units, never converted: bytes for GBK
// and UTF-8, 16-bit units for UTF-16. Converting would lose what does not
// convert (a stray GBK byte, a lone surrogate), and store must give every
// other line back byte for byte. The bytes of a GBK or UTF-8 file are
// widened one to one into 16-bit units (each stays below 0x100 and narrows
// back exactly), so that one parser reads all three encodings. The only
// non-ASCII text we look for is the three names, so each encoding gets their
// spelling in it.
using Text = std::u16string_view;
using Units = std::u16string;

struct Names {
    Text section;
    std::array<Text, 2> keys;  // "功能键", "键代码"; or one key and an empty one
};

// The show/hide hotkey's section and the selection hotkey's, in one encoding.
struct Spelling {
    Names show_hide;
    Names selection;
};

// A name's bytes widened to units at compile time.
template <std::size_t N>
struct Widened {
    std::array<char16_t, N - 1> units{};
    consteval Widened(const char (&bytes)[N]) {
        for (std::size_t i = 0; i + 1 < N; ++i) units[i] = static_cast<unsigned char>(bytes[i]);
    }
    constexpr operator Text() const { return {units.data(), units.size()}; }
};

constexpr Widened kUtf8Section("快捷键设置");
constexpr Widened kUtf8Selection("划词搜索");
constexpr Widened kUtf8Modifier("功能键");
constexpr Widened kUtf8KeyCode("键代码");

// 快捷键设置 BF EC BD DD BC FC C9 E8 D6 C3, 划词搜索 BB AE B4 CA CB D1 CB F7,
// 功能键 B9 A6 C4 DC BC FC, 键代码 BC FC B4 FA C2 EB.
constexpr Spelling kGbkNames{
    {u"\xBF\xEC\xBD\xDD\xBC\xFC\xC9\xE8\xD6\xC3", {u"\xB9\xA6\xC4\xDC\xBC\xFC", u"\xBC\xFC\xB4\xFA\xC2\xEB"}},
    {u"\xBB\xAE\xB4\xCA\xCB\xD1\xCB\xF7", {u"\xB9\xA6\xC4\xDC\xBC\xFC", u"\xBC\xFC\xB4\xFA\xC2\xEB"}}};
constexpr Spelling kUtf8Names{{kUtf8Section, {kUtf8Modifier, kUtf8KeyCode}},
                              {kUtf8Selection, {kUtf8Modifier, kUtf8KeyCode}}};
constexpr Spelling kUtf16Names{{u"快捷键设置", {u"功能键", u"键代码"}}, {u"划词搜索", {u"功能键", u"键代码"}}};

unsigned unit(char c) { return static_cast<unsigned char>(c); }

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

bool is_break(char16_t c) { return c == u'\n' || c == u'\r'; }

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

unsigned ascii_lower(unsigned u) { return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u; }

// In GBK a byte from 0x81 on leads a two-byte character whose second byte
// can be an ASCII letter or "]"; such a pair is one character, never a
// letter to fold or the end of a section name.
bool is_gbk_lead(char16_t c) { return c >= 0x81; }

bool same_name(Text a, Text b, bool gbk) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (gbk && is_gbk_lead(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

struct Line {
    std::size_t begin;  // first unit of the line
    std::size_t end;    // end of its content, where its line break starts
    std::size_t next;   // first unit after the line break
};

Line line_at(Text text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && !is_break(text[end])) ++end;
    std::size_t next = end;
    if (next < text.size()) {
        next += (text[next] == u'\r' && next + 1 < text.size() && text[next + 1] == u'\n') ? 2 : 1;
    }
    return {pos, end, next};
}

enum class LineKind { Blank, Comment, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::size_t name_begin = 0, name_end = 0;  // section or key name, trimmed
    bool has_equals = false;
    std::size_t value_begin = 0, value_end = 0;  // after "=", trimmed; empty at name_end without "="
};

ParsedLine parse_line(Text text, Line line, bool gbk) {
    auto trim = [&](std::size_t& b, std::size_t& e) {
        while (b < e && is_blank(text[b])) ++b;
        while (e > b && is_blank(text[e - 1])) --e;
    };
    std::size_t b = line.begin, e = line.end;
    trim(b, e);
    ParsedLine p;
    if (b == e) return p;
    if (text[b] == u';') {
        p.kind = LineKind::Comment;
        return p;
    }
    if (text[b] == u'[') {
        std::size_t close = b + 1;
        while (close < e && text[close] != u']') close += (gbk && is_gbk_lead(text[close])) ? 2 : 1;
        if (close < e) {
            p.kind = LineKind::Section;
            p.name_begin = b + 1;
            p.name_end = close;
            trim(p.name_begin, p.name_end);
            return p;
        }
        // No "]": an ordinary line, as the platform's reader takes it.
    }
    p.kind = LineKind::Key;
    std::size_t equals = b;
    while (equals < e && text[equals] != u'=') ++equals;
    p.name_begin = b;
    if (equals < e) {
        p.has_equals = true;
        p.name_end = equals;
        trim(p.name_begin, p.name_end);
        p.value_begin = equals + 1;
        p.value_end = e;
        trim(p.value_begin, p.value_end);
    } else {
        p.name_end = p.value_begin = p.value_end = e;
    }
    return p;
}

Text slice(Text text, std::size_t begin, std::size_t end) { return text.substr(begin, end - begin); }

// What store and load need to know about the first "快捷键设置" section.
struct SectionScan {
    bool found = false;
    std::size_t insert_at = 0;  // after the header or the section's last key line
    std::array<std::optional<ParsedLine>, 2> keys;
};

SectionScan scan(Text text, const Names& names, bool gbk) {
    SectionScan s;
    for (std::size_t pos = 0; pos < text.size();) {
        const Line line = line_at(text, pos);
        pos = line.next;
        const ParsedLine p = parse_line(text, line, gbk);
        if (p.kind == LineKind::Section) {
            if (s.found) break;  // our section ends where the next one starts
            if (same_name(slice(text, p.name_begin, p.name_end), names.section, gbk)) {
                s.found = true;
                s.insert_at = line.next;
            }
        } else if (s.found && p.kind == LineKind::Key) {
            s.insert_at = line.next;
            for (std::size_t k = 0; k < names.keys.size(); ++k) {
                if (!s.keys[k] && !names.keys[k].empty() &&
                    same_name(slice(text, p.name_begin, p.name_end), names.keys[k], gbk)) {
                    s.keys[k] = p;
                }
            }
        }
    }
    return s;
}

// Val()-style decimal conversion, truncated toward zero and saturated to 32
// bits (settings_file.h lists the cases). The value is computed exactly from
// the digits, with no floating point to round "87.9" or "1e9" either way.
std::int32_t settings_number(Text text) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    const std::size_t int_begin = i;
    while (i < n && is_digit(text[i])) ++i;
    const std::size_t int_end = i;
    std::size_t frac_begin = i, frac_end = i;
    if (i < n && text[i] == u'.') {
        frac_begin = ++i;
        while (i < n && is_digit(text[i])) ++i;
        frac_end = i;
    }
    const auto int_digits = slice(text, int_begin, int_end);
    const auto frac_digits = slice(text, frac_begin, frac_end);
    auto nonzero = [](char16_t c) { return c != u'0'; };
    if (std::none_of(int_digits.begin(), int_digits.end(), nonzero) &&
        std::none_of(frac_digits.begin(), frac_digits.end(), nonzero)) {
        return 0;  // no digits at all, or only zeros: no exponent can change that
    }

    // Past a billion places the result is 0 or saturated anyway.
    constexpr std::int64_t kExponentCap = 1'000'000'000;
    std::int64_t exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        bool exponent_negative = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) exponent_negative = text[j++] == u'-';
        while (j < n && is_digit(text[j])) {
            exponent = std::min(exponent * 10 + (text[j] - '0'), kExponentCap);
            ++j;
        }
        if (exponent_negative) exponent = -exponent;
    }

    // The integer part is the digits that stand before the decimal point once
    // the exponent has moved it; past the written digits come zeros.
    auto digit = [&](std::int64_t k) -> std::int64_t {
        const auto at = static_cast<std::size_t>(k);
        if (at < int_digits.size()) return int_digits[at] - '0';
        if (at - int_digits.size() < frac_digits.size()) return frac_digits[at - int_digits.size()] - '0';
        return 0;
    };
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    const std::int64_t places = static_cast<std::int64_t>(int_digits.size()) + exponent;
    std::int64_t value = 0;
    // Ends after the first non-zero digit and ten more at most: by then the
    // value is past the limit.
    for (std::int64_t k = 0; k < places; ++k) {
        value = value * 10 + digit(k);
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::int32_t value_of(Text text, const std::optional<ParsedLine>& key) {
    if (!key) return 0;
    auto value = slice(text, key->value_begin, key->value_end);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return settings_number(value);
}

Hotkey hotkey_of(Text text, const SectionScan& s) { return {value_of(text, s.keys[0]), value_of(text, s.keys[1])}; }

// Whether the file holds nothing but the show/hide section (in one copy or
// more) and blank lines: then deleting it loses nothing else.
bool holds_only_show_hide_section(Text text, const Names& names, bool gbk) {
    bool in_section = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const Line line = line_at(text, pos);
        pos = line.next;
        const ParsedLine p = parse_line(text, line, gbk);
        if (p.kind == LineKind::Section) {
            in_section = same_name(slice(text, p.name_begin, p.name_end), names.section, gbk);
            if (!in_section) return false;
        } else if (p.kind != LineKind::Blank && !in_section) {
            return false;
        }
    }
    return true;
}

// Bytes as units, one each.
Units widen(std::string_view bytes) {
    Units units(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) units[i] = static_cast<unsigned char>(bytes[i]);
    return units;
}

// The file's own line break, taken from its first line; CRLF when it has none.
Units line_break_of(Text text) {
    const Line first = line_at(text, 0);
    if (first.end == first.next) return widen("\r\n");
    return Units(slice(text, first.end, first.next));
}

struct Edit {
    std::size_t at;
    std::size_t erase;
    Units insert;
};

Units store_text(Text text, const Names& names, bool gbk, const std::array<std::optional<std::string>, 2>& values) {
    const SectionScan s = scan(text, names, gbk);
    const Units line_break = line_break_of(text);
    std::vector<Edit> edits;
    Units new_lines;  // keys the section lacks, in the order they are written
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (!values[k]) continue;
        const Units value = widen(*values[k]);
        if (const auto& key = s.keys[k]) {
            if (key->has_equals) {
                edits.push_back({key->value_begin, key->value_end - key->value_begin, value});
            } else {
                edits.push_back({key->name_end, 0, u'=' + value});
            }
        } else {
            new_lines += Units(names.keys[k]) + u'=' + value + line_break;
        }
    }
    std::size_t insert_at = s.insert_at;
    if (!s.found) {
        new_lines = u'[' + Units(names.section) + u']' + line_break + new_lines;
        insert_at = text.size();
    }
    if (!new_lines.empty()) {
        // Only the file's last line can lack a line break; it must not run
        // into what we add.
        if (insert_at > 0 && !is_break(text[insert_at - 1])) new_lines = line_break + new_lines;
        edits.push_back({insert_at, 0, std::move(new_lines)});
    }

    // At most three edits: in place of a library sort, which would weigh
    // kilobytes in the exe, put them in order by swapping (equal places keep
    // the order they were made in).
    for (std::size_t i = 1; i < edits.size(); ++i) {
        for (std::size_t j = i; j > 0 && edits[j].at < edits[j - 1].at; --j) std::swap(edits[j], edits[j - 1]);
    }
    Units out;
    out.reserve(text.size() + 64);
    std::size_t copied = 0;
    for (const Edit& edit : edits) {
        out.append(slice(text, copied, edit.at));
        out += edit.insert;
        copied = edit.at + edit.erase;
    }
    out.append(text.substr(copied));
    return out;
}

enum class Encoding { Gbk, Utf8, Utf16Le, Utf16Be };

struct Layout {
    Encoding encoding;
    std::size_t bom_size;
};

Layout layout_of(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return {Encoding::Utf8, 3};
    if (bytes.starts_with("\xFF\xFE")) return {Encoding::Utf16Le, 2};
    if (bytes.starts_with("\xFE\xFF")) return {Encoding::Utf16Be, 2};
    return {Encoding::Gbk, 0};
}

bool is_utf16(Encoding encoding) { return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be; }

// A file's text after its byte order mark, in units.
struct FileText {
    Encoding encoding;
    Units units;

    bool gbk() const { return encoding == Encoding::Gbk; }
    // Of a set with gbk, utf8 and utf16 members, the one for this file.
    template <class Set>
    const auto& spelling_in(const Set& set) const {
        return gbk() ? set.gbk : encoding == Encoding::Utf8 ? set.utf8 : set.utf16;
    }
};

// An odd last byte of a UTF-16 file is no unit; it is left out here and put
// back at the end by store.
FileText text_of(std::string_view file_bytes) {
    const Layout layout = layout_of(file_bytes);
    const std::string_view body = file_bytes.substr(layout.bom_size);
    if (!is_utf16(layout.encoding)) return {layout.encoding, widen(body)};
    const bool big_endian = layout.encoding == Encoding::Utf16Be;
    Units units(body.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const unsigned first = unit(body[2 * i]), second = unit(body[2 * i + 1]);
        units[i] = static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
    }
    return {layout.encoding, std::move(units)};
}

void append_units(std::string& out, Text units, Encoding encoding) {
    for (const char16_t u : units) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        if (!is_utf16(encoding)) {
            out += low;
        } else {
            out += encoding == Encoding::Utf16Be ? high : low;
            out += encoding == Encoding::Utf16Be ? low : high;
        }
    }
}

// The three names in each encoding a file may have.
struct Spellings {
    Spelling gbk, utf8, utf16;
};
constexpr Spellings kNames{kGbkNames, kUtf8Names, kUtf16Names};

// Calls fn(text, spelling, gbk) with the file's text in its own code units.
template <class Fn>
auto with_text(std::string_view file_bytes, Fn&& fn) {
    const FileText file = text_of(file_bytes);
    return fn(Text(file.units), file.spelling_in(kNames), file.gbk());
}

// One section and its keys, spelled in each encoding a file may have.
struct NameSet {
    Names gbk;
    Names utf8;
    Names utf16;
};

// A section and one key given in UTF-8, with the storage of their GBK,
// UTF-8 and UTF-16 spellings in units.
struct SpelledNames {
    Units section_gbk, key_gbk, section_utf8, key_utf8, section_utf16, key_utf16;

    NameSet names() const {
        return {{section_gbk, {key_gbk, {}}}, {section_utf8, {key_utf8, {}}}, {section_utf16, {key_utf16, {}}}};
    }
};

// Nullopt when a name is empty or GBK cannot hold it (a file in GBK could
// not name it).
std::optional<SpelledNames> spell(std::string_view section, std::string_view key, const CodePages& code_pages) {
    if (section.empty() || key.empty()) return std::nullopt;
    CodePageBytes section_gbk = code_pages.encode(section, KeywordCharset::Gbk);
    CodePageBytes key_gbk = code_pages.encode(key, KeywordCharset::Gbk);
    if (section_gbk.unencodable || key_gbk.unencodable) return std::nullopt;
    return SpelledNames{widen(section_gbk.bytes), widen(key_gbk.bytes), widen(section), widen(key),
                        utf16_from_utf8(section), utf16_from_utf8(key)};
}

// The file with these values stored in the section's keys (a missing value
// leaves its key as it is), every other byte kept.
std::string store_names(std::string_view file_bytes, const NameSet& names,
                        const std::array<std::optional<std::string>, 2>& values) {
    const std::size_t bom_size = layout_of(file_bytes).bom_size;
    const FileText file = text_of(file_bytes);
    std::string out(file_bytes.substr(0, bom_size));
    append_units(out, store_text(file.units, file.spelling_in(names), file.gbk(), values), file.encoding);
    if (is_utf16(file.encoding) && (file_bytes.size() - bom_size) % 2 != 0) out += file_bytes.back();
    return out;
}

}  // namespace

Hotkey load_settings(std::optional<std::string_view> file_bytes) {
    if (!file_bytes) return kDefaultHotkey;
    return with_text(*file_bytes, [](auto text, const auto& names, bool gbk) {
        const SectionScan show_hide = scan(text, names.show_hide, gbk);
        if (!show_hide.found && scan(text, names.selection, gbk).found) return kDefaultHotkey;
        return hotkey_of(text, show_hide);
    });
}

std::optional<Hotkey> load_selection_settings(std::optional<std::string_view> file_bytes) {
    if (!file_bytes) return std::nullopt;
    return with_text(*file_bytes, [](auto text, const auto& names, bool gbk) -> std::optional<Hotkey> {
        const SectionScan selection = scan(text, names.selection, gbk);
        if (!selection.found) return std::nullopt;
        const Hotkey hotkey = hotkey_of(text, selection);
        if (hotkey.key_code == 0) return std::nullopt;
        return hotkey;
    });
}

std::optional<std::string> reset_settings(std::string_view file_bytes) {
    const bool only_show_hide = with_text(file_bytes, [](auto text, const auto& names, bool gbk) {
        return holds_only_show_hide_section(text, names.show_hide, gbk);
    });
    if (only_show_hide) return std::nullopt;
    return store_settings(file_bytes, kModifierChoiceAtOpening, kKeyChoiceAtOpening);
}

std::optional<std::string> store_settings(std::string_view file_bytes, int modifier_index, int key_index) {
    std::array<std::optional<std::string>, 2> values;
    if (modifier_index >= 0 && modifier_index < static_cast<int>(kModifierChoices.size())) {
        values[0] = std::string(kModifierChoices[static_cast<std::size_t>(modifier_index)].stored);
    }
    if (key_index >= 0 && key_index < static_cast<int>(kKeyChoices.size())) {
        values[1] = std::to_string(kKeyChoices[static_cast<std::size_t>(key_index)].code);
    }
    if (!values[0] && !values[1]) return std::nullopt;

    return store_names(file_bytes, {kGbkNames.show_hide, kUtf8Names.show_hide, kUtf16Names.show_hide}, values);
}

std::optional<std::int32_t> load_setting(std::optional<std::string_view> file_bytes, std::string_view section,
                                         std::string_view key, const CodePages& code_pages) {
    if (!file_bytes) return std::nullopt;
    const std::optional<SpelledNames> spelled = spell(section, key, code_pages);
    if (!spelled) return std::nullopt;
    const FileText file = text_of(*file_bytes);
    const SectionScan s = scan(file.units, file.spelling_in(spelled->names()), file.gbk());
    if (!s.keys[0]) return std::nullopt;
    return value_of(file.units, s.keys[0]);
}

std::optional<std::string> store_setting(std::optional<std::string_view> file_bytes, std::string_view section,
                                         std::string_view key, std::string_view value, const CodePages& code_pages) {
    const std::optional<SpelledNames> spelled = spell(section, key, code_pages);
    if (!spelled) return std::nullopt;
    std::string content(file_bytes.value_or(std::string_view()));
    // A file without "快捷键设置" has Alt+W only while there is no file or
    // while it holds the selection hotkey's section; once Velvane has written
    // a section of its own into it, the file must still say Alt+W, to this
    // version and to any other that reads it.
    const bool has_show_hide = with_text(
        content, [](auto text, const auto& names, bool gbk) { return scan(text, names.show_hide, gbk).found; });
    if (!has_show_hide && load_settings(file_bytes) == kDefaultHotkey) {
        if (auto with_hotkey = store_settings(content, kModifierChoiceAtOpening, kKeyChoiceAtOpening))
            content = std::move(*with_hotkey);
    }
    return store_names(content, spelled->names(), {std::string(value), std::nullopt});
}

}  // namespace velvane
