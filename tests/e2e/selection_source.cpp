// Another program with some text on screen, for the selection hotkey's
// tests: one window with a read-only edit box that holds the text given on
// the command line and has the focus whenever the window is active.
//
//   selection_source.exe [--nothing-selected] [--copy-after MS] [--class NAME] TEXT
//
// The whole text is selected, or with --nothing-selected none of it (the
// caret at its end). With --copy-after, the copy keys (Ctrl+C, Ctrl+Insert)
// put the selection on the clipboard only MS milliseconds later, as a busy
// program would; " copied" is noted then. --class gives the window that class
// name instead of its own (a terminal's, say). Read-only, so that a hotkey press that loses a modifier
// on its way (see press_until in harness.h) cannot type over the selection.
//
// Each letter key that reaches the window is noted in its caption, after
// "keys:", with the modifiers held ("C+A+W" for Ctrl+Alt+W, "C+C" for
// Ctrl+C): a test reads what arrived with WM_GETTEXT.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kClass[] = L"VelvaneTestSelectionSource";
constexpr UINT_PTR kCopyTimer = 1;
HWND g_edit = nullptr;
std::wstring g_keys = L"keys:";
UINT g_copy_after = 0;

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_ACTIVATE:
        if (LOWORD(wparam) != WA_INACTIVE && g_edit) SetFocus(g_edit);
        return 0;
    case WM_SETFOCUS:
        if (g_edit) SetFocus(g_edit);
        return 0;
    case WM_TIMER:
        if (wparam == kCopyTimer) {
            KillTimer(hwnd, kCopyTimer);
            SendMessageW(g_edit, WM_COPY, 0, 0);
            g_keys += L" copied";
            SetWindowTextW(hwnd, g_keys.c_str());
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void note_key(HWND window, WPARAM key) {
    const bool insert = key == VK_INSERT;
    if (!insert && !((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))) return;
    std::wstring entry = L" ";
    if (GetKeyState(VK_CONTROL) < 0) entry += L"C+";
    if (GetKeyState(VK_MENU) < 0) entry += L"A+";
    if (GetKeyState(VK_SHIFT) < 0) entry += L"S+";
    entry += insert ? std::wstring(L"Ins") : std::wstring(1, static_cast<wchar_t>(key));
    g_keys += entry;
    SetWindowTextW(window, g_keys.c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool nothing_selected = false;
    std::wstring text;
    std::wstring class_name = kClass;
    for (int i = 1; argv && i < argc; ++i) {
        if (wcscmp(argv[i], L"--nothing-selected") == 0) {
            nothing_selected = true;
        } else if (wcscmp(argv[i], L"--copy-after") == 0 && i + 1 < argc) {
            g_copy_after = static_cast<UINT>(_wtoi(argv[++i]));
        } else if (wcscmp(argv[i], L"--class") == 0 && i + 1 < argc) {
            class_name = argv[++i];
        } else {
            text = argv[i];
        }
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = class_name.c_str();
    RegisterClassW(&wc);
    // Beside Velvane's window (50, 50, 480 x 177), not over it; the box fills
    // the top of the window, so a click in its middle activates the window
    // without moving the box's selection.
    HWND window = CreateWindowExW(0, class_name.c_str(), g_keys.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 560, 300,
                                  400, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    g_edit =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY,
                        8, 8, 370, 24, window, nullptr, instance, nullptr);
    if (nothing_selected) {
        SendMessageW(g_edit, EM_SETSEL, text.size(), text.size());
    } else {
        SendMessageW(g_edit, EM_SETSEL, 0, -1);
    }
    SetFocus(g_edit);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) note_key(window, msg.wParam);
        const bool copy_key =
            msg.message == WM_KEYDOWN && GetKeyState(VK_CONTROL) < 0 && (msg.wParam == 'C' || msg.wParam == VK_INSERT);
        if (copy_key && g_copy_after) {
            SetTimer(window, kCopyTimer, g_copy_after, nullptr);
            continue;  // the box copies later, not now
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    LocalFree(argv);
    return 0;
}
