// The floors the benchmarks hold Velvane against: the smallest programs of its
// kind, built with the same toolchain and flags. Built twice from this file:
//
//   floor.exe       the empty floor: one window with a tab control and one
//                   edit box, the least a window of this kind costs;
//   page_floor.exe  (FLOOR_PAGES) the page floor: the same window with two
//                   pages of the 百度 page's controls (eight radios, the list
//                   with its six items, the keyword box, the button, in
//                   Velvane's fonts, positions and styles), created plainly as
//                   siblings of the tab control (children of the window, above
//                   the tab control) with no subclassing, the least such a
//                   page costs to show. Ctrl+Tab switches between the pages.
//
// Both show themselves, toggle their visibility on Alt+W, and end on
// WM_CLOSE. Enter in the keyword box opens a URL with the text with the
// shell, once: the least a search can cost, so that the figures after
// searches compare like with like. Sizes are in pixels at 96 DPI, the
// benchmark's.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

namespace {

constexpr int kHotkeyId = 1;
HWND g_tab = nullptr;

#ifdef FLOOR_PAGES
constexpr wchar_t kClass[] = L"VelvaneBenchPageFloor";
// As Velvane's window: its children are not painted over by its background.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Velvane's page controls lie in the tab control, which lies at (8, 8) in the window.
constexpr int kPageLeft = 8, kPageTop = 8;
constexpr int kPages = 2;
constexpr int kRadios = 8;
struct PageText {
    const wchar_t* tab;
    const wchar_t* radios[kRadios];
    const wchar_t* list[6];
    const wchar_t* button;
};
constexpr PageText kPageTexts[kPages] = {
    {L"百度",
     {L"网页", L"新闻", L"贴吧", L"知道", L"百科", L"MP3", L"图片", L"视频"},
     {L"影视", L"游戏", L"空间", L"有啊", L"词典", L"指数"},
     L"百度一下"},
    {L"搜狗",
     {L"新闻", L"网页", L"音乐", L"图片", L"视频", L"地图", L"问问", L"说吧"},
     {L"购物", L"游戏", L"词典", L"博客", L"空间", L"百科"},
     L"搜 索"},
};

struct Page {
    HWND controls[kRadios + 3];  // the radios, the list, the keyword box, the button
    HWND edit;
};
Page g_pages[kPages] = {};
int g_current = 0;
HFONT g_radio_font = nullptr, g_edit_font = nullptr, g_tab_font = nullptr, g_default_font = nullptr;
HBRUSH g_white = nullptr;

HFONT simsun(int pixel_height) {
    return CreateFontW(-pixel_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

HWND make(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex_style, int x, int y, int w, int h,
          HFONT font, bool shown) {
    HWND control = CreateWindowExW(ex_style, cls, text, WS_CHILD | WS_CLIPSIBLINGS | (shown ? WS_VISIBLE : 0) | style,
                                   kPageLeft + x, kPageTop + y, w, h, parent, nullptr,
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void build_page(HWND hwnd, int index) {
    const PageText& text = kPageTexts[index];
    Page& page = g_pages[index];
    const bool shown = index == g_current;
    int n = 0;
    for (int r = 0; r < kRadios; ++r) {
        HWND radio = make(hwnd, WC_BUTTONW, text.radios[r], BS_AUTORADIOBUTTON | (r == 0 ? WS_GROUP | WS_TABSTOP : 0),
                          0, 5 + 48 * r, 45, 48, 20, g_radio_font, shown);
        if (r == 0) SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
        page.controls[n++] = radio;
    }
    HWND list = make(hwnd, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0, 392, 45, 56,
                     20 + 6 * 18 + 8, g_default_font, shown);
    for (const wchar_t* item : text.list) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    page.controls[n++] = list;
    page.edit = make(hwnd, WC_EDITW, L"", ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP, WS_EX_CLIENTEDGE, 56, 80, 280, 24,
                     g_edit_font, shown);
    SendMessageW(page.edit, EM_SETLIMITTEXT, 0, 0);
    page.controls[n++] = page.edit;
    page.controls[n++] = make(hwnd, WC_BUTTONW, text.button, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 344, 80, 62, 24,
                              g_default_font, shown);
}

void show_page(int index) {
    if (index == g_current) return;
    for (HWND control : g_pages[g_current].controls) ShowWindow(control, SW_HIDE);
    for (HWND control : g_pages[index].controls) ShowWindow(control, SW_SHOWNA);
    g_current = index;
    SendMessageW(g_tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    SetFocus(g_pages[index].edit);
}

HWND keyword_box() { return g_pages[g_current].edit; }

void create_controls(HWND hwnd, HINSTANCE instance) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    g_default_font = CreateFontIndirectW(&metrics.lfMessageFont);
    g_radio_font = simsun(14);
    g_edit_font = simsun(14);
    g_tab_font = simsun(12);
    g_white = CreateSolidBrush(RGB(255, 255, 255));

    g_tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 8, 8, 456,
                            136, hwnd, nullptr, instance, nullptr);
    SendMessageW(g_tab, WM_SETFONT, reinterpret_cast<WPARAM>(g_tab_font), FALSE);
    for (int p = 0; p < kPages; ++p) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kPageTexts[p].tab);
        SendMessageW(g_tab, TCM_INSERTITEMW, static_cast<WPARAM>(p), reinterpret_cast<LPARAM>(&item));
    }
    for (int p = 0; p < kPages; ++p) build_page(hwnd, p);
    // The pages lie over the tab control: it sits at the bottom of the window's children.
    SetWindowPos(g_tab, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT page_message(HWND, UINT msg, WPARAM wparam, LPARAM lparam, bool& handled) {
    handled = false;
    if (msg == WM_CTLCOLORSTATIC) {
        // The radios: black text on white, as Velvane's.
        for (int r = 0; r < kRadios; ++r) {
            if (g_pages[g_current].controls[r] == reinterpret_cast<HWND>(lparam)) {
                HDC dc = reinterpret_cast<HDC>(wparam);
                SetTextColor(dc, RGB(0, 0, 0));
                SetBkColor(dc, RGB(255, 255, 255));
                handled = true;
                return reinterpret_cast<LRESULT>(g_white);
            }
        }
    } else if (msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->hwndFrom == g_tab && header->code == TCN_SELCHANGE)
            show_page(static_cast<int>(SendMessageW(g_tab, TCM_GETCURSEL, 0, 0)));
    }
    return 0;
}

// Ctrl+Tab and Ctrl+Shift+Tab from anywhere in the window.
bool switch_key(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || GetKeyState(VK_CONTROL) >= 0) return false;
    show_page((g_current + (GetKeyState(VK_SHIFT) < 0 ? kPages - 1 : 1)) % kPages);
    return true;
}
#else
constexpr wchar_t kClass[] = L"VelvaneBenchFloor";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
HWND g_edit = nullptr;

HWND keyword_box() { return g_edit; }

void create_controls(HWND hwnd, HINSTANCE instance) {
    g_tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 8, 8, 456, 136, hwnd,
                            nullptr, instance, nullptr);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"Floor");
    SendMessageW(g_tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 64,
                             88, 280, 24, hwnd, nullptr, instance, nullptr);
}

LRESULT page_message(HWND, UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

bool switch_key(const MSG&) { return false; }
#endif

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
    GetWindowTextW(keyword_box(), url + prefix, kSize - prefix);
    if (!PostThreadMessageW(g_launcher, kLaunchMessage, 0, reinterpret_cast<LPARAM>(url)))
        HeapFree(GetProcessHeap(), 0, url);
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    bool handled = false;
    const LRESULT result = page_message(hwnd, msg, wparam, lparam, handled);
    if (handled) return result;
    switch (msg) {
    case WM_CREATE:
        create_controls(hwnd, reinterpret_cast<CREATESTRUCTW*>(lparam)->hInstance);
        RegisterHotKey(hwnd, kHotkeyId, MOD_ALT | MOD_NOREPEAT, 'W');
        return 0;
    case WM_HOTKEY:
        if (IsWindowVisible(hwnd)) {
            ShowWindow(hwnd, SW_HIDE);
        } else {
            ShowWindow(hwnd, SW_SHOW);
            SetForegroundWindow(hwnd);
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(keyword_box());
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
    HWND hwnd =
        CreateWindowExW(0, kClass, L"Floor", kWindowStyle, 50, 50, 480, 177, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    SetFocus(keyword_box());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && msg.hwnd == keyword_box()) {
            launch_typed_text();
            continue;
        }
        if (switch_key(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
