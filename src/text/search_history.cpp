#include "text/search_history.h"

#include <algorithm>

#include "text/text.h"

namespace velvane {
namespace {

bool contains_ascii_fold(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
        if (same_ignoring_ascii_case(text.substr(at, part.size()), part)) return true;
    return false;
}

bool valid_utf8(std::string_view text) { return utf8_from_utf16(utf16_from_utf8(text)) == text; }

}  // namespace

bool keepable_keyword(std::string_view keyword) {
    if (keyword.empty() || keyword.size() > kMaxHistoryKeywordBytes) return false;
    bool blank = true;
    for (const char c : keyword) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
        if (c != ' ') blank = false;
    }
    return !blank && valid_utf8(keyword);
}

bool SearchHistory::add(std::string_view keyword) {
    if (!keepable_keyword(keyword)) return false;
    const auto kept = std::find(entries_.begin(), entries_.end(), keyword);
    if (kept != entries_.end()) {
        std::rotate(entries_.begin(), kept, kept + 1);  // to the top, the others keep their order
        return true;
    }
    if (entries_.size() == kMaxHistory) entries_.pop_back();
    entries_.insert(entries_.begin(), std::string(keyword));
    return true;
}

std::vector<std::string> SearchHistory::matching(std::string_view typed) const {
    if (typed.empty()) return entries_;
    const bool beyond_ascii =
        std::any_of(typed.begin(), typed.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    std::vector<std::string> out;
    for (const std::string& entry : entries_) {
        if (out.size() == kMaxHistoryShown) break;
        const bool match = beyond_ascii ? contains_ascii_fold(entry, typed)
                                        : entry.size() >= typed.size() &&
                                              same_ignoring_ascii_case(entry.substr(0, typed.size()), typed);
        if (match) out.push_back(entry);
    }
    return out;
}

SearchHistory read_history(std::string_view file_bytes) {
    // A file larger than we read ends in a line we only have part of.
    if (file_bytes.size() > kHistoryFileMaxBytes) {
        file_bytes = file_bytes.substr(0, kHistoryFileMaxBytes);
        const std::size_t last_break = file_bytes.find_last_of("\r\n");
        file_bytes = file_bytes.substr(0, last_break == std::string_view::npos ? 0 : last_break);
    }
    std::string text;
    if (file_bytes.starts_with("\xFF\xFE") || file_bytes.starts_with("\xFE\xFF")) {
        const bool big_endian = file_bytes[0] == '\xFE';
        std::u16string units;
        for (std::size_t i = 2; i + 1 < file_bytes.size(); i += 2) {
            const auto first = static_cast<unsigned char>(file_bytes[i]);
            const auto second = static_cast<unsigned char>(file_bytes[i + 1]);
            units += static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
        }
        text = utf8_from_utf16(units);
    } else {
        text = file_bytes.starts_with("\xEF\xBB\xBF") ? file_bytes.substr(3) : file_bytes;
    }

    // The first copy of a line is its newest place; the kept lines go in
    // oldest first so that each new one lands on top.
    std::vector<std::string_view> kept;
    for (std::string_view rest = text; !rest.empty() && kept.size() < kMaxHistory;) {
        const std::size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end);
        rest.remove_prefix(rest.starts_with("\r\n") ? 2 : std::min<std::size_t>(rest.size(), 1));
        if (keepable_keyword(line) && std::find(kept.begin(), kept.end(), line) == kept.end()) kept.push_back(line);
    }
    SearchHistory history;
    // Every line here passed keepable_keyword, so each add keeps it.
    for (auto line = kept.rbegin(); line != kept.rend(); ++line) static_cast<void>(history.add(*line));
    return history;
}

std::string history_file_bytes(const SearchHistory& history) {
    std::string out = "\xEF\xBB\xBF";
    for (const std::string& entry : history.entries()) {
        out += entry;
        out += "\r\n";
    }
    return out;
}

std::vector<KeywordListEntry> keyword_list(const std::vector<std::string>& recent,
                                           const std::vector<std::string>& suggestions) {
    std::vector<KeywordListEntry> out;
    out.reserve(recent.size() + suggestions.size());
    const auto listed = [&](std::string_view text) {
        return std::any_of(out.begin(), out.end(), [&](const KeywordListEntry& entry) { return entry.text == text; });
    };
    for (const std::string& text : recent)
        if (!listed(text)) out.push_back({text, true});
    for (const std::string& text : suggestions)
        if (!listed(text)) out.push_back({text, false});
    return out;
}

}  // namespace velvane
