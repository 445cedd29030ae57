#include "text/suggestions.h"

#include "text/text.h"

namespace velvane {
namespace {

// Deep nesting is no part of a suggestion answer; it would only cost stack.
constexpr int kMaxDepth = 32;

// A strict reader of the one JSON shape we take. Every function returns
// false as soon as the text is not JSON, and the whole answer is dropped.
class AnswerReader {
public:
    explicit AnswerReader(std::string_view text) : text_(text) {}

    bool read(std::vector<std::string>& out) {
        skip_blanks();
        if (!take('[')) return false;
        skip_blanks();
        std::string query;
        bool clean = true;
        if (!string(query, clean)) return false;  // the text that was asked for
        skip_blanks();
        if (!take(',')) return false;
        skip_blanks();
        if (!take('[')) return false;
        skip_blanks();
        if (!take(']')) {
            while (true) {
                skip_blanks();
                if (peek() == '"') {
                    std::string entry;
                    clean = true;
                    if (!string(entry, clean)) return false;
                    if (clean && out.size() < kMaxSuggestions && usable(entry)) out.push_back(std::move(entry));
                } else if (!value(1)) {
                    return false;
                }
                skip_blanks();
                if (take(']')) break;
                if (!take(',')) return false;
            }
        }
        // Descriptions and addresses may follow; they must still be JSON.
        skip_blanks();
        while (take(',')) {
            skip_blanks();
            if (!value(1)) return false;
            skip_blanks();
        }
        if (!take(']')) return false;
        skip_blanks();
        return at_ == text_.size();
    }

private:
    char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }

    bool take(char c) {
        if (peek() != c || at_ >= text_.size()) return false;
        ++at_;
        return true;
    }

    bool take_word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    void skip_blanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }

    static bool usable(std::string_view entry) {
        for (const char c : entry)
            if (c != ' ' && c != '\t') return true;
        return false;
    }

    bool value(int depth) {
        if (depth > kMaxDepth) return false;
        switch (peek()) {
        case '"': {
            std::string ignored;
            bool clean = true;
            return string(ignored, clean);
        }
        case '[':
        case '{':
            return container(depth);
        case 't':
            return take_word("true");
        case 'f':
            return take_word("false");
        case 'n':
            return take_word("null");
        default:
            return number();
        }
    }

    bool container(int depth) {
        const char close = peek() == '[' ? ']' : '}';
        const bool object = close == '}';
        ++at_;
        skip_blanks();
        if (take(close)) return true;
        while (true) {
            skip_blanks();
            if (object) {
                std::string key;
                bool clean = true;
                if (peek() != '"' || !string(key, clean)) return false;
                skip_blanks();
                if (!take(':')) return false;
                skip_blanks();
            }
            if (!value(depth + 1)) return false;
            skip_blanks();
            if (take(close)) return true;
            if (!take(',')) return false;
        }
    }

    bool digits() {
        const std::size_t begin = at_;
        while (peek() >= '0' && peek() <= '9') ++at_;
        return at_ > begin;
    }

    bool number() {
        take('-');
        if (!take('0') && !digits()) return false;
        if (take('.') && !digits()) return false;
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (!take('+')) take('-');
            if (!digits()) return false;
        }
        return true;
    }

    bool hex4(char32_t& unit) {
        if (text_.size() - at_ < 4) return false;
        unit = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text_[at_++];
            unit <<= 4;
            if (c >= '0' && c <= '9')
                unit |= static_cast<char32_t>(c - '0');
            else if (ascii_lower(c) >= 'a' && ascii_lower(c) <= 'f')
                unit |= static_cast<char32_t>(ascii_lower(c) - 'a' + 10);
            else
                return false;
        }
        return true;
    }

    // One UTF-8 character of the text, copied; false when the bytes are not
    // one. A U+FFFD is what a code page decoder leaves for a byte it could
    // not read: the entry is not clean either way.
    bool copy_character(std::string& out, bool& clean) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text_[at_ + k]); };
        const unsigned char lead = b(0);
        std::size_t length = 0;
        char32_t c = 0;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2, c = lead & 0x1F;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, c = lead & 0x0F;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, c = lead & 0x07;
        if (length == 0 || text_.size() - at_ < length) {
            clean = false;
            ++at_;
            return true;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((b(k) & 0xC0) != 0x80) {
                clean = false;
                ++at_;
                return true;
            }
            c = (c << 6) | (b(k) & 0x3F);
        }
        if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFD)
            clean = false;
        out.append(text_.substr(at_, length));
        at_ += length;
        return true;
    }

    bool string(std::string& out, bool& clean) {
        if (!take('"')) return false;
        while (true) {
            if (at_ >= text_.size()) return false;  // truncated
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) return false;  // JSON escapes these
            if (c == 0x7F) clean = false;                            // and may leave this one
            if (static_cast<unsigned char>(c) >= 0x80) {
                copy_character(out, clean);
                continue;
            }
            ++at_;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return false;
            const char escape = text_[at_++];
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += escape;
                break;
            case 'b':
            case 'f':
            case 'n':
            case 'r':
            case 't':
                clean = false;  // a control character has no place in the box
                break;
            case 'u': {
                char32_t unit = 0;
                if (!hex4(unit)) return false;
                if (unit >= 0xD800 && unit <= 0xDBFF && text_.substr(at_, 2) == "\\u") {
                    const std::size_t after_high = at_;
                    at_ += 2;
                    char32_t low = 0;
                    if (!hex4(low)) return false;
                    if (low >= 0xDC00 && low <= 0xDFFF) {
                        append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                        break;
                    }
                    at_ = after_high;  // the next escape is read on its own
                }
                if ((unit >= 0xD800 && unit <= 0xDFFF) || unit < 0x20 || unit == 0x7F || unit == 0xFFFD)
                    clean = false;
                else
                    append_utf8(out, unit);
                break;
            }
            default:
                return false;
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<KeywordCharset> suggestion_charset(std::string_view content_type) {
    std::size_t semicolon = content_type.find(';');
    while (semicolon != std::string_view::npos) {
        content_type.remove_prefix(semicolon + 1);
        semicolon = content_type.find(';');
        const std::string_view parameter = content_type.substr(0, semicolon);
        const std::size_t equals = parameter.find('=');
        if (equals == std::string_view::npos || ascii_lower(trimmed(parameter.substr(0, equals))) != "charset")
            continue;
        std::string_view value = trimmed(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        const std::string name = ascii_lower(value);
        if (name == "utf-8" || name == "utf8") return KeywordCharset::Utf8;
        if (name == "gbk" || name == "gb2312" || name == "gb18030" || name == "x-gbk" || name == "cp936" ||
            name == "windows-936" || name == "euc-cn")
            return KeywordCharset::Gbk;
        if (name == "big5" || name == "big5-hkscs" || name == "x-big5" || name == "cp950" || name == "windows-950")
            return KeywordCharset::Big5;
        return std::nullopt;
    }
    return KeywordCharset::Utf8;
}

std::vector<std::string> read_suggestions(std::string_view body, std::string_view content_type,
                                          const CodePages& code_pages) {
    if (body.size() > kSuggestionAnswerMaxBytes) return {};
    const std::optional<KeywordCharset> charset = suggestion_charset(content_type);
    if (!charset) return {};
    std::string decoded = code_pages.decode(body, *charset);
    std::string_view text = decoded;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string> out;
    if (!AnswerReader(text).read(out)) return {};
    return out;
}

}  // namespace velvane
