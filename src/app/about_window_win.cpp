#include "app/about_window_win.h"

namespace velvane {

void show_about_window(HINSTANCE, HWND) {}

}  // namespace velvane
