#include "hotkey/hotkey_keys.h"

#include <algorithm>

namespace velvane {

std::string hotkey_display_name(std::int32_t modifier_code, std::int32_t key_code) {
    std::string name;
    if (modifier_code & 1) name += "Ctrl+";
    if (modifier_code & 2) name += "Shift+";
    if (modifier_code & 4) name += "Alt+";
    const auto key = std::find_if(kKeyChoices.begin(), kKeyChoices.end(),
                                  [key_code](const KeyChoice& k) { return k.code == key_code; });
    if (key != kKeyChoices.end()) {
        name += key->name;
    } else {
        name += "VK " + std::to_string(key_code);
    }
    return name;
}

std::uint32_t platform_modifiers(std::int32_t modifier_code) {
    std::uint32_t flags = 0;
    if (modifier_code & 1) flags |= kPlatformModControl;
    if (modifier_code & 2) flags |= kPlatformModShift;
    if (modifier_code & 4) flags |= kPlatformModAlt;
    return flags;
}

bool hotkey_should_toggle(int notified_id, int stored_id, bool window_visible) {
    return !window_visible || notified_id == stored_id;
}

}  // namespace velvane
