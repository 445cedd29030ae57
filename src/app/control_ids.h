// Control identifiers of the main window, shared with the end-to-end tests
// (which find controls with GetDlgItem). No <windows.h> here.
#pragma once

#include "resources/resource.h"

namespace velvane::ids {

inline constexpr int kTabControl = 100;  // the tab control
// The list box of the list under the keyword box (in a pop-up of its own).
inline constexpr int kKeywordList = 110;

// Page p's controls are kPageBase + p * kPageStride + slot.
inline constexpr int kPageBase = 1000;
inline constexpr int kPageStride = 100;
inline constexpr int kRadioSlot = 0;         // category radios: slot 0 + radio index (up to 20)
inline constexpr int kListSlot = 40;         // the page's list of more categories
inline constexpr int kEditSlot = 41;         // the keyword box
inline constexpr int kButtonSlot = 42;       // the search button
inline constexpr int kExtraButtonSlot = 43;  // Google's lucky button
inline constexpr int kGroupBoxSlot = 44;     // the frame of Google's language row
inline constexpr int kLanguageSlot = 50;     // language radios: slot 50 + index

// The most characters a keyword box takes: more than any search needs, and
// what a browser's address can still carry once the keyword is encoded.
inline constexpr int kKeywordMaxChars = 2000;

constexpr int page_control(int page, int slot) { return kPageBase + page * kPageStride + slot; }
constexpr int radio(int page, int index) { return page_control(page, kRadioSlot + index); }
constexpr int list(int page) { return page_control(page, kListSlot); }
constexpr int edit(int page) { return page_control(page, kEditSlot); }
constexpr int button(int page) { return page_control(page, kButtonSlot); }
constexpr int extra_button(int page) { return page_control(page, kExtraButtonSlot); }
constexpr int group_box(int page) { return page_control(page, kGroupBoxSlot); }
constexpr int language(int page, int index) { return page_control(page, kLanguageSlot + index); }

}  // namespace velvane::ids

// The main window's class name, so that tests and a second instance find it.
#define VELVANE_MAIN_WINDOW_CLASS L"VelvaneMainWindow"
// The pop-up that holds the list under the keyword box, owned by the main window.
#define VELVANE_KEYWORD_LIST_CLASS L"VelvaneKeywordList"
