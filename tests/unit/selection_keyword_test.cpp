// The keyword the selection hotkey makes of the copied text.
#include <gtest/gtest.h>

#include <string>

#include "hotkey/selection_keyword.h"
#include "text/text.h"

namespace velvane {
namespace {

std::u16string u16(std::string_view utf8) { return utf16_from_utf8(utf8); }

TEST(SelectionKeyword, OneLineWithoutTheBlanksAround) {
    struct Case {
        const char* what;
        std::u16string copied;
        std::u16string keyword;
    };
    const Case cases[] = {
        {"plain", u"velvane", u"velvane"},
        {"Chinese", u"划词搜索", u"划词搜索"},
        {"blanks inside stay", u"新 华\t字典", u"新 华\t字典"},
        {"spaces and tabs around", u" \t 新华字典 \t ", u"新华字典"},
        {"ideographic, no-break and other Unicode spaces", u"\u3000\u00A0\u2003新华\u3000字典\u202F\u3000",
         u"新华\u3000字典"},
        {"zero-width space and byte order mark", u"\uFEFF\u200Bword\u200B", u"word"},
        {"cut at CRLF", u"第一行\r\n第二行", u"第一行"},
        {"cut at LF", u"first\nsecond", u"first"},
        {"cut at a lone CR", u"first\rsecond", u"first"},
        {"cut at VT", u"a\vb", u"a"},
        {"cut at FF", u"a\fb", u"a"},
        {"cut at NEL", u"a\u0085b", u"a"},
        {"cut at the line separator", u"a\u2028b", u"a"},
        {"cut at the paragraph separator", u"a\u2029b", u"a"},
        {"blanks before the break go", u"word  \r\nmore", u"word"},
        {"a triple-clicked line ends in its break", u"整行\r\n", u"整行"},
        {"leading blank lines are skipped", u"\r\n\r\n  \t\r\n  next line \r\nthird", u"next line"},
        {"nothing but blanks and breaks", u" \r\n\u3000\t\n", u""},
        {"empty", u"", u""},
        {"emoji pair kept", u16("😀 smile"), u16("😀 smile")},
        {"lone high surrogate", std::u16string(u"a") + char16_t(0xD83D) + u"b", u"a\uFFFDb"},
        {"lone low surrogate", std::u16string(u"a") + char16_t(0xDE00), u"a\uFFFD"},
        {"reversed pair", std::u16string(1, char16_t(0xDE00)) + char16_t(0xD83D), u"\uFFFD\uFFFD"},
        {"other control characters stay for the launch to escape",
         u"a\x01"
         u"b",
         u"a\x01"
         u"b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(selection_keyword(c.copied), c.keyword);
    }
}

TEST(SelectionKeyword, LongTextIsCutAtTheLimitNeverInsideASurrogatePair) {
    const std::size_t limit = kSelectionKeywordLimit;
    const std::u16string pair = u16("😀");
    struct Case {
        const char* what;
        std::u16string copied;
        std::u16string keyword;
    };
    const Case cases[] = {
        {"exactly the limit", std::u16string(limit, u'字'), std::u16string(limit, u'字')},
        {"one over", std::u16string(limit + 1, u'字'), std::u16string(limit, u'字')},
        {"a whole document on one line", std::u16string(1'000'000, u'x'), std::u16string(limit, u'x')},
        {"leading blanks do not count", std::u16string(5000, u' ') + std::u16string(limit, u'y'),
         std::u16string(limit, u'y')},
        {"a pair across the limit is left out", std::u16string(limit - 1, u'a') + pair,
         std::u16string(limit - 1, u'a')},
        {"a pair that ends at the limit stays", std::u16string(limit - 2, u'a') + pair + u"b",
         std::u16string(limit - 2, u'a') + pair},
        {"blanks before the cut go", std::u16string(limit - 3, u'a') + u"   bbb", std::u16string(limit - 3, u'a')},
        {"a lone surrogate at the limit is one unit", std::u16string(limit - 1, u'a') + char16_t(0xD83D) + u"zz",
         std::u16string(limit - 1, u'a') + u"\uFFFD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string keyword = selection_keyword(c.copied);
        EXPECT_EQ(keyword.size(), c.keyword.size());
        EXPECT_TRUE(keyword == c.keyword);
    }
}

}  // namespace
}  // namespace velvane
