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
        {u"a b", "%61%20%62"},            // letters escaped, blank an escape, never '+'
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
    EXPECT_EQ(utf8_from_utf16(u"a\xD83D"), "a\xEF\xBF\xBD");                            // high surrogate at the end
    EXPECT_EQ(utf8_from_utf16(u"\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");  // unpaired then paired
}

TEST(Utf8ToUtf16, RoundTripsAndReplacesMalformedInput) {
    const std::u16string text = u"中 a&b \U0001F600";
    EXPECT_EQ(utf16_from_utf8(utf8_from_utf16(text)), text);
    EXPECT_EQ(utf16_from_utf8("\xFF"
                              "a\xE4\xB8"),
              u"\xFFFD"
              u"a\xFFFD\xFFFD");                            // each stray byte
    EXPECT_EQ(utf16_from_utf8("\xED\xA0\x80"), u"\xFFFD");  // an encoded surrogate is not a character
}

// Every character the launch never hands on literally, once; the same
// escapes in a raw keyword as in a URL handed to the launch.
TEST(LaunchEscaping, NoCharacterAShellOrACommandLineReadsLeavesLiterally) {
    struct Case {
        std::string text;
        std::string in_url;
    };
    const Case cases[] = {
        {"%", "%25"},  // no escape follows: a per cent sign
        {" ", "%20"},
        {"\t", "%09"},
        {"\"", "%22"},
        {"\\", "%5C"},
        {"<", "%3C"},
        {">", "%3E"},
        {"^", "%5E"},
        {"`", "%60"},
        {"{", "%7B"},
        {"|", "%7C"},
        {"}", "%7D"},
        {std::string(1, '\0'), "%00"},
        {"\r\n\x1F", "%0D%0A%1F"},
        {"\x7F", "%7F"},                       // DEL
        {"\xC2\x80\xC2\x9F", "%C2%80%C2%9F"},  // C1 control characters, U+0080 and U+009F
        // Everything else stays as typed (but for a raw keyword's + # &, below).
        {"中文\xC2\xA0\U0001F600", "中文\xC2\xA0\U0001F600"},
        {"aZ09-_.~!$'()*,;=:@/?[]", "aZ09-_.~!$'()*,;=:@/?[]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in_url);
        EXPECT_EQ(raw_keyword_in_url(c.text), c.in_url);
        EXPECT_EQ(launch_safe_url("http://h/s?w=" + c.text), "http://h/s?w=" + c.in_url);
    }
}

// In a query value '+' is read as a blank, '#' ends the query and '&' starts
// the next parameter: a raw keyword writes them as escapes, which every
// server decodes alike whatever its code page, and the + option's blanks
// stay told apart from a typed '+'. A URL of the user's own keeps them.
TEST(LaunchEscaping, ARawKeywordKeepsPlusHashAndAmpersandInItsValue) {
    struct Case {
        std::string keyword;
        std::string in_url;
        std::string with_plus;  // blanks as '+'
    };
    const Case cases[] = {
        {"C++", "C%2B%2B", "C%2B%2B"},     {"C#", "C%23", "C%23"},
        {"a&b", "a%26b", "a%26b"},         {"a+b c", "a%2Bb%20c", "a%2Bb+c"},
        {"#&+", "%23%26%2B", "%23%26%2B"}, {"中文 F#", "中文%20F%23", "中文+F%23"},
        {"a=b?c/d", "a=b?c/d", "a=b?c/d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyword);
        EXPECT_EQ(raw_keyword_in_url(c.keyword), c.in_url);
        EXPECT_EQ(raw_keyword_in_url(c.keyword, true), c.with_plus);
    }
    EXPECT_EQ(launch_safe_url("http://h/s?a=1&b=C++#top"), "http://h/s?a=1&b=C++#top");
}

TEST(LaunchEscaping, ARawKeywordsPerCentSignIsAlwaysOneAndTheLaunchKeepsOnlyEscapes) {
    EXPECT_EQ(raw_keyword_in_url("%41"), "%2541");  // searched as "%41", not as "A"
    EXPECT_EQ(raw_keyword_in_url("%PATH%x"), "%25PATH%25x");

    struct Case {
        std::string url;
        std::string safe;
    };
    const Case cases[] = {
        {"http://h/s?w=%41%e4", "http://h/s?w=%41%e4"},                  // escapes stay, either case
        {"http://h/#city=%u5168%u56FD", "http://h/#city=%u5168%u56FD"},  // as one engine writes Unicode
        {"http://h/s?w=%PATH%", "http://h/s?w=%25PATH%25"},
        {"http://h/s?w=%4%G1%u56%", "http://h/s?w=%254%25G1%25u56%25"},
        {"http://h/s?w=%%41", "http://h/s?w=%25%41"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(launch_safe_url(c.url), c.safe);
        EXPECT_EQ(launch_safe_url(c.safe), c.safe);  // nothing left for a second pass
    }
}

TEST(CutUrl, NeverSplitsAnEscapeOrASurrogatePair) {
    struct Case {
        std::u16string url;
        std::size_t max;
        std::u16string cut;
    };
    const Case cases[] = {
        {u"http://h/a", 20, u"http://h/a"},
        {u"http://h/%E4%B8", 12, u"http://h/%E4"},  // cut after a whole escape
        {u"http://h/%E4%B8", 11, u"http://h/"},     // "%E" would be half an escape
        {u"http://h/%E4%B8", 10, u"http://h/"},     // so would "%"
        {u"http://h/a😀", 11, u"http://h/a"},        // half a pair is dropped
        {u"http://h/%u5168", 14, u"http://h/"},     // nor half a %uXXXX
        {u"http://h/%u5168", 15, u"http://h/%u5168"},
        {u"http://h/ab", 10, u"http://h/a"},
    };
    for (const auto& c : cases) EXPECT_EQ(cut_url(c.url, c.max), c.cut);
}

}  // namespace
}  // namespace velvane
