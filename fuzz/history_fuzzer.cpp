// The recent searches' file on any bytes. Reading it must
//   - not crash, and give the same history when read again;
//   - keep the list's rules: at most kMaxHistory entries, none twice, each
//     one a keyword the history would keep;
//   - give a history whose file reads back as the same history;
// and the rules must hold after a search with a keyword taken from the bytes
// (their first line), and for what the list shows for it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "check.h"
#include "text/search_history.h"

namespace {

using namespace velvane;

void check_rules(const SearchHistory& history) {
    const auto& entries = history.entries();
    FUZZ_CHECK(entries.size() <= kMaxHistory);
    FUZZ_CHECK(std::set<std::string>(entries.begin(), entries.end()).size() == entries.size());
    for (const std::string& entry : entries) FUZZ_CHECK(keepable_keyword(entry));
    FUZZ_CHECK(read_history(history_file_bytes(history)) == history);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SearchHistory history = read_history(bytes);
    FUZZ_CHECK(read_history(bytes) == history);
    check_rules(history);

    const std::string_view keyword = bytes.substr(0, std::min(bytes.find_first_of("\r\n"), bytes.size()));
    const std::size_t before = history.entries().size();
    if (history.add(keyword)) {
        FUZZ_CHECK(history.entries().front() == keyword);
        FUZZ_CHECK(history.entries().size() <= std::min(before + 1, kMaxHistory));
    } else {
        FUZZ_CHECK(history.entries().size() == before);
    }
    check_rules(history);

    const std::vector<std::string> shown = history.matching(keyword);
    FUZZ_CHECK(keyword.empty() ? shown == history.entries() : shown.size() <= kMaxHistoryShown);
    for (const std::string& entry : shown)
        FUZZ_CHECK(std::find(history.entries().begin(), history.entries().end(), entry) != history.entries().end());
    const std::vector<KeywordListEntry> list = keyword_list(shown, {std::string(keyword)});
    FUZZ_CHECK(list.size() <= shown.size() + 1);
    return 0;
}
