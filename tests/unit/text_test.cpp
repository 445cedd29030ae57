// The small text helpers every reader shares: each has one meaning, checked here.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "text/text.h"

namespace velvane {
namespace {

TEST(Trimmed, TakesBlanksTabsAndIdeographicSpacesOffBothEndsOnly) {
    struct Case {
        std::string_view text, expected;
    };
    const Case cases[] = {
        {"", ""},
        {" \t ", ""},
        {"\u3000百度\u3000", "百度"},
        {" \u3000\t a b \t\u3000 ", "a b"},
        {"a\u3000b", "a\u3000b"},  // inside, it is part of the text
        // A character whose UTF-8 shares the ideographic space's first two bytes stays.
        {"\u3001x\u3001", "\u3001x\u3001"},
    };
    for (const Case& c : cases) EXPECT_EQ(trimmed(c.text), c.expected) << c.text;
}

TEST(Shortened, CutsAtTheLimitButNeverInsideACharacter) {
    EXPECT_EQ(shortened("short"), "short");
    EXPECT_EQ(shortened(std::string(40, 'a')), std::string(40, 'a'));
    EXPECT_EQ(shortened(std::string(41, 'a')), std::string(40, 'a') + "…");
    // 中 is three bytes: byte 5 of "a中中" is inside the second one.
    EXPECT_EQ(shortened("a中中", 5), "a中…");
    EXPECT_EQ(shortened("中中", 2), "…");
}

TEST(AsciiCase, FoldsAsciiLettersAndNothingElse) {
    EXPECT_EQ(ascii_lower("Charset=GBK 百度 Ä"), "charset=gbk 百度 Ä");
    EXPECT_TRUE(same_ignoring_ascii_case("UTF-8", "utf-8"));
    EXPECT_FALSE(same_ignoring_ascii_case("utf-8", "utf-"));
    EXPECT_FALSE(same_ignoring_ascii_case("Ä", "ä"));
}

TEST(FolderOf, IsThePathBeforeTheLastSeparator) {
    struct Case {
        std::wstring_view path, expected;
    };
    const Case cases[] = {
        {L"C:\\Tools\\Velvane\\velvane.exe", L"C:\\Tools\\Velvane"},
        {L"C:/Tools/velvane.exe", L"C:/Tools"},
        {L"\\\\server\\share\\velvane.exe", L"\\\\server\\share"},
        // At a drive's root the root, not "C:" (the drive's current folder).
        {L"C:\\velvane.exe", L"C:\\"},
        // A bare name lies in the current folder.
        {L"velvane.exe", L"."},
    };
    for (const Case& c : cases) EXPECT_EQ(folder_of(c.path), c.expected);
}

}  // namespace
}  // namespace velvane
