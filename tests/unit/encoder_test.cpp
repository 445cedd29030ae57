#include <gtest/gtest.h>

#include "text/encoder.h"
#include "text/text.h"

namespace velvane {
namespace {

struct EncodeCase {
    std::u16string keyword;
    std::string encoded;
};

TEST(EncodeKeyword, EscapesEveryUtf8Byte) {
    const EncodeCase cases[] = {
        {u"", ""},
        {u"a b", "%61%20%62"},           // letters escaped, blank an escape, never '+'
        {u"中", "%E4%B8%AD"},             // the three UTF-8 bytes of 中
        {u"%41", "%25%34%31"},            // an escape in the keyword is escaped again
        {u"\U0001F600", "%F0%9F%98%80"},  // outside GBK: encoded like any other character
        {u"\x01", "%01"},                 // bytes below 16 keep two digits
        {u"\xD800", "%EF%BF%BD"},         // a lone surrogate becomes U+FFFD
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encode_keyword(utf8_from_utf16(c.keyword)), c.encoded);
    }
}

TEST(Utf16ToUtf8, LoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(utf8_from_utf16(u"a\xDC00z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(utf8_from_utf16(u"a\xD83D"), "a\xEF\xBF\xBD");                   // high surrogate at the end
    EXPECT_EQ(utf8_from_utf16(u"\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");  // unpaired then paired
}

TEST(Utf8ToUtf16, RoundTripsAndReplacesMalformedInput) {
    const std::u16string text = u"中 a&b \U0001F600";
    EXPECT_EQ(utf16_from_utf8(utf8_from_utf16(text)), text);
    EXPECT_EQ(utf16_from_utf8("\xFF" "a\xE4\xB8"), u"\xFFFD" u"a\xFFFD\xFFFD");  // each stray byte
    EXPECT_EQ(utf16_from_utf8("\xED\xA0\x80"), u"\xFFFD");  // an encoded surrogate is not a character
}

TEST(LaunchSafeUrl, EscapesOnlyQuotesAndControlCharacters) {
    EXPECT_EQ(launch_safe_url("http://h/q?a=\"x\" --y"), "http://h/q?a=%22x%22 --y");
    EXPECT_EQ(launch_safe_url(std::string("http://h/\x00\x1F\x7F", 12)), "http://h/%00%1F%7F");
    EXPECT_EQ(launch_safe_url("http://h/s?w=中 a&b#c%41"), "http://h/s?w=中 a&b#c%41");
}

TEST(CutUrl, NeverSplitsAnEscapeOrASurrogatePair) {
    struct Case {
        std::u16string url;
        std::size_t max;
        std::u16string cut;
    };
    const Case cases[] = {
        {u"http://h/a", 20, u"http://h/a"},
        {u"http://h/%E4%B8", 12, u"http://h/%E4"},     // cut after a whole escape
        {u"http://h/%E4%B8", 11, u"http://h/"},        // "%E" would be half an escape
        {u"http://h/%E4%B8", 10, u"http://h/"},        // so would "%"
        {u"http://h/a😀", 11, u"http://h/a"},  // half a pair is dropped
        {u"http://h/ab", 10, u"http://h/a"},
    };
    for (const auto& c : cases) EXPECT_EQ(cut_url(c.url, c.max), c.cut);
}

}  // namespace
}  // namespace velvane
