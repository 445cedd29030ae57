// Velvane in the notification area: the show/hide hotkey from Setup.ini (Alt+W
// without one), the tray icon's clicks, the close box, a second start, a
// hotkey another program already holds, the skin library, and Setup.ini files
// that no dialog ever wrote. All through real keys and clicks.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

using velvane::ids::edit;

DWORD process_of(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// What a program that takes its paths in the system's code page receives.
std::string ansi(std::wstring_view text) {
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

void write_bytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path.string();
}

std::optional<std::string> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path fake_skin_dll() {
    // VELVANE_FAKE_SKIN names another build's stand-in (the 32-bit one for the
    // 32-bit program). The build hands over a Unix path; Wine shows the root as Z:.
    wchar_t from_environment[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"VELVANE_FAKE_SKIN", from_environment, MAX_PATH);
    std::wstring path = n > 0 && n < MAX_PATH ? std::wstring(from_environment, n) : utf16(VELVANE_FAKE_SKIN_DLL);
    if (path.empty() || path.front() != L'/') return path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return L"Z:" + path;
}

// ---- The notification area ----

HWND tray() { return FindWindowW(L"Shell_TrayWnd", nullptr); }
bool tray_shown() { return tray() && visible(tray()); }

// One click, never the second half of a double click: a press of the same
// button near the last one within the double-click time reaches the window as
// a double click (on the minimise box a WM_NCLBUTTONDBLCLK, which minimises
// nothing). A person's next single click there comes later: so does this one.
void click_at(POINT screen, Button button) {
    static struct {
        std::chrono::steady_clock::time_point time;
        POINT at;
        std::optional<Button> button;
    } last;
    move_mouse(screen);
    if (last.button == button && std::abs(screen.x - last.at.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
        std::abs(screen.y - last.at.y) <= GetSystemMetrics(SM_CYDOUBLECLK)) {
        const auto apart = std::chrono::milliseconds(GetDoubleClickTime()) + 20ms;
        wait_until([&] { return std::chrono::steady_clock::now() - last.time > apart; }, apart);
    }
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    inputs[1].mi.dwFlags = button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    SendInput(2, inputs, sizeof(INPUT));
    last = {std::chrono::steady_clock::now(), screen, button};
}

// The program's icon is the only one: the first from the right.
void click_tray_icon(Button button) {
    RECT r{};
    GetWindowRect(tray(), &r);
    click_at({r.right - 10, r.top + 10}, button);
}

// A visible pop-up menu of the process (Wine's menus are windows of class
// #32768 in the process that tracks them).
bool menu_open(DWORD pid) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr));)
        if (process_of(w) == pid && visible(w)) return true;
    return false;
}

// ---- The window frame ----

// The middle of the caption button that answers WM_NCHITTEST with `hit`
// (HTCLOSE, HTMINBUTTON): found by asking the window, not by guessing its
// frame metrics.
std::optional<POINT> caption_button(HWND window, LRESULT hit) {
    RECT r{};
    GetWindowRect(window, &r);
    RECT found{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (LONG y = r.top; y < std::min(r.bottom, r.top + 48); y += 2) {
        for (LONG x = std::max(r.left, r.right - 160); x < r.right; x += 2) {
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &answer))
                return std::nullopt;
            if (static_cast<LRESULT>(answer) != hit) continue;
            found = {std::min(found.left, x), std::min(found.top, y), std::max(found.right, x),
                     std::max(found.bottom, y)};
        }
    }
    if (found.left > found.right) return std::nullopt;
    return POINT{(found.left + found.right) / 2, (found.top + found.bottom) / 2};
}

// ---- Other programs ----

// Another program's window, in front of Velvane when activated: where keys go
// that no hotkey takes. It runs its own message loop on a thread of its own.
class OtherWindow {
public:
    OtherWindow() : thread_([this] { run(); }) {
        wait_until([&] { return hwnd_.load() != nullptr; });
    }
    ~OtherWindow() {
        if (HWND w = hwnd_.load()) PostMessageW(w, WM_CLOSE, 0, 0);
        thread_.join();
    }
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;

    HWND hwnd() const { return hwnd_.load(); }

    // A click brings it to the front, as a person would.
    void activate() {
        ASSERT_NE(hwnd(), nullptr) << "the other window did not open";
        click(hwnd());
        ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == hwnd(); })) << "the other window is not in front";
    }

    // Whether it received a press of this key (plain or with Alt).
    bool got_key(WPARAM key) const {
        std::lock_guard lock(mutex_);
        return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
    }

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
        auto* self = reinterpret_cast<OtherWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (self) {
                std::lock_guard lock(self->mutex_);
                self->keys_.push_back(wparam);
            }
            return 0;
        case WM_SYSCHAR:
            return 0;  // no beep, no menu: it only listens
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_KEYMENU) return 0;
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }

    void run() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"VelvaneTestOtherProgram";
        RegisterClassW(&wc);  // fails harmlessly when a previous test registered it
        // Beside Velvane's window (50, 50, 480 x 177), not over it.
        HWND w = CreateWindowExW(0, wc.lpszClassName, L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 300,
                                 320, 200, nullptr, nullptr, wc.hInstance, this);
        if (!w) return;
        hwnd_ = w;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    std::atomic<HWND> hwnd_{nullptr};
    mutable std::mutex mutex_;
    std::vector<WPARAM> keys_;
    std::thread thread_;  // last: it starts once the members above exist
};

// Another program holding a hotkey (the test itself, for its own thread).
class HeldHotkey {
public:
    HeldHotkey(UINT modifiers, UINT key) : held_(RegisterHotKey(nullptr, kId, modifiers, key) != FALSE) {}
    ~HeldHotkey() {
        if (held_) UnregisterHotKey(nullptr, kId);
    }
    HeldHotkey(const HeldHotkey&) = delete;
    HeldHotkey& operator=(const HeldHotkey&) = delete;
    bool held() const { return held_; }

private:
    static constexpr int kId = 0x5EED;
    bool held_;
};

std::vector<std::wstring> loaded_modules(DWORD pid) {
    std::vector<std::wstring> names;
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return names;
    HMODULE modules[512] = {};
    DWORD needed = 0;
    // All modules, also those of a 32-bit program seen from this 64-bit one.
    if (K32EnumProcessModulesEx(process, modules, sizeof modules, &needed, LIST_MODULES_ALL)) {
        for (DWORD i = 0; i < std::min<DWORD>(needed / sizeof(HMODULE), 512); ++i) {
            wchar_t name[MAX_PATH] = {};
            if (K32GetModuleFileNameExW(process, modules[i], name, MAX_PATH)) names.emplace_back(name);
        }
    }
    CloseHandle(process);
    return names;
}

bool has_module(const std::vector<std::wstring>& modules, std::wstring_view file_name) {
    return std::any_of(modules.begin(), modules.end(), [&](const std::wstring& m) {
        const std::wstring name = std::filesystem::path(m).filename().wstring();
        return CompareStringOrdinal(name.c_str(), -1, std::wstring(file_name).c_str(), -1, TRUE) == CSTR_EQUAL;
    });
}

const std::wstring kSection = L"[快捷键设置]";
const std::string kCtrlF5 = gbk(L"[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n");

// ---- The hotkey ----

TEST(Resident, AltWFromAnotherWindowHidesAndShowsVelvaneReadyToTypeWithoutWritingSetupIni) {
    Velvane app;
    app.start();
    OtherWindow other;
    other.activate();

    const int presses = press_until('W', {VK_MENU}, [&] { return !visible(app.window()); });
    ASSERT_NE(presses, 0) << "Alt+W did not hide the window";
    // The hotkey takes its key: the window in front never sees it (unless a
    // press lost its Alt on the way, see press_until).
    if (presses == 1) {
        EXPECT_FALSE(other.got_key('W')) << "the hotkey's key also reached the window in front";
    }

    ASSERT_NE(press_until('W', {VK_MENU}, [&] { return visible(app.window()); }), 0) << "Alt+W did not show the window";
    // In front, with the focus back in the keyword box: typing goes there.
    EXPECT_TRUE(wait_until([&] { return GetForegroundWindow() == app.window(); }));
    const HWND keyword = app.control(edit(0));
    EXPECT_TRUE(wait_until([&] { return app.focus() == keyword; }));
    type(L"v");
    EXPECT_TRUE(wait_until([&] { return text(keyword) == L"v"; })) << utf8(text(keyword));

    EXPECT_FALSE(std::filesystem::exists(app.program_dir() / L"Setup.ini"));
    EXPECT_EQ(app.stop(), 0u);
    EXPECT_FALSE(std::filesystem::exists(app.program_dir() / L"Setup.ini"));
}

TEST(Resident, HotkeyFromSetupIniReplacesAltW) {
    Velvane app;
    const auto settings = app.program_dir() / L"Setup.ini";
    write_bytes(settings, kCtrlF5);
    app.start();
    OtherWindow other;
    other.activate();

    // Alt+W is nobody's hotkey now: the window in front gets the key.
    press('W', {VK_MENU});
    EXPECT_TRUE(wait_until([&] { return other.got_key('W'); })) << "Alt+W was taken by a hotkey";
    EXPECT_TRUE(visible(app.window()));

    EXPECT_NE(press_until(VK_F5, {VK_CONTROL}, [&] { return !visible(app.window()); }), 0)
        << "Ctrl+F5 did not hide the window";
    EXPECT_NE(press_until(VK_F5, {VK_CONTROL}, [&] { return visible(app.window()); }), 0)
        << "Ctrl+F5 did not show the window";

    EXPECT_EQ(app.stop(), 0u);
    EXPECT_EQ(read_bytes(settings), kCtrlF5);
}

// Shown again by the hotkey or from the tray, the window is back at its
// normal size and place.
TEST(Resident, HotkeyHidesAMinimisedWindowAndBringsItBackAtItsNormalSize) {
    Velvane app;
    app.start();
    ASSERT_TRUE(wait_until(tray_shown)) << "no tray icon";
    RECT normal{};
    GetWindowRect(app.window(), &normal);
    for (const bool from_tray : {false, true}) {
        SCOPED_TRACE(from_tray ? "shown from the tray" : "shown by the hotkey");
        const auto minimise = caption_button(app.window(), HTMINBUTTON);
        ASSERT_TRUE(minimise.has_value()) << "no minimise box";
        click_at(*minimise, Button::Left);
        ASSERT_TRUE(wait_until([&] { return IsIconic(app.window()) != FALSE; })) << "the window did not minimise";

        ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);
        if (from_tray) {
            click_tray_icon(Button::Left);
            ASSERT_TRUE(wait_until([&] { return visible(app.window()); })) << "a left click did not show the window";
        } else {
            ASSERT_NE(press_until('W', {VK_MENU}, [&] { return visible(app.window()); }), 0);
        }
        EXPECT_TRUE(wait_until([&] { return !IsIconic(app.window()); })) << "shown still minimised";
        RECT shown{};
        EXPECT_TRUE(wait_until([&] { return GetWindowRect(app.window(), &shown) && EqualRect(&normal, &shown); }))
            << "shown at (" << shown.left << ", " << shown.top << ")-(" << shown.right << ", " << shown.bottom
            << "), not where it was, (" << normal.left << ", " << normal.top << ")-(" << normal.right << ", "
            << normal.bottom << ")";
    }
    EXPECT_EQ(app.stop(), 0u);
}

// ---- The tray icon ----

TEST(Resident, TrayLeftClickTogglesAndRightClickOpensTheMenuWhileTheWindowStaysHidden) {
    Velvane app;
    app.start();
    ASSERT_TRUE(wait_until(tray_shown)) << "no tray icon";

    click_tray_icon(Button::Left);
    ASSERT_TRUE(wait_until([&] { return !visible(app.window()); })) << "a left click did not hide the window";

    click_tray_icon(Button::Right);
    const DWORD pid = process_of(app.window());
    ASSERT_TRUE(wait_until([&] { return menu_open(pid); })) << "a right click opened no menu";
    EXPECT_FALSE(visible(app.window()));
    press(VK_ESCAPE);
    ASSERT_TRUE(wait_until([&] { return !menu_open(pid); })) << "Esc did not close the menu";
    EXPECT_FALSE(visible(app.window()));

    click_tray_icon(Button::Left);
    EXPECT_TRUE(wait_until([&] { return visible(app.window()); })) << "a left click did not show the window";
}

// Explorer tells every program "TaskbarCreated" when it has restarted, its
// notification area empty (Wine never does: the test says it instead). The
// icon takes its place again and works as before.
TEST(Resident, TrayIconComesBackWhenTheTaskbarIsCreatedAgain) {
    Velvane app;
    app.start();
    ASSERT_TRUE(wait_until(tray_shown)) << "no tray icon";

    PostMessageW(app.window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    DWORD_PTR answer = 0;  // the program has handled the message once it answers the next
    ASSERT_TRUE(SendMessageTimeoutW(app.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    ASSERT_TRUE(wait_until(tray_shown)) << "the icon did not come back";

    click_tray_icon(Button::Left);
    EXPECT_TRUE(wait_until([&] { return !visible(app.window()); })) << "a left click did not hide the window";
    click_tray_icon(Button::Left);
    EXPECT_TRUE(wait_until([&] { return visible(app.window()); })) << "a left click did not show the window";
    EXPECT_EQ(app.stop(), 0u);
}

TEST(Resident, CloseBoxEndsTheProgramWithExitCodeZeroAndRemovesTheTrayIcon) {
    Velvane app;
    app.start();
    ASSERT_TRUE(wait_until(tray_shown)) << "no tray icon";

    const auto close = caption_button(app.window(), HTCLOSE);
    ASSERT_TRUE(close.has_value()) << "no close box";
    click_at(*close, Button::Left);
    ASSERT_TRUE(wait_until([&] { return !app.running(); })) << "the close box did not end the program";
    EXPECT_EQ(app.stop(), 0u);
    // The notification area hides itself when its last icon is gone.
    EXPECT_TRUE(wait_until([] { return !tray_shown(); })) << "a tray icon was left behind";
}

TEST(Resident, SecondStartShowsTheFirstWindowAndEnds) {
    Velvane app;
    app.start();
    ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);

    const std::wstring exe = (app.program_dir() / L"velvane.exe").wstring();
    std::wstring command_line = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION second{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               app.program_dir().c_str(), &startup, &second));
    const DWORD waited = WaitForSingleObject(second.hProcess, 20000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(second.hProcess, &code);
    if (waited != WAIT_OBJECT_0) TerminateProcess(second.hProcess, 1);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
    ASSERT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the second start keeps running";
    EXPECT_EQ(code, 0u);

    EXPECT_TRUE(wait_until([&] { return visible(app.window()); })) << "the first window was not shown";
    int windows = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, VELVANE_MAIN_WINDOW_CLASS, nullptr));) ++windows;
    EXPECT_EQ(windows, 1);
    EXPECT_TRUE(app.running());
}

TEST(Resident, HotkeyTakenByAnotherProgramGivesTheBalloonAndTheTrayStillWorks) {
    const HeldHotkey taken(MOD_ALT, 'W');
    ASSERT_TRUE(taken.held()) << "Alt+W is already taken on this desktop";
    Velvane app;
    app.start();

    // The shell shows a balloon a moment after it is asked to.
    EXPECT_TRUE(wait_until([] { return balloon_shown(L"快捷键 Alt+W 注册失败，可能已被其他程序占用。"); }, 10s))
        << "no balloon about the taken hotkey";

    ASSERT_TRUE(wait_until(tray_shown));
    click_tray_icon(Button::Left);
    EXPECT_TRUE(wait_until([&] { return !visible(app.window()); })) << "a left click did not hide the window";
    click_tray_icon(Button::Left);
    EXPECT_TRUE(wait_until([&] { return visible(app.window()); })) << "a left click did not show the window";
    EXPECT_EQ(app.stop(), 0u);
}

// ---- The skin library ----

TEST(Resident, SkinLibraryBesideTheProgramIsCalledOnceWithTheSkinFilesPath) {
    Velvane app;
    std::filesystem::copy_file(fake_skin_dll(), app.program_dir() / L"SkinH_EL.dll");
    write_bytes(app.program_dir() / L"Rimu.she", "not a real skin");
    app.start();

    const auto calls = app.program_dir() / L"SkinH_EL.calls";
    ASSERT_TRUE(wait_until([&] { return read_bytes(calls).has_value(); })) << "the skin library was not called";
    ASSERT_TRUE(wait_until(tray_shown));  // the creation has run to its end
    EXPECT_EQ(read_bytes(calls), ansi((app.program_dir() / L"Rimu.she").wstring()) + "\n");
    EXPECT_TRUE(has_module(loaded_modules(process_of(app.window())), L"SkinH_EL.dll"));
    EXPECT_EQ(app.stop(), 0u);
}

// Only both files beside the program make it load the library: one in the
// current directory is never loaded, and one without the skin file stays on
// the disk.
TEST(Resident, SkinLibraryIsNotLoadedFromTheCurrentDirectoryNorWithoutTheSkinFile) {
    for (const bool skin_file_beside : {true, false}) {
        SCOPED_TRACE(skin_file_beside ? "library in the current directory" : "library without the skin file");
        Velvane app;
        // The harness starts the program in the folder above its own.
        const auto library_dir = skin_file_beside ? app.program_dir().parent_path() : app.program_dir();
        std::filesystem::copy_file(fake_skin_dll(), library_dir / L"SkinH_EL.dll");
        if (skin_file_beside) write_bytes(app.program_dir() / L"Rimu.she", "not a real skin");
        app.start();
        ASSERT_TRUE(wait_until(tray_shown));

        EXPECT_FALSE(has_module(loaded_modules(process_of(app.window())), L"SkinH_EL.dll"));
        EXPECT_FALSE(std::filesystem::exists(library_dir / L"SkinH_EL.calls"));
        EXPECT_EQ(app.stop(), 0u);
    }
}

// ---- Setup.ini as no dialog wrote it ----

std::string random_bytes(std::size_t count) {
    std::mt19937 generator(20240417);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string ten_megabytes_after_ctrl_f5() {
    std::string bytes = kCtrlF5;
    const std::string line = "; " + std::string(1021, 'x') + "\r\n";
    while (bytes.size() < 10 * 1024 * 1024) bytes += line;
    return bytes;
}

// The program starts, does not crash, reads the file without writing it, and
// registers what the file says when it says something usable.
TEST(Resident, StrangeSetupIniFilesAreReadWithoutHarm) {
    struct Case {
        const char* name;
        std::string bytes;
        bool ctrl_f5;  // the file gives Ctrl+F5
    };
    const Case cases[] = {
        {"random bytes", random_bytes(4096), false},
        {"10 MB", ten_megabytes_after_ctrl_f5(), true},
        {"-1", gbk(kSection + L"\r\n功能键=-1\r\n键代码=-1\r\n"), false},
        {"99999999999", gbk(kSection + L"\r\n功能键=99999999999\r\n键代码=99999999999\r\n"), false},
        {"1e9", gbk(kSection + L"\r\n功能键=1e9\r\n键代码=1e9\r\n"), false},
        {"duplicated sections", kCtrlF5 + gbk(kSection + L"\r\n功能键=4\r\n键代码=87\r\n"), true},
        {"duplicated keys", gbk(kSection + L"\r\n功能键=1\r\n键代码=116\r\n功能键=4\r\n键代码=87\r\n"), true},
        {"LF line ends", gbk(kSection + L"\n功能键=1\n键代码=116\n"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Velvane app;
        const auto settings = app.program_dir() / L"Setup.ini";
        write_bytes(settings, c.bytes);
        ASSERT_NO_THROW(app.start());
        ASSERT_TRUE(wait_until(tray_shown));  // the start has run to its end
        if (c.ctrl_f5) {
            EXPECT_NE(press_until(VK_F5, {VK_CONTROL}, [&] { return !visible(app.window()); }), 0)
                << "Ctrl+F5 did not hide the window";
        }
        EXPECT_TRUE(app.running());
        EXPECT_EQ(app.stop(), 0u);
        EXPECT_TRUE(read_bytes(settings) == c.bytes) << "Setup.ini was changed";
    }
}

}  // namespace
}  // namespace e2e
