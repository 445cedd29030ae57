// Setup.ini on disk for the hotkey settings dialog: the whole change written
// at once, or the file deleted. Each says whether it worked, so that the
// dialog never claims a change that did not happen.
#pragma once

#include <string>

namespace velvane {

// Stores the two list choices of the dialog (kModifierChoices, kKeyChoices)
// in the file at `settings_path`, keeping every other line of it. All or
// nothing: the new content goes to a temporary file beside it, which then
// replaces the file in one move. False when nothing was stored: the directory
// is not writable, the file is read-only or held open by another program, or
// an existing file could not be read; the file is then as it was.
bool write_hotkey_settings(const std::wstring& settings_path, int modifier_index, int key_index);

// Gives Alt+W at the next start: deletes the file when it holds nothing but
// the "快捷键设置" section, and otherwise stores Alt+W into that section,
// keeping the rest (the selection hotkey among it), all or nothing as above.
// True when that worked, also when there was no file; false when the file
// could not be read, written or deleted.
bool reset_hotkey_settings(const std::wstring& settings_path);

}  // namespace velvane
