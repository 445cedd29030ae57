// Setup.ini, beside the executable: section "快捷键设置", keys "功能键" (the
// modifier code) and "键代码" (the key code), both decimal texts, for the
// show/hide hotkey; section "划词搜索", the same two keys, for the optional
// hotkey that searches the selected text; sections "搜索记录" and "搜索建议",
// key "开启" (1 on, 0 off), for the tray menu's two switches of the list
// under the keyword box.
//
// These functions work on the file's bytes; opening, reading, writing and
// deleting the file is the Win32 side's job. That keeps every rule testable
// here, and makes it plain that loading never writes anything.
//
// The rules are those of the platform's INI reader (GetPrivateProfileString),
// with the file read as GBK (code page 936) whatever the system's language:
//   - lines end in CRLF, LF or a lone CR; blanks (space, tab) around a line,
//     around a section or key name and around "=" do not count; a line whose
//     first character is ";" is a comment;
//   - section and key names compare case-insensitively for ASCII letters;
//   - "[name]" opens a section (text after "]" is ignored); a line with no "="
//     is a key with an empty value; lines before the first section belong to
//     no section;
//   - only the first section of a name counts, and in it the first line of
//     each key, as the platform's reader does; a key that appears only in a
//     later copy of the section is missing;
//   - a value enclosed in a pair of double or single quotes loses them;
//   - a file that starts with a UTF-8 byte order mark is UTF-8, one that
//     starts with a UTF-16 LE or BE mark is UTF-16 of that byte order.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hotkey/hotkey_keys.h"
#include "text/code_page.h"

namespace velvane {

inline constexpr std::string_view kSettingsFileName = "Setup.ini";

// A switch of the tray menu: a section and its key.
struct SettingName {
    std::string_view section;
    std::string_view key;
};
inline constexpr SettingName kRememberHistorySetting{"搜索记录", "开启"};
inline constexpr SettingName kShowSuggestionsSetting{"搜索建议", "开启"};

// The show/hide hotkey the file stores. No file (nullopt) means Alt+W; so
// does a file with a "划词搜索" section and no "快捷键设置" section (that is
// how a person turns on the selection hotkey alone). Any other file that
// lacks the section or a key gives 0 for what is missing, so an empty file
// gives 0 and 0.
//
// A value converts as a decimal number the way a Val()-style conversion
// reads it: leading blanks, an optional sign, digits, an optional fraction
// and an optional exponent ("1e9" is 1000000000, "1.5e1" is 15), stopping at
// the first character that does not fit ("4W" is 4, "8 7" is 8). The number
// is truncated toward zero ("87.9" is 87, "-87.9" is -87) and a number beyond
// the 32-bit range saturates at its end ("99999999999" is 2147483647). Text
// with no digit where the number starts is 0: "", "W", "0x57", "&H57".
//
// A file that cannot be read should be passed as empty bytes: the platform's
// reader then returns its defaults, which is 0 and 0.
Hotkey load_settings(std::optional<std::string_view> file_bytes);

// The selection hotkey ("划词搜索"), read by the same rules as the show/hide
// hotkey; nullopt when it is off: no file, no section, or a key code of 0
// (which a missing or unreadable "键代码" gives).
std::optional<Hotkey> load_selection_settings(std::optional<std::string_view> file_bytes);

// The whole new content of Setup.ini after the dialog's "确定" with these
// list indexes (kModifierChoices, kKeyChoices). Pass the current content, or
// empty bytes when there is no file.
//
// "功能键" is written first, then "键代码"; an index outside its list writes
// nothing for that key, and when neither index is in its list the result is
// nullopt: the file must be left as it is (and not created).
//
// A key already in the section gets its value replaced in place; a missing
// key goes after the section's last key line; a missing section goes at the
// end of the file. Every other byte of the file stays as it was: other
// sections, comments, blank lines, the line-break style (new lines copy the
// file's first line break), the byte order mark and encoding. A new file is
// GBK with CRLF line breaks.
//
// Both values arrive in one piece of content, so the caller can make the
// change all or nothing: write it to a temporary file beside Setup.ini and
// move that over Setup.ini, rather than writing the file in two steps that
// could stop half way with only "功能键" changed.
[[nodiscard]] std::optional<std::string> store_settings(std::string_view file_bytes, int modifier_index, int key_index);

// What the dialog's "复原" does to the file: nullopt when the file is to be
// deleted, otherwise its whole new content.
//
// Deleting the file gives Alt+W at the next start, but would also take
// whatever else the file holds (the selection hotkey, another program's
// settings, a note the user wrote). So the file is deleted only when nothing
// but the "快捷键设置" section would go with it: blank lines anywhere, and
// comments and keys inside that section (in any copy of it). Anything else —
// another section, a comment or key line before the first section — keeps
// the file, and "功能键"=4, "键代码"=87 are stored into the section instead,
// as store_settings does: all or nothing, every other byte kept.
[[nodiscard]] std::optional<std::string> reset_settings(std::string_view file_bytes);

// The number a key of a section holds (UTF-8 names), read by the same rules
// as the hotkey's; nullopt when there is no file, section or key.
std::optional<std::int32_t> load_setting(std::optional<std::string_view> file_bytes, std::string_view section,
                                         std::string_view key, const CodePages& code_pages = system_code_pages());

// The whole new content of Setup.ini with `key`=`value` (value ASCII) in
// `section`, by the rules of store_settings: the key's value replaced in
// place, a missing key after the section's last key line, a missing section
// at the end; every other byte, the encoding and the line breaks kept. Pass
// nullopt when there is no file. Nullopt when a name is empty or GBK cannot
// hold it.
//
// Where the hotkey is Alt+W without a "快捷键设置" section (no file: the new
// file would otherwise mean no hotkey; or only the selection hotkey's
// section), "功能键"=4 and "键代码"=87 are stored into a new "快捷键设置"
// section first, so that Velvane's own write never turns Alt+W off, for this
// version or any other that reads the file. A file a person wrote without the
// section (an empty file, say: no hotkey) keeps meaning what it meant.
[[nodiscard]] std::optional<std::string> store_setting(std::optional<std::string_view> file_bytes,
                                                       std::string_view section, std::string_view key,
                                                       std::string_view value,
                                                       const CodePages& code_pages = system_code_pages());

}  // namespace velvane
