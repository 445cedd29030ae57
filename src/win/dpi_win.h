// Screen DPI for windows laid out in 96-DPI pixels. Windows 7 lacks the
// per-monitor functions, so they are looked up at run time.
#pragma once

#include <windows.h>

namespace velvane {

// The DPI of the monitor the window is on (the system DPI where the platform
// cannot tell per monitor).
UINT dpi_for_window(HWND hwnd);

UINT system_dpi();

// The system's message font ("the window's default font") at this DPI.
LOGFONTW message_font(UINT dpi);

// A 96-DPI length at this DPI.
inline int scale_for_dpi(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }

// Moves a window to the rectangle WM_DPICHANGED suggests for the new DPI,
// leaving its place in the Z order and the activation as they are.
inline void move_to_suggested_rect(HWND window, const RECT& suggested) {
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace velvane
