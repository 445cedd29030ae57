// Recent searches: the keywords the user searched, newest first, kept in a
// UTF-8 file beside the program while the user has history turned on; and
// the list under the keyword box that shows them before the suggestions.
//
// The file is one keyword a line, newest first, UTF-8 with a byte order mark
// and CRLF line breaks (so that Notepad shows it as it is). Reading forgives
// a damaged or hand-edited file: lines that are not text the box could hold
// are left out, and what remains keeps the list's rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velvane {

inline constexpr std::string_view kHistoryFileName = "History.txt";

inline constexpr std::size_t kMaxHistory = 100;
// A keyword longer than this is searched but not kept: nobody picks a page
// of text from a list again.
inline constexpr std::size_t kMaxHistoryKeywordBytes = 2048;
// Bytes read of the file; a file beyond it (not one Velvane wrote) is read
// up to its last whole line within.
inline constexpr std::size_t kHistoryFileMaxBytes = 256 * 1024;
// History entries shown under text typed in the box; an empty box shows all.
inline constexpr std::size_t kMaxHistoryShown = 10;

class SearchHistory {
public:
    // Newest first, no two the same, at most kMaxHistory.
    const std::vector<std::string>& entries() const { return entries_; }

    // A search with this keyword (UTF-8, as typed): it goes to the top, and
    // where it was already kept it moves there; the oldest beyond
    // kMaxHistory goes. False, and nothing changes, for a keyword that is not
    // kept: empty or only blanks (the page's home opened), one that holds a
    // line break or another control character, is not valid UTF-8, or is
    // longer than kMaxHistoryKeywordBytes.
    [[nodiscard]] bool add(std::string_view keyword);

    void clear() { entries_.clear(); }

    // The entries for what is typed in the box, newest first: all of them for
    // an empty box; otherwise at most kMaxHistoryShown that begin with the
    // text, or, when the text holds a character beyond ASCII (Chinese is
    // typed without spaces, and a word is often in the middle), that contain
    // it. ASCII letters match either case.
    std::vector<std::string> matching(std::string_view typed) const;

    friend bool operator==(const SearchHistory&, const SearchHistory&) = default;

private:
    std::vector<std::string> entries_;
};

// Whether a keyword would be kept by SearchHistory::add.
bool keepable_keyword(std::string_view keyword);

// The history a file holds (its bytes, or the first kHistoryFileMaxBytes + 1
// of them). UTF-8 with or without a byte order mark; UTF-16 with one, as
// Notepad may save it. Never fails: unusable lines are left out.
SearchHistory read_history(std::string_view file_bytes);

// The file's whole content for this history.
std::string history_file_bytes(const SearchHistory& history);

// One row of the list under the keyword box.
struct KeywordListEntry {
    std::string text;
    bool recent = false;  // a recent search, drawn as one; otherwise a suggestion
    friend bool operator==(const KeywordListEntry&, const KeywordListEntry&) = default;
};

// Recent searches first, then suggestions, each text once (a suggestion that
// is also a recent search shows as the recent search).
std::vector<KeywordListEntry> keyword_list(const std::vector<std::string>& recent,
                                           const std::vector<std::string>& suggestions);

}  // namespace velvane
