// The floors the benchmarks hold Velvane against: the smallest programs of its
// kind, built with the same toolchain and flags. Built twice from this file:
//
//   floor.exe       the empty floor: one window with a tab control and one
//                   edit box, the least a window of this kind costs (the
//                   floor for memory);
//   fair_floor.exe  (FLOOR_FAIR) the fair floor: Velvane's window done
//                   plainly. The same window (icon, extended styles,
//                   positions scaled to the screen's DPI), the tab control
//                   with the seven tabs and their image list, and the pages
//                   built from the same engine tables, in Velvane's fonts,
//                   positions and styles, as siblings of the tab control
//                   above it: the start page at start, every other page on
//                   its first visit. No subclassing, no accessibility names,
//                   no dialog keyboard handling, no tray icon, no watch of
//                   Engines.ini. Ctrl+Tab and Ctrl+Shift+Tab switch pages.
//
// Both show themselves, toggle their visibility on Alt+W, and end on
// WM_CLOSE. Enter in the keyword box opens a URL with the text with the
// shell, once: the least a search can cost, so that the figures after
// searches compare like with like.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#ifdef FLOOR_FAIR
#include <algorithm>
#include <span>
#include <string_view>

#include "app/control_ids.h"
#include "engines/engines.h"
#include "resources/resource.h"
#endif

namespace {

constexpr int kHotkeyId = 1;
HWND g_tab = nullptr;
UINT g_dpi = 96;

#ifdef FLOOR_FAIR
constexpr wchar_t kClass[] = L"VelvaneBenchFairFloor";
// Velvane's window: its children are not painted over by its background, and
// Tab may walk into its controls' children.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

using velvane::Engine;
using velvane::Rect;
namespace ids = velvane::ids;

// The tab control at (8, 8) of the client area, 456 x 136, at 96 DPI; page
// controls lie where they would within it (siblings of it, above it).
constexpr Rect kTabRect = {8, 8, 456, 136};

struct Page {
    bool built = false;
    HWND controls[32] = {};  // every control of the page that is shown and hidden with it
    int count = 0;
    HWND radios[20] = {};
    int radio_count = 0;
    HWND edit = nullptr;
    HWND group_box = nullptr;
};

std::span<const Engine* const> g_engines;
Page g_pages[8];
int g_current = -1;
HFONT g_tab_font = nullptr, g_radio_font = nullptr, g_message_font = nullptr;
HFONT g_keyword_fonts[32] = {};  // by pixel height at 96 DPI
HBRUSH g_white = nullptr;
HIMAGELIST g_images = nullptr;

int px(int value) { return MulDiv(value, static_cast<int>(g_dpi), 96); }

HFONT simsun(int pixel_height) {
    return CreateFontW(-px(pixel_height), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

HFONT keyword_font(int pixel_height) {
    const int slot = pixel_height > 0 && pixel_height < 32 ? pixel_height : 15;
    if (!g_keyword_fonts[slot]) g_keyword_fonts[slot] = simsun(slot);
    return g_keyword_fonts[slot];
}

// The tables' captions are UTF-8; an & is shown as itself.
void caption(std::string_view utf8, wchar_t* out, int size) {
    wchar_t text[64] = {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text, 63);
    int o = 0;
    for (int i = 0; i < n && o + 2 < size; ++i) {
        if (text[i] == L'&') out[o++] = L'&';
        out[o++] = text[i];
    }
    out[o] = L'\0';
}

HWND make(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, DWORD ex_style, int id, const Rect& r,
          POINT origin, HFONT font) {
    wchar_t wide[128];
    caption(text, wide, 128);
    HWND control =
        CreateWindowExW(ex_style, cls, wide, WS_CHILD | style, px(origin.x) + px(r.left), px(origin.y) + px(r.top),
                        px(r.width), px(r.height), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// Page p's controls from its table, hidden; the radios checked as at start.
void build_page(HWND hwnd, int p) {
    const Engine& engine = *g_engines[static_cast<std::size_t>(p)];
    Page& page = g_pages[p];
    page.built = true;
    const POINT origin = {kTabRect.left, kTabRect.top};
    for (std::size_t r = 0; r < engine.radios.size() && r < 20; ++r) {
        HWND radio =
            make(hwnd, WC_BUTTONW, engine.radios[r].caption, BS_AUTORADIOBUTTON | (r == 0 ? WS_GROUP | WS_TABSTOP : 0),
                 0, ids::radio(p, static_cast<int>(r)), engine.radios[r].rect, origin, g_radio_font);
        if (r == engine.radio_checked_at_start) SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
        page.radios[page.radio_count++] = radio;
        page.controls[page.count++] = radio;
    }
    if (!engine.list.empty()) {
        Rect rect = engine.list_rect;
        rect.height = static_cast<short>(rect.height + static_cast<int>(engine.list.size()) * 18 + 8);
        HWND list = make(hwnd, WC_COMBOBOXW, {}, CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0, ids::list(p),
                         rect, origin, g_message_font);
        for (const velvane::ListItem& item : engine.list) {
            wchar_t text[64];
            caption(item.caption, text, 64);
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        page.controls[page.count++] = list;
    }
    page.edit = make(hwnd, WC_EDITW, {}, ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP, WS_EX_CLIENTEDGE, ids::edit(p),
                     engine.edit_rect, origin, keyword_font(engine.keyword_font_px));
    SendMessageW(page.edit, EM_SETLIMITTEXT, ids::kKeywordMaxChars, 0);
    page.controls[page.count++] = page.edit;
    page.controls[page.count++] = make(hwnd, WC_BUTTONW, engine.button_caption, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP,
                                       0, ids::button(p), engine.button_rect, origin, g_message_font);
    if (const velvane::ExtraButton* extra = engine.extra_button)
        page.controls[page.count++] = make(hwnd, WC_BUTTONW, extra->caption, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0,
                                           ids::extra_button(p), extra->rect, origin, g_message_font);
    if (const velvane::LanguageRow* row = engine.language_row) {
        page.group_box = make(hwnd, WC_BUTTONW, {}, BS_GROUPBOX | WS_GROUP, WS_EX_CONTROLPARENT, ids::group_box(p),
                              row->rect, origin, g_message_font);
        for (std::size_t l = 0; l < row->radios.size(); ++l) {
            HWND radio = make(page.group_box, WC_BUTTONW, row->radios[l].caption,
                              BS_AUTORADIOBUTTON | WS_VISIBLE | (l == 0 ? WS_GROUP | WS_TABSTOP : 0), 0,
                              ids::language(p, static_cast<int>(l)), row->radios[l].rect, POINT{0, 0}, g_message_font);
            if (l == row->checked_at_start) SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
        }
        page.controls[page.count++] = page.group_box;
    }
}

// Shows page p, built on its first visit; the tab control goes back below
// new controls, which join the bottom of the Z order.
void show_page(HWND hwnd, int p) {
    if (p == g_current) return;
    if (g_current >= 0)
        for (int c = 0; c < g_pages[g_current].count; ++c) ShowWindow(g_pages[g_current].controls[c], SW_HIDE);
    const bool build = !g_pages[p].built;
    if (build) build_page(hwnd, p);
    for (int c = 0; c < g_pages[p].count; ++c) ShowWindow(g_pages[p].controls[c], SW_SHOWNA);
    if (build) SetWindowPos(g_tab, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    g_current = p;
    SendMessageW(g_tab, TCM_SETCURSEL, static_cast<WPARAM>(p), 0);
    SetFocus(g_pages[p].edit);
}

HWND keyword_box() { return g_current >= 0 ? g_pages[g_current].edit : nullptr; }

UINT screen_dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void create_controls(HWND hwnd, HINSTANCE instance) {
    g_engines = velvane::all_engines();
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    g_message_font = CreateFontIndirectW(&metrics.lfMessageFont);
    g_tab_font = simsun(12);
    g_radio_font = simsun(14);
    g_white = CreateSolidBrush(RGB(255, 255, 255));

    g_tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, px(kTabRect.left),
                            px(kTabRect.top), px(kTabRect.width), px(kTabRect.height), hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kTabControl)), instance, nullptr);
    SendMessageW(g_tab, WM_SETFONT, reinterpret_cast<WPARAM>(g_tab_font), FALSE);
    g_images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 0);
    if (HBITMAP strip = static_cast<HBITMAP>(
            LoadImageW(instance, MAKEINTRESOURCEW(IDB_TAB_IMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {
        ImageList_Add(g_images, strip, nullptr);
        DeleteObject(strip);
    }
    SendMessageW(g_tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(g_images));
    int start = 0;
    for (std::size_t p = 0; p < g_engines.size() && p < 8; ++p) {
        const Engine& engine = *g_engines[p];
        if (engine.shown_at_start && start == 0) start = static_cast<int>(p);
        wchar_t text[64];
        caption(engine.tab_caption, text, 64);
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = text;
        item.iImage = engine.image;
        SendMessageW(g_tab, TCM_INSERTITEMW, p, reinterpret_cast<LPARAM>(&item));
    }
    show_page(hwnd, start);
}

int page_count() { return static_cast<int>(std::min<std::size_t>(g_engines.size(), 8)); }

LRESULT page_message(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, bool& handled) {
    handled = false;
    if (msg == WM_CTLCOLORSTATIC && g_current >= 0) {
        // The category radios: black text on white, as Velvane's.
        const Page& page = g_pages[g_current];
        for (int r = 0; r < page.radio_count; ++r) {
            if (page.radios[r] == reinterpret_cast<HWND>(lparam)) {
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
            show_page(hwnd, static_cast<int>(SendMessageW(g_tab, TCM_GETCURSEL, 0, 0)));
    }
    return 0;
}

// Ctrl+Tab and Ctrl+Shift+Tab from anywhere in the window.
bool switch_key(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || GetKeyState(VK_CONTROL) >= 0 || g_current < 0)
        return false;
    const int n = page_count();
    show_page(GetAncestor(msg.hwnd, GA_ROOT), (g_current + (GetKeyState(VK_SHIFT) < 0 ? n - 1 : 1)) % n);
    return true;
}

void set_window_class(WNDCLASSEXW& wc, HINSTANCE instance) {
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELVANE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VELVANE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
}
#else
constexpr wchar_t kClass[] = L"VelvaneBenchFloor";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;
HWND g_edit = nullptr;
int px(int value) { return value; }
UINT screen_dpi() { return 96; }

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

void set_window_class(WNDCLASSEXW&, HINSTANCE) {}
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
    set_window_class(wc, instance);
    if (!RegisterClassExW(&wc)) return 1;
    g_dpi = screen_dpi();
    HWND hwnd = CreateWindowExW(kWindowExStyle, kClass, L"Floor", kWindowStyle, px(50), px(50), px(480), px(177),
                                nullptr, nullptr, instance, nullptr);
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
