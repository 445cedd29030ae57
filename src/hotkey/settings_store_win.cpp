#include "hotkey/settings_store_win.h"

#include <optional>
#include <string>
#include <utility>

#include "hotkey/settings_file.h"
#include "win/file_win.h"

namespace velvane {
namespace {

// Far beyond any real Setup.ini; a file this big is neither read nor rewritten.
constexpr std::size_t kMaxSettingsBytes = 16 * 1024 * 1024;

// The file's bytes as the loaders take them: nullopt when there is no file,
// empty bytes when it is there but cannot be read (the platform's INI reader
// then gives its defaults).
std::optional<std::string> settings_bytes(const std::wstring& settings_path) {
    FileBytes file = read_file_bytes(settings_path, kMaxSettingsBytes);
    if (file.status == FileStatus::Missing) return std::nullopt;
    return std::move(file.bytes);
}

}  // namespace

Hotkey load_hotkey(const std::wstring& settings_path) { return load_settings(settings_bytes(settings_path)); }

std::optional<Hotkey> load_selection_hotkey(const std::wstring& settings_path) {
    return load_selection_settings(settings_bytes(settings_path));
}

bool write_hotkey_settings(const std::wstring& settings_path, int modifier_index, int key_index) {
    // An existing file that cannot be read is not rewritten from nothing: that
    // would lose whatever else it holds.
    const FileBytes current = read_file_bytes(settings_path, kMaxSettingsBytes);
    if (current.status == FileStatus::Unreadable) return false;
    const std::optional<std::string> content = store_settings(current.bytes, modifier_index, key_index);
    // Neither index names a choice: there is nothing to store.
    if (!content) return false;
    return replace_file(settings_path, *content);
}

bool reset_hotkey_settings(const std::wstring& settings_path) {
    // Read first: a file that holds more than the hotkey keeps the rest.
    const FileBytes current = read_file_bytes(settings_path, kMaxSettingsBytes);
    if (current.status == FileStatus::Unreadable) return false;
    if (const std::optional<std::string> content = reset_settings(current.bytes))
        return replace_file(settings_path, *content);
    return delete_file(settings_path);
}

bool load_switch(const std::wstring& settings_path, const SettingName& setting) {
    const std::optional<std::int32_t> value = load_setting(settings_bytes(settings_path), setting.section, setting.key);
    return value.value_or(0) != 0;
}

bool write_switch(const std::wstring& settings_path, const SettingName& setting, bool on) {
    const FileBytes current = read_file_bytes(settings_path, kMaxSettingsBytes);
    if (current.status == FileStatus::Unreadable) return false;
    const std::optional<std::string_view> before =
        current.status == FileStatus::Missing ? std::nullopt : std::optional<std::string_view>(current.bytes);
    const std::optional<std::string> content = store_setting(before, setting.section, setting.key, on ? "1" : "0");
    return content && replace_file(settings_path, *content);
}

}  // namespace velvane
