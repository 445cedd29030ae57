// The about window: a borderless, topmost picture; a left click opens the
// author's web site and closes it.
#pragma once

#include <windows.h>

namespace velvane {

// Shows the window modally (owner may be null or hidden) and returns when it
// has closed.
void show_about_window(HINSTANCE instance, HWND owner);

}  // namespace velvane
