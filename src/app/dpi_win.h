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

}  // namespace velvane
