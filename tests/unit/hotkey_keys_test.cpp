// The hotkey's names, its registration flags and the toggle decision.
#include <gtest/gtest.h>

#include <climits>

#include "hotkey/hotkey_keys.h"

namespace velvane {
namespace {

TEST(HotkeyDisplayName, NamesTheCombinationAsTheDialogDoes) {
    struct Case {
        std::int32_t modifier_code, key_code;
        const char* name;
    };
    const Case cases[] = {
        {4, 87, "Alt+W"},
        {1, 116, "Ctrl+F5"},
        {0, 65, "A"},
        {2, 48, "Shift+0"},
        {7, 123, "Ctrl+Shift+Alt+F12"},  // a hand-edited sum of bits
        {8, 90, "Z"},                    // bits we do not register are not named
        {0, 0, "VK 0"},                  // an empty Setup.ini
        {-1, 32, "Ctrl+Shift+Alt+VK 32"},
        {4, 111, "Alt+VK 111"},  // between the letters and F1, not in the dialog's list
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hotkey_display_name(c.modifier_code, c.key_code), c.name);
    }
}

TEST(PlatformModifiers, TranslatesOurBitsToThePlatformFlags) {
    struct Case {
        std::int32_t modifier_code;
        std::uint32_t flags;
    };
    constexpr std::uint32_t kAll = kPlatformModAlt | kPlatformModControl | kPlatformModShift;
    const Case cases[] = {
        {0, 0},
        {1, kPlatformModControl},
        {2, kPlatformModShift},
        {4, kPlatformModAlt},
        {3, kPlatformModControl | kPlatformModShift},
        {8, 0},
        {-1, kAll},
        {INT32_MAX, kAll},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform_modifiers(c.modifier_code), c.flags) << c.modifier_code;
    }
}

TEST(HotkeyShouldToggle, HidesOnlyForOurHotkeyButShowsForAny) {
    EXPECT_TRUE(hotkey_should_toggle(7, 7, true));
    EXPECT_FALSE(hotkey_should_toggle(8, 7, true));
    EXPECT_TRUE(hotkey_should_toggle(7, 7, false));
    EXPECT_TRUE(hotkey_should_toggle(8, 7, false));
}

}  // namespace
}  // namespace velvane
