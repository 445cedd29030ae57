// Control identifiers of the hotkey settings dialog "快捷键设置", shared with
// the end-to-end tests (which find the controls with GetDlgItem). No
// <windows.h> here.
#pragma once

namespace velvane::settings_dialog_ids {

inline constexpr int kModifierList = 101;  // the modifier list
inline constexpr int kPlusLabel = 102;     // the "+" between the lists
inline constexpr int kKeyList = 103;       // the key list
// "确定" is the dialog's default button: Enter presses it. Its id is IDOK.
inline constexpr int kStoreButton = 1;
inline constexpr int kResetButton = 104;  // "复原"

}  // namespace velvane::settings_dialog_ids
