// The floor the benchmarks hold Velvane against: the smallest program of its
// kind, built with the same toolchain and flags. One window with a tab control
// and one edit box; it shows itself, toggles its visibility on Alt+W, and ends
// on WM_CLOSE. Enter in the edit box opens a URL with the text with the
// shell, once: the least a search can cost, so that the figures after
// searches compare like with like.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kClass[] = L"VelvaneBenchFloor";
constexpr int kHotkeyId = 1;
HWND g_edit = nullptr;

// The shell's open runs on one thread of its own, as Velvane's does: it may
// take a while and may pump messages, and a nested message loop on the
// window's thread would hand the next Enter straight to the edit box. URLs
// reach it as thread messages.
constexpr UINT kLaunchMessage = WM_APP;
DWORD g_launcher = 0;

DWORD WINAPI launcher(void* ready) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here on
    SetEvent(static_cast<HANDLE>(ready));
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != kLaunchMessage) continue;
        auto* url = reinterpret_cast<wchar_t*>(msg.lParam);
        ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
        HeapFree(GetProcessHeap(), 0, url);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void launch_typed_text() {
    if (!g_launcher) {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ready) return;
        if (HANDLE thread = CreateThread(nullptr, 0, launcher, ready, 0, &g_launcher)) {
            WaitForSingleObject(ready, INFINITE);
            CloseHandle(thread);
        }
        CloseHandle(ready);
        if (!g_launcher) return;
    }
    constexpr int kSize = 4096;
    auto* url = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kSize * sizeof(wchar_t)));
    if (!url) return;
    lstrcpyW(url, L"http://www.example.com/s?q=");
    const int prefix = lstrlenW(url);
    GetWindowTextW(g_edit, url + prefix, kSize - prefix);
    if (!PostThreadMessageW(g_launcher, kLaunchMessage, 0, reinterpret_cast<LPARAM>(url))) HeapFree(GetProcessHeap(), 0, url);
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_CREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 8, 8, 456, 136,
                                   hwnd, nullptr, create->hInstance, nullptr);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(L"Floor");
        SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                 64, 88, 280, 24, hwnd, nullptr, create->hInstance, nullptr);
        RegisterHotKey(hwnd, kHotkeyId, MOD_ALT | MOD_NOREPEAT, 'W');
        return 0;
    }
    case WM_HOTKEY:
        if (IsWindowVisible(hwnd)) {
            ShowWindow(hwnd, SW_HIDE);
        } else {
            ShowWindow(hwnd, SW_SHOW);
            SetForegroundWindow(hwnd);
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(g_edit);
        return 0;
    case WM_DESTROY:
        UnregisterHotKey(hwnd, kHotkeyId);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    if (!RegisterClassExW(&wc)) return 1;
    HWND hwnd = CreateWindowExW(0, kClass, L"Floor", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 50, 50,
                                480, 177, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    SetFocus(g_edit);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && msg.hwnd == g_edit) {
            launch_typed_text();
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
