// Setup.ini on disk: read at start for the hotkey, and written or deleted by
// the hotkey settings dialog. Each change says whether it worked, so that the
// dialog never claims a change that did not happen.
#pragma once

#include <optional>
#include <string>

#include "hotkey/hotkey_keys.h"
#include "hotkey/settings_file.h"

namespace velvane {

// The hotkey Setup.ini at this path stores, or Alt+W when there is no file.
// A file that is there but cannot be read gives what the platform's INI
// reader gives for it (0 and 0). Reading never creates or changes the file.
Hotkey load_hotkey(const std::wstring& settings_path);

// The selection hotkey Setup.ini at this path stores; nullopt when it is off.
std::optional<Hotkey> load_selection_hotkey(const std::wstring& settings_path);

// Stores the two list choices of the dialog (kModifierChoices, kKeyChoices)
// in the file at `settings_path`, keeping every other line of it. All or
// nothing: the new content goes to a new temporary file beside it, which then
// replaces the file (keeping its attributes and security) or, where there is
// none, takes its name. False when nothing was stored: the directory
// is not writable, the file is read-only or held open by another program, or
// an existing file could not be read; the file is then as it was.
[[nodiscard]] bool write_hotkey_settings(const std::wstring& settings_path, int modifier_index, int key_index);

// Gives Alt+W at the next start: deletes the file when it holds nothing but
// the "快捷键设置" section, and otherwise stores Alt+W into that section,
// keeping the rest (the selection hotkey among it), all or nothing as above.
// True when that worked, also when there was no file; false when the file
// could not be read, written or deleted.
[[nodiscard]] bool reset_hotkey_settings(const std::wstring& settings_path);

// Whether a switch of the tray menu (settings_file.h) is on: its key holds
// a number other than 0. Off when there is no file, section or key.
bool load_switch(const std::wstring& settings_path, const SettingName& setting);

// Stores a switch (1 or 0) in its section, keeping every other byte of the
// file, all or nothing as above; where Setup.ini had meant Alt+W without a
// "快捷键设置" section (no file), that section is written too. False when
// nothing was stored.
[[nodiscard]] bool write_switch(const std::wstring& settings_path, const SettingName& setting, bool on);

}  // namespace velvane
