// Program start: the main window, then the message loop until it is gone.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "app/control_ids.h"
#include "app/main_window.h"
#include "win/handles.h"
#include "win/launch.h"

namespace {

constexpr wchar_t kInstanceMutex[] = L"Local\\Velvane.SingleInstance";

// How this start ends when another instance runs: its window shown, or the
// command line's request taken or refused there.
enum class HandOver { Taken, Refused, Failed };

// A second start's command line goes to the running instance's window,
// shown, hidden or minimised alike, which reads it as this start would have.
HandOver hand_over(HWND running, std::wstring_view command_line, bool has_request) {
    if (!has_request) {
        PostMessageW(running, velvane::MainWindow::show_request_message(), 0, 0);
        return HandOver::Taken;
    }
    const std::size_t units = std::min(command_line.size(), velvane::MainWindow::kCommandLineMaxUnits);
    COPYDATASTRUCT data = {};
    data.dwData = velvane::MainWindow::kCommandLineData;
    data.cbData = static_cast<DWORD>(units * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(command_line.data());
    DWORD_PTR taken = FALSE;
    if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 10000, &taken))
        return HandOver::Failed;
    return taken ? HandOver::Taken : HandOver::Refused;
}

// Takes the single-instance lock, which the running instance holds while its
// window exists. A second start hands its command line to the running instance
// (or just shows its window) instead of adding a second tray icon and a
// second, failing hotkey registration, and gets no lock. An instance still
// creating its window is waited for; one that is ending lets go of the lock
// once its window is gone, and this start then goes on as the only one.
[[nodiscard]] std::optional<velvane::UniqueHandle> take_instance_lock(std::wstring_view command_line, bool has_request,
                                                                      HandOver& hand_over_result) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        velvane::UniqueHandle lock(CreateMutexW(nullptr, FALSE, kInstanceMutex));
        if (!lock || GetLastError() != ERROR_ALREADY_EXISTS) return lock;  // without a lock object, run unguarded
        lock.reset();
        if (HWND running = FindWindowW(VELVANE_MAIN_WINDOW_CLASS, nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(running, &process);
            AllowSetForegroundWindow(process);
            hand_over_result = hand_over(running, command_line, has_request);
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

    // A wrong command line searches nothing and starts nothing: the box says
    // what is wrong and what is right. Exit codes for scripts: 0 done,
    // 2 a wrong command line (or a page the running instance has not), 1 failed.
    const std::wstring_view command_line = GetCommandLineW();
    const velvane::CommandLineReading reading = velvane::read_command_line(
        std::u16string_view(reinterpret_cast<const char16_t*>(command_line.data()), command_line.size()));
    if (reading.help || !reading.problem.empty()) {
        const std::u16string text = velvane::command_line_help(reading.problem);
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Velvane",
                    MB_OK | MB_SETFOREGROUND | (reading.help ? MB_ICONINFORMATION : MB_ICONWARNING));
        return reading.help ? 0 : 2;
    }

    HandOver hand_over_result = HandOver::Taken;
    std::optional<velvane::UniqueHandle> instance_lock =
        take_instance_lock(command_line, reading.request.has_value(), hand_over_result);
    if (!instance_lock) return hand_over_result == HandOver::Taken ? 0 : hand_over_result == HandOver::Refused ? 2 : 1;

    // The accessibility service that names the keyword boxes is a COM object.
    const velvane::ComApartment com;

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // A search asked for at once leaves the window where a search by the
    // hotkey's window would: in the tray, until it is called.
    const bool search_now = reading.request && reading.request->search_now;
    const std::unique_ptr<velvane::MainWindow> window =
        velvane::MainWindow::create(instance, search_now ? SW_HIDE : show, reading.request);
    if (!window) return 1;
    HWND main = window->hwnd();

    // The program sleeps until a message comes: nothing wakes it while
    // nothing happens.
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and the arrow keys move between the page's controls.
        if (IsWindow(main) && (window->pre_translate(msg) || IsDialogMessageW(main, &msg))) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // The window is gone: a new start may begin while the last searches are handed on.
    instance_lock.reset();
    velvane::finish_launches();
    return 0;
}
