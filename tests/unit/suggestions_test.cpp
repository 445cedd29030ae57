// The suggestion answer: what the reader takes from a server's reply, and
// what it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "engines/user_pages.h"
#include "text/suggestions.h"

namespace velvane {
namespace {

using List = std::vector<std::string>;

struct AnswerCase {
    const char* what;
    std::string content_type;
    std::string body;
    List expected;
};

// 中文 in GBK is D6 D0 CE C4, in Big5 A4 A4 A4 E5; 中文翻译 in GBK adds B7 AD D2 EB.
// "乗" in GBK is 81 5C and "許" in Big5 B3 5C: their second byte is a
// backslash, so the body must be decoded before it is parsed.
TEST(ReadSuggestions, Table) {
    const std::string ten = R"(["a",["1","2","3","4","5","6","7","8","9","10","11","12"]])";
    const AnswerCase cases[] = {
        {"UTF-8, no charset", "application/x-suggestions+json", R"(["中",["中文","中国"]])", {"中文", "中国"}},
        {"UTF-8 named", "application/json; charset=utf-8", R"(["中",["中文"]])", {"中文"}},
        {"GBK by charset",
         "text/javascript; charset=GBK",
         "[\"\xD6\xD0\xCE\xC4\",[\"\xD6\xD0\xCE\xC4\xB7\xAD\xD2\xEB\"]]",
         {"中文翻译"}},
        {"gb2312 quoted, among other parameters",
         "text/javascript;foo=bar; Charset=\"gb2312\"",
         "[\"a\",[\"\xD6\xD0\xCE\xC4\"]]",
         {"中文"}},
        {"GBK trail byte 5C is no escape", "text/plain; charset=gbk", "[\"a\",[\"\x81\x5C\"]]", {"乗"}},
        {"Big5 by charset", "application/json; charset=big5", "[\"a\",[\"\xA4\xA4\xA4\xE5\"]]", {"中文"}},
        {"Big5 trail byte 5C is no escape", "application/json; charset=big5", "[\"a\",[\"\xB3\x5C\"]]", {"許"}},
        {"unknown charset", "application/json; charset=koi8-r", R"(["a",["b"]])", {}},
        {"GBK bytes sent as UTF-8: that entry left out",
         "application/json",
         "[\"a\",[\"\xD6\xD0\xCE\xC4\",\"ok\"]]",
         {"ok"}},
        {"a byte GBK cannot read: that entry left out", "text/plain; charset=gbk", "[\"a\",[\"\xFF\",\"ok\"]]", {"ok"}},
        {"escapes", "", R"(["a",["\u4E2D\u6587","\u4e2d","tab\tx","q\"uote\\ \/"]])", {"中文", "中", "q\"uote\\ /"}},
        {"surrogate pair", "", R"(["a",["\uD83D\uDE00!"]])", {"\xF0\x9F\x98\x80!"}},
        {"lone surrogates left out", "", R"(["a",["\uD83Dx","\uDE00","\uD83D\u0041","ok"]])", {"ok"}},
        {"control characters left out",
         "",
         "[\"a\",[\"a\\u0000b\",\"a\\nb\",\"a\x7F"
         "b\",\"ok\"]]",
         {"ok"}},
        {"raw control character: not JSON", "", "[\"a\",[\"a\x01\"]]", {}},
        {"bad escape: not JSON", "", R"(["a",["\x41"]])", {}},
        {"short \\u: not JSON", "", R"(["a",["\u4E"]])", {}},
        {"empty and blank entries left out", "", R"(["a",["", "  ", "b"]])", {"b"}},
        {"nested arrays and other values in the list are skipped",
         "",
         R"(["a",[["x","y"],"b",{"k":["z"]},1.5e3,true,null,"c"]])",
         {"b", "c"}},
        {"Wikipedia's descriptions and addresses after the list",
         "",
         R"(["a",["b","c"],["",""],["https://x/b","https://x/c"]])",
         {"b", "c"}},
        {"Google's object after the list", "", R"(["a",["b"],[],{"google:suggesttype":["QUERY"]}])", {"b"}},
        {"blanks and a byte order mark", "", "\xEF\xBB\xBF [ \"a\" ,\r\n [ \"b\" ] ] \n", {"b"}},
        {"empty list", "", R"(["a",[]])", {}},
        {"at most ten, the first ten", "", ten, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {"truncated in a string", "", R"(["a",["b","c)", {}},
        {"truncated after the list", "", R"(["a",["b","c"])", {}},
        {"truncated after a comma", "", R"(["a",["b",)", {}},
        {"trailing comma", "", R"(["a",["b",]])", {}},
        {"text after the array", "", R"(["a",["b"]]x)", {}},
        {"two arrays", "", R"(["a",["b"]]["a",["c"]])", {}},
        {"JSONP, as without action=opensearch", "", R"(window.baidu.sug({q:"a",s:["b"]});)", {}},
        {"an object", "", R"({"q":"a","s":["b"]})", {}},
        {"HTML", "text/html; charset=utf-8", "<!DOCTYPE html><html><body>404</body></html>", {}},
        {"query is no string", "", R"([1,["b"]])", {}},
        {"second element no array", "", R"(["a","b"])", {}},
        {"only the query", "", R"(["a"])", {}},
        {"nothing", "", "", {}},
        {"bad number", "", R"(["a",["b",01]])", {}},
        {"bad literal", "", R"(["a",["b",nul]])", {}},
    };
    for (const AnswerCase& c : cases) EXPECT_EQ(read_suggestions(c.body, c.content_type), c.expected) << c.what;
}

TEST(ReadSuggestions, BoundsSizeAndDepth) {
    // 64 KB is the most that is read; one byte more is no answer at all.
    std::string body = R"(["a",["b"],")";
    const std::string end = "\"]";
    const std::string at_limit = body + std::string(kSuggestionAnswerMaxBytes - body.size() - end.size(), 'x') + end;
    ASSERT_EQ(at_limit.size(), kSuggestionAnswerMaxBytes);
    EXPECT_EQ(read_suggestions(at_limit, ""), List{"b"});
    const std::string over = body + std::string(kSuggestionAnswerMaxBytes - body.size() - end.size() + 1, 'x') + end;
    EXPECT_EQ(read_suggestions(over, ""), List{});

    // Nesting beyond what any answer needs is refused, not followed down.
    const auto nested = [](std::size_t depth) {
        return R"(["a",["b",)" + std::string(depth, '[') + std::string(depth, ']') + "]]";
    };
    EXPECT_EQ(read_suggestions(nested(20), ""), List{"b"});
    EXPECT_EQ(read_suggestions(nested(40000), ""), List{});
}

TEST(SuggestionCharset, NamesOfTheThreeCodePages) {
    EXPECT_EQ(suggestion_charset("application/json"), KeywordCharset::Utf8);
    EXPECT_EQ(suggestion_charset(""), KeywordCharset::Utf8);
    EXPECT_EQ(suggestion_charset("text/javascript; charset=UTF8"), KeywordCharset::Utf8);
    EXPECT_EQ(suggestion_charset("text/javascript; charset=GB18030"), KeywordCharset::Gbk);
    EXPECT_EQ(suggestion_charset("text/javascript ; charset = \"Big5-HKSCS\" "), KeywordCharset::Big5);
    EXPECT_EQ(suggestion_charset("text/javascript; charset=iso-8859-1"), std::nullopt);
}

// Where a page asks: 百度 its own service by the host table, a user page its
// suggest line, in the line's code page.
TEST(SuggestionUrl, ThePageAsksItsOwnServiceInItsCodePage) {
    EXPECT_EQ(suggestion_url(kBaidu, "中文 a&b"),
              "https://suggestion.baidu.com/su?wd=%E4%B8%AD%E6%96%87%20a%26b&ie=utf-8&action=opensearch");

    const UserPages read = read_user_pages(
        "[GBK]\n"
        "radio = 帖子 | http://bbs.example.cn/search.php?srchtxt={keyword:gbk}\n"
        "suggest = http://127.0.0.1:8080/su?q={keyword:gbk}&cs={charset}\n"
        "suggest = http://127.0.0.1:8080/again?q={keyword}\n"
        "[none]\n"
        "radio = a | https://example.com/?q={keyword}\n");
    ASSERT_EQ(read.pages().size(), 2u);
    const Engine& gbk_page = read.pages()[0].engine;
    EXPECT_EQ(suggestion_url(gbk_page, "中文"), "http://127.0.0.1:8080/su?q=%D6%D0%CE%C4&cs=gbk");
    EXPECT_EQ(suggestion_url(gbk_page, ""), std::nullopt);
    EXPECT_EQ(suggestion_url(gbk_page, "  "), std::nullopt);
    EXPECT_EQ(suggestion_url(gbk_page, "\xF0\x9F\x98\x80"), std::nullopt);  // GBK cannot hold it: nothing asked
    EXPECT_EQ(suggestion_url(read.pages()[1].engine, "a"), std::nullopt);
    ASSERT_EQ(read.problems().size(), 1u);
    EXPECT_EQ(read.problems()[0].line, 4);
    EXPECT_EQ(read.problems()[0].fault, UserPagesFault::DuplicateSuggest);
}

}  // namespace
}  // namespace velvane
