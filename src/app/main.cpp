// Program start: the main window, then the message loop until it is gone.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "win/handles.h"
#include "win/launch.h"

namespace {

constexpr wchar_t kInstanceMutex[] = L"Local\\Velvane.SingleInstance";

// Takes the single-instance lock, which the running instance holds while its
// window exists. A second start shows the running instance's window instead of
// adding a second tray icon and a second, failing hotkey registration, and gets
// no lock. An instance still creating its window is waited for; one that is
// ending lets go of the lock once its window is gone, and this start then goes
// on as the only one.
[[nodiscard]] std::optional<velvane::UniqueHandle> take_instance_lock() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        velvane::UniqueHandle lock(CreateMutexW(nullptr, FALSE, kInstanceMutex));
        if (!lock || GetLastError() != ERROR_ALREADY_EXISTS) return lock;  // without a lock object, run unguarded
        lock.reset();
        if (HWND running = FindWindowW(VELVANE_MAIN_WINDOW_CLASS, nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(running, &process);
            AllowSetForegroundWindow(process);
            PostMessageW(running, velvane::MainWindow::show_request_message(), 0, 0);
            return std::nullopt;
        }
        Sleep(100);
    }
    return std::nullopt;
}

// DLLs loaded by name come from the system directory only, never from the
// current or program directory where a planted copy could wait. Windows 7 has
// SetDefaultDllDirectories only with its DLL-directory update, so it is looked
// up at run time (a static import would stop the program from starting there);
// without it, the current directory at least leaves the search path.
void restrict_dll_search() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll")) {
        const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
        if (set_default) set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    restrict_dll_search();

    std::optional<velvane::UniqueHandle> instance_lock = take_instance_lock();
    if (!instance_lock) return 0;

    // The accessibility service that names the keyword boxes is a COM object.
    const velvane::ComApartment com;

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    const std::unique_ptr<velvane::MainWindow> window = velvane::MainWindow::create(instance, show);
    if (!window) return 1;
    HWND main = window->hwnd();

    // The program sleeps until a message comes or the window's wait handle
    // (the folder watch of Engines.ini) is signalled: nothing wakes it while
    // nothing happens.
    MSG msg = {};
    for (bool running = true; running;) {
        HANDLE handle = window->wait_handle();
        const DWORD handles = handle ? 1 : 0;
        const DWORD woken = MsgWaitForMultipleObjectsEx(handles, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        // (A handle that cannot be waited for is given up there.)
        if (handles == 1 && (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)) window->on_wait_handle_signalled();
        // Every message waiting, also after the handle: a handle signalled
        // again and again never holds the window's messages up.
        while (running && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                running = false;
                break;
            }
            // Tab, Shift+Tab and the arrow keys move between the page's controls.
            if (IsWindow(main) && (window->pre_translate(msg) || IsDialogMessageW(main, &msg))) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The window is gone: a new start may begin while the last searches are handed on.
    instance_lock.reset();
    velvane::finish_launches();
    return 0;
}
