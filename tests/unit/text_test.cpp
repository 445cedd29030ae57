// The small text helpers every reader shares: each has one meaning, checked here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/packed_text.h"
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

TEST(UnpackText, ReadsBytesAndCopiesAndRefusesWhatIsNoPackedText) {
    struct Case {
        std::vector<std::uint8_t> packed;
        std::string_view expected;
    };
    const Case cases[] = {
        {{}, ""},
        {{0x00, 'a', 'b'}, "ab"},
        // A copy of 5 from 1 back runs into what it writes.
        {{0x02, 'a', 0x02, 0x00}, "aaaaaa"},
        // A copy of 3 from 2 back, then bytes again; nine items take two flag bytes.
        {{0x04, 'a', 'b', 0x10, 0x00, 'c', 'd', 'e', 'f', 'g', 0x00, 'h'}, "ababacdefgh"},
        // Reaching back before the start, or cut off at the end.
        {{0x01, 0x00, 0x00}, ""},
        {{0x02, 'a', 0x10, 0x00}, ""},
        {{0x02, 'a', 0x02}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(unpack_text(c.packed), c.expected);
}

TEST(UnpackText, ReachesTheFarthestAndCopiesTheLongest) {
    std::vector<std::uint8_t> packed;
    std::string text;
    for (int group = 0; group < 512; ++group) {
        packed.push_back(0x00);
        for (int i = 0; i < 8; ++i) {
            const auto byte = static_cast<std::uint8_t>((group * 8 + i) * 7 % 251);
            packed.push_back(byte);
            text += static_cast<char>(byte);
        }
    }
    packed.insert(packed.end(), {0x01, 0xFF, 0xFF});  // 18 bytes from 4,096 back
    text += text.substr(0, 18);
    EXPECT_EQ(unpack_text(packed), text);
}

}  // namespace
}  // namespace velvane
