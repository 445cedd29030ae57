// Recent searches: the list's rules, its file, and the list under the box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/search_history.h"

namespace velvane {
namespace {

using List = std::vector<std::string>;

SearchHistory history_of(const List& oldest_first) {
    SearchHistory history;
    for (const std::string& keyword : oldest_first) EXPECT_TRUE(history.add(keyword)) << keyword;
    return history;
}

TEST(SearchHistory, NewestFirstWithoutRepeats) {
    SearchHistory history = history_of({"a", "b", "c"});
    EXPECT_EQ(history.entries(), (List{"c", "b", "a"}));
    EXPECT_TRUE(history.add("a"));  // searched again: to the top, the rest in order
    EXPECT_EQ(history.entries(), (List{"a", "c", "b"}));
    EXPECT_TRUE(history.add("A"));  // another text
    EXPECT_EQ(history.entries(), (List{"A", "a", "c", "b"}));
    EXPECT_TRUE(history.add(" a "));  // kept as typed
    EXPECT_EQ(history.entries().front(), " a ");
}

TEST(SearchHistory, KeepsWhatTheBoxCanHoldAgain) {
    struct Case {
        const char* what;
        std::string keyword;
        bool kept;
    } const cases[] = {
        {"empty: the page's home opened", "", false},
        {"only blanks", "   ", false},
        {"Chinese", "中文 搜索", true},
        {"emoji", "\xF0\x9F\x98\x80", true},
        {"line break", "a\r\nb", false},
        {"tab", "a\tb", false},
        {"not UTF-8", "\xD6\xD0", false},
        {"longest kept", std::string(kMaxHistoryKeywordBytes, 'x'), true},
        {"too long", std::string(kMaxHistoryKeywordBytes + 1, 'x'), false},
    };
    for (const Case& c : cases) {
        SearchHistory history = history_of({"before"});
        EXPECT_EQ(history.add(c.keyword), c.kept) << c.what;
        EXPECT_EQ(history.entries().size(), c.kept ? 2u : 1u) << c.what;
    }
}

TEST(SearchHistory, KeepsTheNewestHundred) {
    SearchHistory history;
    for (int i = 0; i < 150; ++i) EXPECT_TRUE(history.add(std::to_string(i)));
    ASSERT_EQ(history.entries().size(), kMaxHistory);
    EXPECT_EQ(history.entries().front(), "149");
    EXPECT_EQ(history.entries().back(), "50");
    EXPECT_TRUE(history.add("60"));  // a repeat at the cap moves, nothing else goes
    EXPECT_EQ(history.entries().size(), kMaxHistory);
    EXPECT_EQ(history.entries().front(), "60");
    EXPECT_EQ(history.entries().back(), "50");
}

TEST(SearchHistory, MatchingWhatIsTyped) {
    const SearchHistory history = history_of({"Windows 7", "win32 api", "中文输入法", "输入法", "github", "维基百科"});
    struct Case {
        const char* what;
        std::string typed;
        List expected;
    } const cases[] = {
        {"empty box: all, newest first", "", {"维基百科", "github", "输入法", "中文输入法", "win32 api", "Windows 7"}},
        {"ASCII: begins with, either case", "WIN", {"win32 api", "Windows 7"}},
        {"ASCII is not looked for inside", "api", {}},
        {"Chinese: contained", "输入", {"输入法", "中文输入法"}},
        {"Chinese at the start too", "维基", {"维基百科"}},
        {"no match", "xyz", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(history.matching(c.typed), c.expected) << c.what;

    SearchHistory many;
    for (int i = 0; i < 30; ++i) EXPECT_TRUE(many.add(std::string("k").append(std::to_string(i))));
    EXPECT_EQ(many.matching("k").size(), kMaxHistoryShown);
    EXPECT_EQ(many.matching("k").front(), "k29");
    EXPECT_EQ(many.matching("").size(), 30u);
}

TEST(HistoryFile, RoundTrip) {
    const SearchHistory history = history_of({"oldest", "中文", "a b", "\xF0\x9F\x98\x80", "newest"});
    const std::string bytes = history_file_bytes(history);
    EXPECT_EQ(bytes, "\xEF\xBB\xBFnewest\r\n\xF0\x9F\x98\x80\r\na b\r\n中文\r\noldest\r\n");
    EXPECT_EQ(read_history(bytes), history);
    EXPECT_EQ(history_file_bytes(SearchHistory()), "\xEF\xBB\xBF");
    EXPECT_TRUE(read_history("").entries().empty());
}

TEST(HistoryFile, ADamagedOrHandEditedFile) {
    struct Case {
        const char* what;
        std::string bytes;
        List expected;
    } const cases[] = {
        {"no byte order mark, LF and lone CR", "a\nb\rc", {"a", "b", "c"}},
        {"repeats: the first (newest) place counts", "a\r\nb\r\na\r\n", {"a", "b"}},
        {"blank lines and blanks-only lines skipped", "\r\n  \r\na\r\n\r\n", {"a"}},
        {"bytes that are not UTF-8 skip their line", "\xEF\xBB\xBF\xD6\xD0\r\nok\r\n\xFF\xFE\xFD\r\n", {"ok"}},
        {"control characters skip their line", "a\x01\r\nb\tc\r\nd\r\n", {"d"}},
        {"NUL bytes", std::string("a\0b\r\nc\r\n", 8), {"c"}},
        {"UTF-16 LE as Notepad saves it",
         std::string("\xFF\xFE"
                     "a\0\r\0\n\0-N\r\0\n\0",
                     14),
         {"a", "中"}},
        {"UTF-16 BE", std::string("\xFE\xFF\0a\0\r\0\n\0b", 10), {"a", "b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(read_history(c.bytes).entries(), c.expected) << c.what;

    // More lines than are kept: the first hundred, in the file's order.
    std::string many;
    for (int i = 0; i < 150; ++i) many += std::to_string(i) + "\r\n";
    const SearchHistory read = read_history(many);
    ASSERT_EQ(read.entries().size(), kMaxHistory);
    EXPECT_EQ(read.entries().front(), "0");
    EXPECT_EQ(read.entries().back(), "99");

    // A file beyond what is read: its last, cut line is not taken.
    std::string big(kHistoryFileMaxBytes - 3, 'x');
    big += "\r\nabcdef\r\n";
    EXPECT_EQ(read_history(big).entries(), List{});  // the long line is too long to keep, "ab" is cut
    std::string cut = "first\r\n" + std::string(kHistoryFileMaxBytes, 'y');
    EXPECT_EQ(read_history(cut).entries(), List{"first"});
}

TEST(KeywordList, RecentFirstThenSuggestionsEachOnce) {
    const std::vector<KeywordListEntry> list = keyword_list({"中文", "中国"}, {"中文", "中文翻译", "中国", "中文翻译"});
    const std::vector<KeywordListEntry> expected = {{"中文", true}, {"中国", true}, {"中文翻译", false}};
    EXPECT_EQ(list, expected);
    EXPECT_TRUE(keyword_list({}, {}).empty());
}

}  // namespace
}  // namespace velvane
