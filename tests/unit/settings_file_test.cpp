// Setup.ini on bytes: what load reads from a file and what store makes of one.
#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <random>
#include <stdexcept>

#include "hotkey/settings_file.h"
#include "text/text.h"

namespace velvane {
namespace {

// The tests write their files in UTF-8 and convert them here, with the
// system's own GBK table, as another program on a Chinese Windows would
// have written them.
std::string gbk(std::string_view utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no GBK converter");
    std::string in(utf8), out(utf8.size() * 2 + 8, '\0');
    char* in_ptr = in.data();
    char* out_ptr = out.data();
    std::size_t in_left = in.size(), out_left = out.size();
    const std::size_t done = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) throw std::runtime_error("not convertible to GBK");
    out.resize(out.size() - out_left);
    return out;
}

std::string utf16(std::string_view utf8, bool big_endian) {
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : utf16_from_utf8(utf8)) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += big_endian ? high : low;
        out += big_endian ? low : high;
    }
    return out;
}

const std::string kUtf8Bom = "\xEF\xBB\xBF";

struct LoadCase {
    const char* what;
    std::optional<std::string> file;
    Hotkey expected;
};

TEST(LoadSettings, ReadsTheHotkeyFromFileBytes) {
    const LoadCase cases[] = {
        {"no file: Alt+W", std::nullopt, {4, 87}},
        {"empty file: 0 and 0, not Alt+W", "", {0, 0}},
        {"only another section", gbk("[其他]\r\n功能键=4\r\n"), {0, 0}},
        {"section without keys", gbk("[快捷键设置]\r\n"), {0, 0}},
        {"one key missing", gbk("[快捷键设置]\r\n键代码=87\r\n"), {0, 87}},
        {"as the program writes Ctrl+F5", gbk("[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n"), {1, 116}},
        {"empty 功能键 (无)", gbk("[快捷键设置]\r\n功能键=\r\n键代码=65\r\n"), {0, 65}},
        {"fraction truncated", gbk("[快捷键设置]\r\n功能键=-87.9\r\n键代码=87.9\r\n"), {-87, 87}},
        {"no number", gbk("[快捷键设置]\r\n功能键=0x57\r\n键代码=W\r\n"), {0, 0}},
        {"negative", gbk("[快捷键设置]\r\n功能键=-1\r\n"), {-1, 0}},
        {"saturated", gbk("[快捷键设置]\r\n功能键=-99999999999\r\n键代码=99999999999\r\n"), {INT32_MIN, INT32_MAX}},
        {"exponent", gbk("[快捷键设置]\r\n功能键=1.5e1\r\n键代码=1e9\r\n"), {15, 1000000000}},
        {"negative exponent", gbk("[快捷键设置]\r\n功能键=87e-1\r\n键代码=2e-1\r\n"), {8, 0}},
        {"huge exponents", gbk("[快捷键设置]\r\n功能键=0e99999999999\r\n键代码=.001e99999999999\r\n"), {0, INT32_MAX}},
        {"number stops at the first stranger", gbk("[快捷键设置]\r\n功能键=4W\r\n键代码=8 7\r\n"), {4, 8}},
        {"quotes and sign", gbk("[快捷键设置]\r\n功能键=\"+2\"\r\n键代码='70'\r\n"), {2, 70}},
        {"blanks around names and =", gbk("  [ 快捷键设置 ]  \r\n\t功能键 \t=  2 \r\n"), {2, 0}},
        {"LF", gbk("[快捷键设置]\n功能键=1\n键代码=49"), {1, 49}},
        {"lone CR", gbk("[快捷键设置]\r功能键=1\r键代码=49\r"), {1, 49}},
        {"first key wins", gbk("[快捷键设置]\r\n功能键=1\r\n功能键=4\r\n"), {1, 0}},
        {"a key without = is an empty first key", gbk("[快捷键设置]\r\n功能键\r\n功能键=4\r\n"), {0, 0}},
        {"only the first section counts",
         gbk("[快捷键设置]\r\n键代码=65\r\n[快捷键设置]\r\n功能键=4\r\n键代码=66\r\n"),
         {0, 65}},
        {"keys outside the section",
         gbk("功能键=1\r\n[其他]\r\n功能键=2\r\n[快捷键设置]\r\n键代码=70\r\n[后]\r\n功能键=4\r\n"),
         {0, 70}},
        {"commented header does not end the section", gbk("[快捷键设置]\r\n;[其他]\r\n功能键=4\r\n"), {4, 0}},
        {"commented section is none", gbk(";[快捷键设置]\r\n功能键=4\r\n"), {0, 0}},
        {"unclosed header is no header", gbk("[快捷键设置\r\n功能键=4\r\n"), {0, 0}},
        {"GBK byte ']' of 癩 does not close a header", gbk("[快捷键设置]\r\n[癩\r\n功能键=4\r\n"), {4, 0}},
        {"other program's GBK text around",
         gbk("; 速搜的设置\r\n[程序]\r\n名字=速搜\r\n\r\n[快捷键设置]\r\n功能键=2\r\n键代码=83\r\n"),
         {2, 83}},
        {"UTF-8 without a mark is read as GBK", "[快捷键设置]\r\n功能键=4\r\n", {0, 0}},
        {"UTF-8 with a mark", kUtf8Bom + "[快捷键设置]\r\n功能键=2\r\n键代码=70\r\n", {2, 70}},
        {"UTF-16 LE", utf16("[快捷键设置]\r\n功能键=1\r\n键代码=123\r\n", false), {1, 123}},
        {"UTF-16 BE", utf16("[快捷键设置]\n功能键=4\n键代码=90", true), {4, 90}},
        {"UTF-16 with an odd last byte", utf16("[快捷键设置]\r\n键代码=48\r\n", false) + "\x33", {0, 48}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load_settings(c.file), c.expected);
    }
}

TEST(LoadSettings, ASelectionSectionAloneLeavesTheShowHideHotkeyAtAltW) {
    const LoadCase cases[] = {
        {"only the selection section", gbk("[划词搜索]\r\n功能键=5\r\n键代码=87\r\n"), {4, 87}},
        {"selection section, switched off", gbk("[划词搜索]\r\n键代码=0\r\n"), {4, 87}},
        {"selection section among others", gbk("[其他]\r\nx=1\r\n[划词搜索]\r\n"), {4, 87}},
        {"UTF-16 selection section alone", utf16("[划词搜索]\r\n功能键=5\r\n", false), {4, 87}},
        {"both sections: the show/hide section as it stands",
         gbk("[划词搜索]\r\n功能键=5\r\n键代码=87\r\n[快捷键设置]\r\n键代码=70\r\n"),
         {0, 70}},
        {"both, the show/hide section empty", gbk("[快捷键设置]\r\n[划词搜索]\r\n键代码=87\r\n"), {0, 0}},
        {"a commented selection section is none", gbk(";[划词搜索]\r\n"), {0, 0}},
        {"a selection key outside any section is none", gbk("划词搜索=1\r\n"), {0, 0}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load_settings(c.file), c.expected);
    }
}

TEST(LoadSelectionSettings, ReadsTheSecondSectionByTheSameRules) {
    struct Case {
        const char* what;
        std::optional<std::string> file;
        std::optional<Hotkey> expected;
    };
    const Case cases[] = {
        {"no file: off", std::nullopt, std::nullopt},
        {"empty file: off", "", std::nullopt},
        {"only the show/hide section: off", gbk("[快捷键设置]\r\n功能键=5\r\n键代码=87\r\n"), std::nullopt},
        {"section without keys: off", gbk("[划词搜索]\r\n"), std::nullopt},
        {"key code 0: off", gbk("[划词搜索]\r\n功能键=5\r\n键代码=0\r\n"), std::nullopt},
        {"unreadable key code: off", gbk("[划词搜索]\r\n功能键=5\r\n键代码=W\r\n"), std::nullopt},
        {"Ctrl+Alt+W", gbk("[划词搜索]\r\n功能键=5\r\n键代码=87\r\n"), Hotkey{5, 87}},
        {"no modifier: the bare key", gbk("[划词搜索]\r\n键代码=123\r\n"), Hotkey{0, 123}},
        {"empty modifier", gbk("[划词搜索]\r\n功能键=\r\n键代码=65\r\n"), Hotkey{0, 65}},
        {"fraction truncated", gbk("[划词搜索]\r\n功能键=2.9\r\n键代码=87.9\r\n"), Hotkey{2, 87}},
        {"0.5 truncates to 0: off", gbk("[划词搜索]\r\n键代码=0.5\r\n"), std::nullopt},
        {"negative and saturated", gbk("[划词搜索]\r\n功能键=-1\r\n键代码=99999999999\r\n"), Hotkey{-1, INT32_MAX}},
        {"exponent, quotes, blanks", gbk("  [ 划词搜索 ]\r\n 功能键 = \"1e0\" \r\n键代码='8.7e1'\r\n"), Hotkey{1, 87}},
        {"first section and first key win", gbk("[划词搜索]\r\n键代码=70\r\n键代码=71\r\n[划词搜索]\r\n功能键=4\r\n"),
         Hotkey{0, 70}},
        {"the show/hide section's keys are not ours",
         gbk("[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n[划词搜索]\r\n功能键=3\r\n键代码=88\r\n"), Hotkey{3, 88}},
        {"the section ends at the next one", gbk("[划词搜索]\r\n功能键=3\r\n[其他]\r\n键代码=88\r\n"), std::nullopt},
        {"LF, a comment before", gbk("; 说明\n[划词搜索]\n功能键=2\n键代码=90"), Hotkey{2, 90}},
        {"UTF-8 with a mark", kUtf8Bom + "[划词搜索]\r\n功能键=5\r\n键代码=87\r\n", Hotkey{5, 87}},
        {"UTF-8 without a mark is read as GBK", "[划词搜索]\r\n键代码=87\r\n", std::nullopt},
        {"UTF-16 BE", utf16("[划词搜索]\n功能键=5\n键代码=87", true), Hotkey{5, 87}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load_selection_settings(c.file), c.expected);
    }
}

TEST(ResetSettings, DeletesOnlyAFileThatHoldsNothingButTheShowHideSection) {
    struct Case {
        const char* what;
        std::string before;
        std::optional<std::string> after;  // nullopt: delete the file
    };
    const Case cases[] = {
        {"empty file", "", std::nullopt},
        {"blank lines only", "\r\n \t\r\n", std::nullopt},
        {"as the dialog writes it", gbk("[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n"), std::nullopt},
        {"comments, odd keys and blank lines inside the section",
         gbk("\r\n[快捷键设置]\r\n; 我的热键\r\n功能键=1\r\nx\r\n\r\n"), std::nullopt},
        {"two copies of the section", gbk("[快捷键设置]\r\n功能键=1\r\n[快捷键设置]\r\n键代码=2\r\n"), std::nullopt},
        {"UTF-16 with only the section", utf16("[快捷键设置]\r\n功能键=1\r\n", false), std::nullopt},
        {"the selection section is kept, Alt+W stored in place",
         gbk("[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n\r\n[划词搜索]\r\n功能键=5\r\n键代码=87\r\n"),
         gbk("[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n\r\n[划词搜索]\r\n功能键=5\r\n键代码=87\r\n")},
        {"the selection section alone: the show/hide section is added", gbk("[划词搜索]\n功能键=5\n键代码=87"),
         gbk("[划词搜索]\n功能键=5\n键代码=87\n[快捷键设置]\n功能键=4\n键代码=87\n")},
        {"another program's section", gbk("[其他]\r\nx=1\r\n[快捷键设置]\r\n功能键=\r\n"),
         gbk("[其他]\r\nx=1\r\n[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n")},
        {"an empty other section", gbk("[快捷键设置]\r\n键代码=65\r\n[其他]\r\n"),
         gbk("[快捷键设置]\r\n键代码=87\r\n功能键=4\r\n[其他]\r\n")},
        {"a comment before the section", gbk("; 速搜的设置\r\n[快捷键设置]\r\n键代码=65\r\n"),
         gbk("; 速搜的设置\r\n[快捷键设置]\r\n键代码=87\r\n功能键=4\r\n")},
        {"a key before any section", "x=1\r\n", "x=1\r\n" + gbk("[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n")},
        {"a commented header is no section of ours", gbk(";[快捷键设置]\r\n"),
         gbk(";[快捷键设置]\r\n[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n")},
        {"UTF-8 with a mark and another section", kUtf8Bom + "[划词搜索]\r\n键代码=87\r\n",
         kUtf8Bom + "[划词搜索]\r\n键代码=87\r\n[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<std::string> after = reset_settings(c.before);
        EXPECT_EQ(after, c.after);
        // Either way the next start has Alt+W, and the selection hotkey is as it was.
        EXPECT_EQ(load_settings(after ? std::optional<std::string_view>(*after) : std::nullopt), kDefaultHotkey);
        if (after) {
            EXPECT_EQ(load_selection_settings(*after), load_selection_settings(c.before));
        }
    }
}

struct StoreCase {
    const char* what;
    std::string before;
    int modifier_index;
    int key_index;
    std::optional<std::string> after;
};

TEST(StoreSettings, GivesTheWholeNewFile) {
    const StoreCase cases[] = {
        {"new file: GBK, CRLF", "", 3, 32, gbk("[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n")},
        {"Ctrl+F12", "", 1, 47, gbk("[快捷键设置]\r\n功能键=1\r\n键代码=123\r\n")},
        {"无 + A: empty 功能键", "", 0, 10, gbk("[快捷键设置]\r\n功能键=\r\n键代码=65\r\n")},
        {"values replaced in place, everything else kept",
         gbk("; 速搜\n[其他]\nx=1\n\n[快捷键设置]\n  键代码 = 87 ; W\n功能键=\n\n[后]\ny=2"), 2, 36,
         gbk("; 速搜\n[其他]\nx=1\n\n[快捷键设置]\n  键代码 = 112\n功能键=2\n\n[后]\ny=2")},
        {"missing key after the section's last key line, in the file's line breaks",
         gbk("[快捷键设置]\n功能键=1\n; 注释\n\n[其他]\n"), 1, 0,
         gbk("[快捷键设置]\n功能键=1\n键代码=48\n; 注释\n\n[其他]\n")},
        {"both keys missing, in order", gbk("[快捷键设置]\r\n"), 2, 9,
         gbk("[快捷键设置]\r\n功能键=2\r\n键代码=57\r\n")},
        {"missing section appended after a last line without break", gbk("[其他]\nx=1"), 3, 35,
         gbk("[其他]\nx=1\n[快捷键设置]\n功能键=4\n键代码=90\n")},
        {"first of duplicated sections and keys",
         gbk("[快捷键设置]\r\n键代码=1\r\n键代码=2\r\n[快捷键设置]\r\n功能键=1\r\n"), 3, 32,
         gbk("[快捷键设置]\r\n键代码=87\r\n键代码=2\r\n功能键=4\r\n[快捷键设置]\r\n功能键=1\r\n")},
        {"key without =", gbk("[快捷键设置]\r\n功能键 \r\n"), 3, 32, gbk("[快捷键设置]\r\n功能键=4 \r\n键代码=87\r\n")},
        {"modifier index outside its list", gbk("[快捷键设置]\r\n功能键=1\r\n"), 4, 32,
         gbk("[快捷键设置]\r\n功能键=1\r\n键代码=87\r\n")},
        {"key index outside its list", "", 1, 48, gbk("[快捷键设置]\r\n功能键=1\r\n")},
        {"neither index in its list: no file", "", -1, -1, std::nullopt},
        {"neither index in its list: file left alone", gbk("[快捷键设置]\r\n"), 4, 48, std::nullopt},
        {"UTF-8 with a mark stays so", kUtf8Bom + "[其他]\r\n", 1, 15,
         kUtf8Bom + "[其他]\r\n[快捷键设置]\r\n功能键=1\r\n键代码=70\r\n"},
        {"UTF-16 LE stays so", utf16("[快捷键设置]\r\n键代码=87\r\n", false), 2, 33,
         utf16("[快捷键设置]\r\n键代码=88\r\n功能键=2\r\n", false)},
        {"UTF-16 BE stays so", utf16("[其他]\n", true), 0, 0,
         utf16("[其他]\n[快捷键设置]\n功能键=\n键代码=48\n", true)},
    };
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(store_settings(c.before, c.modifier_index, c.key_index), c.after);
    }
}

TEST(StoreSettings, EveryDialogChoiceReadsBack) {
    const std::string existing = gbk("; 设置\r\n[快捷键设置]\r\n功能键=7\r\n键代码=0\r\n");
    for (int m = 0; m < static_cast<int>(kModifierChoices.size()); ++m) {
        for (int k = 0; k < static_cast<int>(kKeyChoices.size()); ++k) {
            const Hotkey expected{kModifierChoices[m].code, kKeyChoices[k].code};
            EXPECT_EQ(load_settings(store_settings("", m, k)), expected) << m << " " << k;
            EXPECT_EQ(load_settings(store_settings(existing, m, k)), expected) << m << " " << k;
        }
    }
}

struct StoreSettingCase {
    const char* what;
    std::optional<std::string> before;  // nullopt: no file
    std::string value;
    std::string after;
};

// Velvane's own switches (the tray menu's) in Setup.ini. Whatever the file
// held, the hotkey it means afterwards is the one it meant before, and no
// file means Alt+W.
TEST(StoreSetting, StoresASwitchAndKeepsTheHotkeyTheFileMeant) {
    const StoreSettingCase cases[] = {
        {"no file: Alt+W written too", std::nullopt, "1",
         gbk("[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n[搜索记录]\r\n开启=1\r\n")},
        {"empty file a person wrote: still no hotkey", "", "1", gbk("[搜索记录]\r\n开启=1\r\n")},
        {"another program's section only: still no hotkey", gbk("[其他]\r\nx=1\r\n"), "1",
         gbk("[其他]\r\nx=1\r\n[搜索记录]\r\n开启=1\r\n")},
        {"only the selection hotkey: Alt+W written out", gbk("[划词搜索]\r\n功能键=5\r\n键代码=87"), "1",
         gbk("[划词搜索]\r\n功能键=5\r\n键代码=87\r\n[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n[搜索记录]\r\n开启="
             "1\r\n")},
        {"a hotkey of its own is left alone", gbk("[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n"), "0",
         gbk("[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n[搜索记录]\r\n开启=0\r\n")},
        {"an empty hotkey section is left alone", gbk("[快捷键设置]\n[划词搜索]\n键代码=65\n"), "1",
         gbk("[快捷键设置]\n[划词搜索]\n键代码=65\n[搜索记录]\n开启=1\n")},
        {"the value replaced in place",
         gbk("[搜索记录]\r\n; 注释\r\n 开启 = 1 \r\n[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n"), "0",
         gbk("[搜索记录]\r\n; 注释\r\n 开启 = 0 \r\n[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n")},
        {"UTF-8, LF, selection only", kUtf8Bom + "[划词搜索]\n键代码=0\n", "1",
         kUtf8Bom + "[划词搜索]\n键代码=0\n[快捷键设置]\n功能键=4\n键代码=87\n[搜索记录]\n开启=1\n"},
        {"UTF-16 LE stays so", utf16("[快捷键设置]\r\n功能键=2\r\n键代码=70\r\n", false), "1",
         utf16("[快捷键设置]\r\n功能键=2\r\n键代码=70\r\n[搜索记录]\r\n开启=1\r\n", false)},
    };
    for (const StoreSettingCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<std::string> after =
            store_setting(c.before, kRememberHistorySetting.section, kRememberHistorySetting.key, c.value);
        ASSERT_TRUE(after);
        EXPECT_EQ(*after, c.after);
        EXPECT_EQ(load_settings(*after), load_settings(c.before));
        EXPECT_EQ(load_selection_settings(*after), load_selection_settings(c.before));
        EXPECT_EQ(load_setting(*after, kRememberHistorySetting.section, kRememberHistorySetting.key),
                  std::stoi(c.value));
    }
}

TEST(StoreSetting, TwoSwitchesInOneFile) {
    const std::optional<std::string> history =
        store_setting(std::nullopt, kRememberHistorySetting.section, kRememberHistorySetting.key, "1");
    ASSERT_TRUE(history);
    const std::optional<std::string> both =
        store_setting(*history, kShowSuggestionsSetting.section, kShowSuggestionsSetting.key, "1");
    ASSERT_TRUE(both);
    EXPECT_EQ(*both, gbk("[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n[搜索记录]\r\n开启=1\r\n[搜索建议]\r\n开启=1\r\n"));
    EXPECT_EQ(load_setting(*both, kShowSuggestionsSetting.section, kShowSuggestionsSetting.key), 1);
    EXPECT_EQ(load_setting(*both, kRememberHistorySetting.section, kRememberHistorySetting.key), 1);
    // Missing: no file, no section, no key.
    EXPECT_EQ(load_setting(std::nullopt, "搜索建议", "开启"), std::nullopt);
    EXPECT_EQ(load_setting(*history, "搜索建议", "开启"), std::nullopt);
    EXPECT_EQ(load_setting(*history, "搜索记录", "其他"), std::nullopt);
    // A name GBK cannot hold has no place in the file.
    EXPECT_EQ(store_setting("", "\xF0\x9F\x98\x80", "开启", "1"), std::nullopt);
}

// Bytes that are mostly what an INI parser looks at, plus name bytes and
// anything else, some behind a byte order mark.
std::string garbage(std::mt19937& random) {
    static const std::string kPieces[] = {"[",
                                          "]",
                                          "=",
                                          ";",
                                          "\r",
                                          "\n",
                                          " ",
                                          "\t",
                                          "\"",
                                          "-",
                                          ".",
                                          "e",
                                          "9",
                                          "0",
                                          gbk("快捷键设置"),
                                          gbk("划词搜索"),
                                          gbk("功能键"),
                                          gbk("键代码"),
                                          "\xEF\xBB\xBF",
                                          "\xFF\xFE"};
    std::string bytes;
    const auto length = std::uniform_int_distribution<int>(0, 120)(random);
    for (int i = 0; i < length; ++i) {
        if (random() % 3 == 0) {
            bytes += static_cast<char>(random() & 0xFF);
        } else {
            bytes += kPieces[random() % std::size(kPieces)];
        }
    }
    return bytes;
}

TEST(SettingsFile, GarbageLoadsAndTakesAStore) {
    std::mt19937 random(20240901);
    for (int round = 0; round < 3000; ++round) {
        const std::string bytes = garbage(random);
        SCOPED_TRACE(::testing::PrintToString(bytes));
        (void)load_settings(bytes);
        const int m = static_cast<int>(random() % kModifierChoices.size());
        const int k = static_cast<int>(random() % kKeyChoices.size());
        const Hotkey stored{kModifierChoices[m].code, kKeyChoices[k].code};
        EXPECT_EQ(load_settings(store_settings(bytes, m, k)), stored);
        EXPECT_EQ(load_selection_settings(store_settings(bytes, m, k)), load_selection_settings(bytes));
        const std::optional<std::string> with_switch =
            store_setting(bytes, kShowSuggestionsSetting.section, kShowSuggestionsSetting.key, "1");
        ASSERT_TRUE(with_switch);
        EXPECT_EQ(load_settings(*with_switch), load_settings(bytes));
        EXPECT_EQ(load_selection_settings(*with_switch), load_selection_settings(bytes));
        EXPECT_EQ(load_setting(*with_switch, kShowSuggestionsSetting.section, kShowSuggestionsSetting.key), 1);
        const std::optional<std::string> reset = reset_settings(bytes);
        if (reset) {
            EXPECT_EQ(load_settings(*reset), kDefaultHotkey);
            EXPECT_EQ(load_selection_settings(*reset), load_selection_settings(bytes));
        } else {
            EXPECT_EQ(load_selection_settings(bytes), std::nullopt);
        }
    }
}

TEST(SettingsFile, TenMegabyteFiles) {
    const std::string header = gbk("[程序");
    std::string many_sections;
    while (many_sections.size() < 10'000'000) {
        many_sections += header + std::to_string(many_sections.size()) + "]\r\nx=1\r\n; y\r\n\r\n";
    }
    const std::string file = many_sections + gbk("[快捷键设置]\r\n功能键=2\r\n键代码=87\r\n");
    EXPECT_EQ(load_settings(file), (Hotkey{2, 87}));
    EXPECT_EQ(store_settings(file, 1, 47), many_sections + gbk("[快捷键设置]\r\n功能键=1\r\n键代码=123\r\n"));

    const std::string one_long_value = gbk("[快捷键设置]\r\n键代码=") + std::string(10'000'000, '0') + "1";
    EXPECT_EQ(load_settings(one_long_value), (Hotkey{0, 1}));
    EXPECT_EQ(load_settings(std::string(10'000'000, '[')), (Hotkey{0, 0}));
}

}  // namespace
}  // namespace velvane
