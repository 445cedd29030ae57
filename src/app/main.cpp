// Program start: the main window, then the message loop until it is gone.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window.h"
#include "search/launch.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    velvane::MainWindow* window = velvane::MainWindow::create(instance, show);
    if (!window) return 1;
    HWND main = window->hwnd();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and the arrow keys move between the page's controls.
        if (IsWindow(main) && IsDialogMessageW(main, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    velvane::finish_launches();
    return 0;
}
