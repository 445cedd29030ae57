#include "text/user_template.h"

#include <vector>

#include "text/encoder.h"
#include "text/text.h"

namespace velvane {
namespace {

struct KeywordForm {
    std::optional<KeywordCharset> charset;  // unset: raw, or {keyword} with no code page named
    bool raw = false;
    bool plus = false;
};

struct Piece {
    enum class Kind : unsigned char { Literal, Keyword, Charset } kind;
    std::string_view literal;
    KeywordForm form;
};

struct ParsedTemplate {
    std::vector<Piece> pieces;
    KeywordCharset charset = KeywordCharset::Utf8;
    std::optional<TemplateProblem> problem;
};

// The scheme and host end where the path, query or fragment begins.
std::optional<std::size_t> after_scheme(std::string_view url) {
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
        if (url.size() >= scheme.size() && same_ignoring_ascii_case(url.substr(0, scheme.size()), scheme))
            return scheme.size();
    return std::nullopt;
}

bool keyword_name(std::string_view name) {
    return same_ignoring_ascii_case(name, "keyword") || same_ignoring_ascii_case(name, "q") ||
           same_ignoring_ascii_case(name, "query") || same_ignoring_ascii_case(name, "searchterms");
}

// The inside of a keyword placeholder's options ("gbk,+"); false when an
// option is unknown or two of them contradict each other.
bool read_options(std::string_view options, KeywordForm& form, bool& conflict) {
    conflict = false;
    while (true) {
        const auto comma = options.find(',');
        const std::string_view option = trimmed(options.substr(0, comma));
        std::optional<KeywordCharset> charset;
        if (option == "+") {
            form.plus = true;
        } else if (same_ignoring_ascii_case(option, "raw")) {
            if (form.charset) conflict = true;
            form.raw = true;
        } else if (same_ignoring_ascii_case(option, "gbk")) {
            charset = KeywordCharset::Gbk;
        } else if (same_ignoring_ascii_case(option, "big5")) {
            charset = KeywordCharset::Big5;
        } else if (same_ignoring_ascii_case(option, "utf-8") || same_ignoring_ascii_case(option, "utf8")) {
            charset = KeywordCharset::Utf8;
        } else {
            return false;
        }
        if (charset) {
            if (form.raw || (form.charset && *form.charset != *charset)) conflict = true;
            form.charset = charset;
        }
        if (comma == std::string_view::npos) return true;
        options.remove_prefix(comma + 1);
    }
}

ParsedTemplate parse(std::string_view url) {
    ParsedTemplate parsed;
    const auto fail = [&](TemplateFault fault, std::string_view detail) {
        parsed.problem = TemplateProblem{fault, shortened(detail)};
        parsed.pieces.clear();
        return parsed;
    };
    const auto host_begin = after_scheme(url);
    if (!host_begin) return fail(TemplateFault::NotHttp, url);
    const std::size_t host_end = std::min(url.find_first_of("/?#", *host_begin), url.size());
    const std::string_view host = url.substr(*host_begin, host_end - *host_begin);
    if (host.empty() || host.find('{') != std::string_view::npos || host.find("%s") != std::string_view::npos)
        return fail(TemplateFault::NotHttp, url);

    std::optional<KeywordCharset> charset;
    std::size_t literal_begin = 0;
    std::size_t i = 0;
    while (i < url.size()) {
        std::optional<Piece> placeholder;
        std::size_t end = i;
        if (url[i] == '%' && i + 1 < url.size() && url[i + 1] == 's') {
            placeholder = Piece{Piece::Kind::Keyword, {}, {}};
            end = i + 2;
        } else if (url[i] == '{') {
            const auto close = url.find('}', i);
            if (close == std::string_view::npos) return fail(TemplateFault::UnknownPlaceholder, url.substr(i));
            end = close + 1;
            const std::string_view written = url.substr(i, end - i);
            const std::string_view inside = url.substr(i + 1, close - i - 1);
            const auto colon = inside.find(':');
            const std::string_view name = trimmed(inside.substr(0, colon));
            if (keyword_name(name)) {
                KeywordForm form;
                bool conflict = false;
                if (colon != std::string_view::npos && !read_options(inside.substr(colon + 1), form, conflict))
                    return fail(TemplateFault::UnknownPlaceholder, written);
                if (conflict) return fail(TemplateFault::MixedCharsets, written);
                placeholder = Piece{Piece::Kind::Keyword, {}, form};
            } else if (same_ignoring_ascii_case(name, "charset") && colon == std::string_view::npos) {
                placeholder = Piece{Piece::Kind::Charset, {}, {}};
            } else {
                return fail(TemplateFault::UnknownPlaceholder, written);
            }
        }
        if (!placeholder) {
            ++i;
            continue;
        }
        if (placeholder->kind == Piece::Kind::Keyword && !placeholder->form.raw) {
            const KeywordCharset here = placeholder->form.charset.value_or(KeywordCharset::Utf8);
            if (charset && *charset != here) return fail(TemplateFault::MixedCharsets, url.substr(i, end - i));
            charset = here;
            placeholder->form.charset = here;
        }
        if (literal_begin < i)
            parsed.pieces.push_back({Piece::Kind::Literal, url.substr(literal_begin, i - literal_begin), {}});
        parsed.pieces.push_back(*placeholder);
        i = literal_begin = end;
    }
    if (literal_begin < url.size()) parsed.pieces.push_back({Piece::Kind::Literal, url.substr(literal_begin), {}});
    parsed.charset = charset.value_or(KeywordCharset::Utf8);
    return parsed;
}

bool unreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

void append_escaped(std::string& out, std::string_view bytes, bool plus) {
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (unreserved(byte)) {
            out += c;
        } else if (byte == ' ' && plus) {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
}

}  // namespace

std::string_view charset_name(KeywordCharset charset) {
    switch (charset) {
    case KeywordCharset::Gbk:
        return "gbk";
    case KeywordCharset::Big5:
        return "big5";
    case KeywordCharset::Utf8:
        break;
    }
    return "utf-8";
}

std::optional<TemplateProblem> check_user_template(std::string_view url_template) {
    return parse(url_template).problem;
}

ExpandedUrl expand_user_template(std::string_view url_template, std::string_view keyword, const CodePages& code_pages) {
    const ParsedTemplate parsed = parse(url_template);
    ExpandedUrl result;
    if (parsed.problem) return result;

    std::optional<std::string> bytes;  // the keyword in the template's code page, made once
    for (const Piece& piece : parsed.pieces) {
        if (piece.kind != Piece::Kind::Keyword || piece.form.raw || bytes) continue;
        CodePageBytes converted = code_pages.encode(keyword, parsed.charset);
        if (converted.unencodable) {
            result.unencodable = Unencodable{*converted.unencodable, parsed.charset};
            return result;
        }
        bytes = std::move(converted.bytes);
    }

    for (const Piece& piece : parsed.pieces) {
        switch (piece.kind) {
        case Piece::Kind::Literal:
            result.url += piece.literal;
            break;
        case Piece::Kind::Charset:
            result.url += charset_name(parsed.charset);
            break;
        case Piece::Kind::Keyword:
            if (piece.form.raw)
                result.url += raw_keyword_in_url(keyword, piece.form.plus);  // as the built-in raw rows
            else
                append_escaped(result.url, *bytes, piece.form.plus);
            break;
        }
    }
    return result;
}

std::string unencodable_message(const Unencodable& unencodable) {
    std::string out = "关键词里的";
    const char32_t c = unencodable.character;
    if (c >= 0x20 && c != 0x7F && c != 0xFFFD && !(c >= 0x80 && c < 0xA0)) {
        out += "“";
        append_utf8(out, c);
        out += "”";
    }
    // The code point as U+ and at least four upper-case hexadecimal digits.
    out += "（U+";
    int digits = 4;
    while (digits < 8 && (c >> (4 * digits)) != 0) ++digits;
    for (int i = digits - 1; i >= 0; --i) out += "0123456789ABCDEF"[(c >> (4 * i)) & 0xF];
    out += "）无法用 ";
    switch (unencodable.charset) {
    case KeywordCharset::Gbk:
        out += "GBK";
        break;
    case KeywordCharset::Big5:
        out += "Big5";
        break;
    case KeywordCharset::Utf8:
        out += "UTF-8";
        break;
    }
    out += " 编码，没有打开网页。";
    return out;
}

}  // namespace velvane
