// Setup.ini on any bytes. The first two input bytes pick the dialog's list
// indexes for store (a few past each end of the lists included); the rest is
// the file.
//   load: never crashes, gives the same answer twice, leaves the bytes as they
//         were;
//   store: nullopt exactly when neither index is in its list; otherwise a file
//          in the same encoding (same byte order mark, or none) that load
//          reads back as the stored values, with the key that was not stored
//          reading as it did before; storing the same choice again changes
//          nothing; the selection hotkey reads as before;
//   reset: deletes only a file without a selection hotkey; otherwise a file
//          in the same encoding that reads as Alt+W and the same selection
//          hotkey;
//   a switch of the tray menu stored: the same hotkeys as before.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "hotkey/settings_file.h"

namespace {

using namespace velvane;

constexpr int kOutside = 3;  // indexes tried beyond each end of a list

int pick_index(std::uint8_t byte, std::size_t list_size) {
    return static_cast<int>(byte % (list_size + 2 * kOutside)) - kOutside;
}

bool in_list(int index, std::size_t list_size) { return index >= 0 && static_cast<std::size_t>(index) < list_size; }

std::string_view bom_of(std::string_view bytes) {
    for (const std::string_view bom : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
        if (bytes.starts_with(bom)) return bom;
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int modifier_index = pick_index(data[0], kModifierChoices.size());
    const int key_index = pick_index(data[1], kKeyChoices.size());
    const std::string original(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string file = original;

    const Hotkey loaded = load_settings(file);
    FUZZ_CHECK(load_settings(file) == loaded);
    FUZZ_CHECK(file == original);

    // A switch of the tray menu: the file means the same hotkeys after it, in
    // the same encoding, reads the switch back, and storing it again changes
    // nothing.
    const std::optional<std::string> switched =
        store_setting(file, kShowSuggestionsSetting.section, kShowSuggestionsSetting.key, "1");
    FUZZ_CHECK(switched.has_value());
    FUZZ_CHECK(bom_of(*switched) == bom_of(file));
    FUZZ_CHECK(load_settings(*switched) == loaded);
    FUZZ_CHECK(load_selection_settings(*switched) == load_selection_settings(file));
    FUZZ_CHECK(load_setting(*switched, kShowSuggestionsSetting.section, kShowSuggestionsSetting.key) == 1);
    FUZZ_CHECK(store_setting(*switched, kShowSuggestionsSetting.section, kShowSuggestionsSetting.key, "1") == switched);

    const bool modifier_valid = in_list(modifier_index, kModifierChoices.size());
    const bool key_valid = in_list(key_index, kKeyChoices.size());
    const std::optional<std::string> stored = store_settings(file, modifier_index, key_index);
    FUZZ_CHECK(file == original);
    FUZZ_CHECK(stored.has_value() == (modifier_valid || key_valid));
    if (!stored) return 0;

    FUZZ_CHECK(bom_of(*stored) == bom_of(file));
    const Hotkey reread = load_settings(*stored);
    // A file with the selection section and no show/hide section reads as
    // Alt+W; once the store has added the show/hide section, a key it did
    // not write reads 0.
    const bool was_alt_w = loaded == kDefaultHotkey;
    if (modifier_valid) {
        FUZZ_CHECK(reread.modifier_code == kModifierChoices[static_cast<std::size_t>(modifier_index)].code);
    } else {
        FUZZ_CHECK(reread.modifier_code == loaded.modifier_code || (was_alt_w && reread.modifier_code == 0));
    }
    if (key_valid) {
        FUZZ_CHECK(reread.key_code == kKeyChoices[static_cast<std::size_t>(key_index)].code);
    } else {
        FUZZ_CHECK(reread.key_code == loaded.key_code || (was_alt_w && reread.key_code == 0));
    }
    FUZZ_CHECK(store_settings(*stored, modifier_index, key_index) == stored);
    FUZZ_CHECK(load_selection_settings(*stored) == load_selection_settings(file));

    // "复原": the next start has Alt+W, and the selection hotkey stays as it was.
    const std::optional<std::string> reset = reset_settings(file);
    FUZZ_CHECK(file == original);
    if (reset) {
        FUZZ_CHECK(bom_of(*reset) == bom_of(file));
        FUZZ_CHECK(load_settings(*reset) == kDefaultHotkey);
        FUZZ_CHECK(load_selection_settings(*reset) == load_selection_settings(file));
    } else {
        FUZZ_CHECK(!load_selection_settings(file));
    }
    return 0;
}
