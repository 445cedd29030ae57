// The pop-up menu's commands, picked as a person does: a right-button press on
// the tab strip or on the tray icon opens the menu, the arrow keys and Enter
// pick an entry (another process cannot read Wine's menus). What each command
// did is checked where it shows: Setup.ini, the registry, the message boxes,
// the URL log, the windows.
#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"  // <windows.h> first

#include <commctrl.h>

#include "hotkey/settings_dialog_ids.h"

namespace e2e {
namespace {

namespace dialog_ids = velvane::settings_dialog_ids;

// How many Down presses reach each entry from the top (separators are skipped).
enum class Entry { HotkeySettings = 1, RunAtStartup = 2, RunBoxSearch = 6, UserPages = 7, About = 8, Exit = 9 };

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"RimuSearch";

DWORD process_of(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::wstring caption(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

// A visible top-level window of the program with this class and caption.
HWND find_window(HWND main, const wchar_t* window_class, std::wstring_view title) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, window_class, nullptr));) {
        if (process_of(w) == process_of(main) && IsWindowVisible(w) && caption(w) == title) return w;
    }
    return nullptr;
}

// What the program shows when an expected window did not come: its visible
// top-level windows and the one in the foreground, for the failure message.
std::string windows_shown(HWND main) {
    const auto describe = [](HWND w) {
        wchar_t name[64] = {};
        GetClassNameW(w, name, 64);
        return utf8(name) + " \"" + utf8(caption(w)) + "\"";
    };
    std::string shown;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, nullptr));)
        if (process_of(w) == process_of(main) && IsWindowVisible(w)) shown += describe(w) + "; ";
    const HWND front = GetForegroundWindow();
    return "shown: " + shown + "in front: " + (front ? describe(front) : std::string("none")) +
           (front && process_of(front) != process_of(main) ? " (another process)" : "");
}

HWND wait_for_window(HWND main, const wchar_t* window_class, std::wstring_view title) {
    HWND found = nullptr;
    wait_until([&] { return (found = find_window(main, window_class, title)) != nullptr; });
    return found;
}

HWND tray_window() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

// Presses and releases a button at a screen point. The press and the release
// carry the point themselves: a press that relied on the cursor position set
// just before was seen to land where the pointer had been a moment earlier.
void click_at(POINT screen, Button button) {
    move_mouse(screen);
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    // In 1/65536ths of the virtual screen, rounded up as the harness does:
    // the platform rounds the fraction down to the pixel.
    const auto normalise = [](int offset, int size) { return static_cast<LONG>((offset * 65536LL + size - 1) / size); };
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = normalise(screen.x - left, width);
        input.mi.dy = normalise(screen.y - top, height);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    }
    inputs[0].mi.dwFlags |= button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    inputs[1].mi.dwFlags |= button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void click_on(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    click_at({(r.left + r.right) / 2, (r.top + r.bottom) / 2}, Button::Left);
}

enum class MenuFrom { TabStrip, TrayIcon };

// Opens the menu with the program in the foreground.
void open_menu(const Velvane& app, MenuFrom from = MenuFrom::TabStrip) {
    // Two right clicks at one spot in quick succession would make a double
    // click, which opens no menu: every other pick clicks a little further right.
    static int picks = 0;
    const int shift = ++picks % 2 == 0 ? 20 : 0;
    RECT r{};
    if (from == MenuFrom::TabStrip) {
        GetWindowRect(app.tab(), &r);
        click_at({r.left + 12 + shift, r.top + 10}, Button::Right);  // on the first tab
    } else {
        GetWindowRect(tray_window(), &r);
        click_at({r.right - 10, r.top + 10}, Button::Right);  // the first icon
    }
    HWND menu = nullptr;
    ASSERT_TRUE(wait_until([&] { return (menu = find_window(app.window(), L"#32768", L"")) != nullptr; }))
        << "the menu did not open";
    // The keys go to the foreground thread, which must be the program's.
    ASSERT_TRUE(wait_until([&] { return process_of(GetForegroundWindow()) == process_of(app.window()); }))
        << "the menu opened without the program in the foreground";
    // The menu opens with its corner under the pointer, and any pointer event
    // there takes the highlight off the entry the arrow keys have reached, so
    // that the next Down starts again at the top. Wine sends such an event
    // when the menu's window comes up under the pointer, sometimes only after
    // some of the keys. Outside the menu, pointer events leave it alone.
    move_mouse_off(menu);
}

// Opens the menu and picks an entry.
void pick(const Velvane& app, Entry entry, MenuFrom from = MenuFrom::TabStrip) {
    open_menu(app, from);
    for (int i = 0; i < static_cast<int>(entry); ++i) press(VK_DOWN);
    press(VK_RETURN);
}

struct MessageBoxSeen {
    std::wstring title;
    std::wstring text;
};

// Waits for a message box with this title, reads it, and clicks a button.
MessageBoxSeen answer(const Velvane& app, std::wstring_view title, int button = IDOK) {
    const HWND box = wait_for_window(app.window(), L"#32770", title);
    if (!box) {
        ADD_FAILURE() << "no message box " << utf8(title) << " (" << windows_shown(app.window()) << ")";
        return {};
    }
    const MessageBoxSeen seen{caption(box), text(GetDlgItem(box, 0xFFFF))};
    click_on(GetDlgItem(box, button));
    EXPECT_TRUE(wait_until([&] { return !IsWindow(box); })) << "the message box stayed";
    return seen;
}

std::optional<std::wstring> run_value(HKEY root) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(root, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void delete_run_values() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) RegDeleteKeyValueW(root, kRunKey, kRunValue);
}

// The dialog of the menu's first entry: open, in front, its owner disabled.
HWND open_settings_dialog(const Velvane& app, MenuFrom from = MenuFrom::TabStrip) {
    pick(app, Entry::HotkeySettings, from);
    HWND dialog = wait_for_window(app.window(), L"#32770", L"快捷键设置");
    // Under load Wine now and then loses a key: with the menu still open,
    // the Enter was lost, and is pressed again.
    if (!dialog && find_window(app.window(), L"#32768", L"")) {
        press(VK_RETURN);
        dialog = wait_for_window(app.window(), L"#32770", L"快捷键设置");
    }
    if (!dialog) {
        ADD_FAILURE() << "the hotkey settings dialog did not open";
        return nullptr;
    }
    EXPECT_TRUE(wait_until([&] { return GetForegroundWindow() == dialog; }));
    EXPECT_FALSE(IsWindowEnabled(app.window()));
    // Always Alt + W, whatever Setup.ini holds.
    EXPECT_EQ(selected_index(GetDlgItem(dialog, dialog_ids::kModifierList)), 3);
    EXPECT_EQ(selected_index(GetDlgItem(dialog, dialog_ids::kKeyList)), 32);
    return dialog;
}

void expect_closed(const Velvane& app, HWND dialog) {
    EXPECT_TRUE(wait_until([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
    EXPECT_TRUE(wait_until([&] { return IsWindowEnabled(app.window()) != FALSE; }));
}

using MenuCommands = VelvaneTest;

TEST_F(MenuCommands, HotkeyDialogStoresCtrlF5AndResetDeletesTheFile) {
    const auto settings = app.program_dir() / L"Setup.ini";

    HWND dialog = open_settings_dialog(app);
    ASSERT_NE(dialog, nullptr);
    const HWND modifiers = GetDlgItem(dialog, dialog_ids::kModifierList);
    const HWND keys = GetDlgItem(dialog, dialog_ids::kKeyList);
    // The keyboard, as a person would: Alt → Shift → Ctrl, then W → … → F5.
    ASSERT_TRUE(wait_until([&] { return app.focus() == modifiers; }));
    press(VK_UP);
    press(VK_UP);
    ASSERT_TRUE(wait_until([&] { return selected_index(modifiers) == 1; }));
    press(VK_TAB);
    ASSERT_TRUE(wait_until([&] { return app.focus() == keys; }));
    for (int i = 0; i < 8; ++i) press(VK_DOWN);
    ASSERT_TRUE(wait_until([&] { return selected_index(keys) == 40; }));
    click_on(GetDlgItem(dialog, dialog_ids::kStoreButton));

    const MessageBoxSeen stored = answer(app, L"设置成功！");
    EXPECT_EQ(stored.text, L"快捷键设置成功，请重新启动本程序！");
    expect_closed(app, dialog);
    EXPECT_EQ(file_bytes(settings), gbk(L"[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n"));

    // Hidden by the hotkey, which is still Alt+W: nothing was re-registered.
    // From the tray the dialog comes up in front without the main window.
    // Pressed again only if Wine let go of the Alt as the dialog's closing
    // moved the focus (see press_until).
    ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);
    ASSERT_TRUE(wait_until([] { return tray_window() && visible(tray_window()); }));
    dialog = open_settings_dialog(app, MenuFrom::TrayIcon);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(visible(app.window()));
    click_on(GetDlgItem(dialog, dialog_ids::kResetButton));

    const MessageBoxSeen reset = answer(app, L"设置成功！");
    EXPECT_EQ(reset.text, L"快捷键恢复为 Alt+W");
    expect_closed(app, dialog);
    EXPECT_FALSE(file_bytes(settings).has_value());
    EXPECT_FALSE(visible(app.window()));
}

TEST_F(MenuCommands, HotkeyDialogClosedWithEscStoresNothing) {
    HWND dialog = open_settings_dialog(app);
    ASSERT_NE(dialog, nullptr);
    press(VK_UP);
    press(VK_ESCAPE);
    expect_closed(app, dialog);
    EXPECT_FALSE(file_bytes(app.program_dir() / L"Setup.ini").has_value());
}

// "复原" with more than the hotkey in Setup.ini (here the selection hotkey):
// Alt+W is stored in place and everything else stays. A name that lies in
// wait beside it (Setup.ini.tmp, here a folder) is neither used nor in the
// way. (That the file keeps its attributes and security, replaced rather
// than moved over, only Windows shows: Wine's ReplaceFileW moves.)
TEST_F(MenuCommands, HotkeyDialogResetKeepsTheRestOfSetupIni) {
    const auto settings = app.program_dir() / L"Setup.ini";
    const std::wstring selection = L"\r\n[划词搜索]\r\n功能键=5\r\n键代码=87\r\n";
    {
        std::ofstream out(settings, std::ios::binary);
        out << gbk(L"[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n" + selection);
    }
    ASSERT_TRUE(std::filesystem::create_directory(app.program_dir() / L"Setup.ini.tmp"));
    HWND dialog = open_settings_dialog(app);
    ASSERT_NE(dialog, nullptr);
    click_on(GetDlgItem(dialog, dialog_ids::kResetButton));
    EXPECT_EQ(answer(app, L"设置成功！").text, L"快捷键恢复为 Alt+W");
    expect_closed(app, dialog);
    EXPECT_EQ(file_bytes(settings), gbk(L"[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n" + selection));
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(app.program_dir()))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Setup.ini", L"Setup.ini.tmp", L"velvane.exe"}));
    EXPECT_TRUE(std::filesystem::is_directory(app.program_dir() / L"Setup.ini.tmp"));
}

// Setup.ini held open by another program (an editor, a virus scanner): the
// dialog says the change failed and the file keeps every byte.
TEST_F(MenuCommands, HotkeyDialogReportsALockedSettingsFileAndLeavesItAlone) {
    const auto settings = app.program_dir() / L"Setup.ini";
    const std::string before = gbk(L"; by hand\r\n[快捷键设置]\r\n功能键=2\r\n键代码=65\r\n");
    {
        const HANDLE file = CreateFileW(settings.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, before.data(), static_cast<DWORD>(before.size()), &written, nullptr);
        CloseHandle(file);
    }

    struct Case {
        const char* name;
        DWORD share;
    };
    for (const Case& c : {Case{"no sharing", 0}, Case{"read sharing", FILE_SHARE_READ}}) {
        SCOPED_TRACE(c.name);
        const HANDLE lock =
            CreateFileW(settings.c_str(), GENERIC_READ | GENERIC_WRITE, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);

        HWND dialog = open_settings_dialog(app);
        ASSERT_NE(dialog, nullptr);
        click_on(GetDlgItem(dialog, dialog_ids::kStoreButton));
        EXPECT_EQ(answer(app, L"设置失败！").text, L"快捷键设置保存失败，请检查程序目录是否可写！");
        expect_closed(app, dialog);

        dialog = open_settings_dialog(app);
        ASSERT_NE(dialog, nullptr);
        click_on(GetDlgItem(dialog, dialog_ids::kResetButton));
        EXPECT_EQ(answer(app, L"设置失败！").text, L"快捷键恢复失败，请检查程序目录是否可写！");
        expect_closed(app, dialog);

        CloseHandle(lock);
        EXPECT_EQ(file_bytes(settings), before);
        // No temporary file left behind.
        std::vector<std::wstring> names;
        for (const auto& entry : std::filesystem::directory_iterator(app.program_dir()))
            names.push_back(entry.path().filename().wstring());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::wstring>{L"Setup.ini", L"velvane.exe"}));
    }
}

// The test's program folder can be changed by anyone (under Wine every
// folder can): the value is the user's, never the machine's.
TEST_F(MenuCommands, RunAtStartupWritesTheUsersValueAndTheSecondClickDeletesBoth) {
    delete_run_values();
    struct Cleanup {
        ~Cleanup() { delete_run_values(); }
    } cleanup;
    // The path in the value is the program's own, quoted only with a blank.
    std::wstring expected = (app.program_dir() / L"velvane.exe").wstring();
    if (expected.find(L' ') != std::wstring::npos) expected = L"\"" + expected + L"\"";

    pick(app, Entry::RunAtStartup);
    EXPECT_TRUE(wait_until([] { return run_value(HKEY_CURRENT_USER).has_value(); }));
    EXPECT_EQ(run_value(HKEY_CURRENT_USER), expected);
    EXPECT_FALSE(run_value(HKEY_LOCAL_MACHINE).has_value());

    // A machine-wide value (an earlier version's) goes too: the same entry
    // now switches off, in both keys.
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, expected.c_str(),
                              static_cast<DWORD>((expected.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    pick(app, Entry::RunAtStartup);
    EXPECT_TRUE(wait_until([] { return !run_value(HKEY_CURRENT_USER).has_value(); }));
    EXPECT_TRUE(wait_until([] { return !run_value(HKEY_LOCAL_MACHINE).has_value(); }));
}

constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kAppPathKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\velvane.exe";

// The key under HKEY_CURRENT_USER, read in this process: every value by name
// (the default value as ""), or nothing when there is no key.
std::optional<std::map<std::wstring, std::wstring>> app_path_key() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kAppPathKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    std::map<std::wstring, std::wstring> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        DWORD name_size = 256;
        wchar_t data[1024] = {};
        DWORD data_size = sizeof data - sizeof(wchar_t);
        if (RegEnumValueW(key, i, name, &name_size, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &data_size) !=
            ERROR_SUCCESS)
            break;
        values[name] = data;
    }
    RegCloseKey(key);
    return values;
}

bool app_paths_subkey_exists(const wchar_t* name) {
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kAppPaths) + L"\\" + name;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void set_app_path_key(const std::wstring& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kAppPathKey, nullptr, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The App Paths key of Velvane, and a neighbour of another program's that
// must outlive every click, are removed again at the end.
struct AppPathsCleanup {
    AppPathsCleanup() { clean(); }
    ~AppPathsCleanup() { clean(); }
    static void clean() {
        RegDeleteKeyW(HKEY_CURRENT_USER, kAppPathKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(kAppPaths) + L"\\neighbour.exe").c_str());
    }
};

// "从“运行”对话框搜索" writes exactly its key (the full path as the default
// value, nothing else), and the second click removes exactly that key.
TEST_F(MenuCommands, RunBoxSearchWritesAndRemovesExactlyItsKey) {
    const AppPathsCleanup cleanup;
    const std::wstring neighbour = std::wstring(kAppPaths) + L"\\neighbour.exe";
    const std::wstring neighbour_exe = L"C:\\n.exe";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, neighbour.c_str(), nullptr, REG_SZ, neighbour_exe.c_str(),
                              static_cast<DWORD>((neighbour_exe.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    pick(app, Entry::RunBoxSearch);
    EXPECT_TRUE(wait_until([] { return app_path_key().has_value(); })) << "no key";
    const std::wstring exe = (app.program_dir() / L"velvane.exe").wstring();
    EXPECT_EQ(app_path_key(), (std::map<std::wstring, std::wstring>{{L"", exe}}));

    pick(app, Entry::RunBoxSearch);
    EXPECT_TRUE(wait_until([] { return !app_path_key().has_value(); })) << "the key stayed";
    EXPECT_TRUE(app_paths_subkey_exists(L"neighbour.exe"));
}

// At start the key follows a program that was moved; another copy's, whose
// program is still there, is left alone (and the item is off here).
TEST(MenuCommandsAtStart, RunBoxSearchFollowsAMovedProgram) {
    const AppPathsCleanup cleanup;
    {
        set_app_path_key(L"C:\\已经搬走\\velvane.exe");
        Velvane app;
        app.start();
        const std::wstring exe = (app.program_dir() / L"velvane.exe").wstring();
        EXPECT_TRUE(wait_until([&] {
            return app_path_key() == std::map<std::wstring, std::wstring>{{L"", exe}};
        })) << "the key still names the old place";
        pick(app, Entry::RunBoxSearch);  // it was on: now off
        EXPECT_TRUE(wait_until([] { return !app_path_key().has_value(); }));
        EXPECT_EQ(app.stop(), 0u);
    }
    const std::wstring other = url_logger_path();  // a program that is there
    set_app_path_key(other);
    Velvane app;
    app.start();
    pick(app, Entry::RunBoxSearch);  // it was off here: now this copy's
    const std::wstring exe = (app.program_dir() / L"velvane.exe").wstring();
    EXPECT_TRUE(wait_until([&] { return app_path_key() == std::map<std::wstring, std::wstring>{{L"", exe}}; }));
    EXPECT_EQ(app.stop(), 0u);
}

// While it lives, the prefix opens .ini files with the URL logger instead of
// Notepad: the log then says which file the editor was started with, and no
// editor window comes up in front of the tests.
class IniFilesOpenWithTheLogger {
public:
    IniFilesOpenWithTheLogger() {
        wchar_t kind[256] = {};
        DWORD size = sizeof kind;
        if (RegGetValueW(HKEY_CLASSES_ROOT, L".ini", nullptr, RRF_RT_REG_SZ, nullptr, kind, &size) != ERROR_SUCCESS)
            wcscpy(kind, L"inifile");
        key_ = L"Software\\Classes\\" + std::wstring(kind) + L"\\shell\\open\\command";
        wchar_t value[1024] = {};
        size = sizeof value;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, key_.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS)
            before_ = value;
        wchar_t logger[1024] = {};
        size = sizeof logger;
        RegGetValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, logger, &size);
        set(logger);
    }
    ~IniFilesOpenWithTheLogger() {
        if (before_)
            set(*before_);
        else
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(), nullptr);
    }
    IniFilesOpenWithTheLogger(const IniFilesOpenWithTheLogger&) = delete;
    IniFilesOpenWithTheLogger& operator=(const IniFilesOpenWithTheLogger&) = delete;

private:
    void set(const std::wstring& command) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(), nullptr, REG_SZ, command.c_str(),
                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring key_;
    std::optional<std::wstring> before_;
};

int page_count(const Velvane& app) {
    DWORD_PTR count = 0;
    SendMessageTimeoutW(app.tab(), TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    return static_cast<int>(count);
}

TEST_F(MenuCommands, UserPagesWritesTheExampleOnceAndOpensTheFileInTheEditor) {
    const IniFilesOpenWithTheLogger editor;
    const auto file = app.program_dir() / L"Engines.ini";
    // The editor gets the file beside the program, by its full name.
    const auto opened_file = [](const std::string& line) { return line.ends_with("\\program\\Engines.ini"); };

    pick(app, Entry::UserPages);
    auto urls = app.wait_for_urls(1);
    ASSERT_EQ(urls.size(), 1u) << "no editor was started";
    EXPECT_TRUE(opened_file(urls[0])) << urls[0];
    const auto example = file_bytes(file);
    ASSERT_TRUE(example.has_value()) << "no example was written";
    EXPECT_TRUE(example->starts_with("\xEF\xBB\xBF")) << "the example is UTF-8 with a byte order mark";
    EXPECT_NE(example->find(utf8(L"\r\n[必应]\r\n")), std::string::npos);
    EXPECT_NE(example->find("{keyword:gbk}"), std::string::npos);
    // Its pages come after the seven at once; nothing is left beside it.
    EXPECT_TRUE(wait_until([&] { return page_count(app) > 7; })) << "the example's pages did not come";
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(app.program_dir()))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Engines.ini", L"velvane.exe"}));

    // A file of the user's own is opened as it is, never written over.
    const std::string mine = "[mine]\r\nradio = a | http://a.example/?q={keyword}\r\n";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << mine;
    }
    ASSERT_TRUE(wait_until([&] { return page_count(app) == 8; })) << "the pages did not follow the file";
    pick(app, Entry::UserPages);
    urls = app.wait_for_urls(2);
    ASSERT_EQ(urls.size(), 2u) << "no editor was started the second time";
    EXPECT_TRUE(opened_file(urls[1])) << urls[1];
    EXPECT_EQ(file_bytes(file), mine);
    EXPECT_EQ(page_count(app), 8);
}

// .ini files of no known kind while it lives: no program is registered to
// open them.
class IniFilesOpenWithNothing {
public:
    IniFilesOpenWithNothing() {
        wchar_t kind[256] = {};
        DWORD size = sizeof kind;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, RRF_RT_REG_SZ, nullptr, kind, &size) == ERROR_SUCCESS)
            before_ = kind;
        set(L"velvane.test.no-editor");
    }
    ~IniFilesOpenWithNothing() {
        if (before_)
            set(*before_);
        else
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr);
    }
    IniFilesOpenWithNothing(const IniFilesOpenWithNothing&) = delete;
    IniFilesOpenWithNothing& operator=(const IniFilesOpenWithNothing&) = delete;

private:
    static constexpr wchar_t kKey[] = L"Software\\Classes\\.ini";
    void set(const std::wstring& kind) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, REG_SZ, kind.c_str(),
                        static_cast<DWORD>((kind.size() + 1) * sizeof(wchar_t)));
    }
    std::optional<std::wstring> before_;
};

std::wstring image_of(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return {};
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameW(process, 0, image, &size)) size = 0;
    CloseHandle(process);
    return std::wstring(image, size);
}

// The editor never starts in Velvane's folder (a program that loads DLLs
// from its current folder would find one planted there), and without a
// program for .ini files the system's Notepad opens the file, never a
// notepad.exe beside Velvane.
TEST(MenuUserPages, TheEditorStartsElsewhereThanTheProgramsFolderAndNeverAPlantedNotepad) {
    Velvane app;
    app.set_environment(L"VELVANE_URLLOG_FOLDER", L"1");
    ASSERT_TRUE(std::filesystem::copy_file(url_logger_path(), app.program_dir() / L"notepad.exe"));
    app.start();
    {
        const IniFilesOpenWithTheLogger editor;
        pick(app, Entry::UserPages);
        const auto lines = app.wait_for_urls(1);
        ASSERT_EQ(lines.size(), 1u) << "no editor was started";
        const std::size_t tab = lines[0].find('\t');
        ASSERT_NE(tab, std::string::npos) << lines[0];
        EXPECT_TRUE(lines[0].substr(0, tab).ends_with("\\program\\Engines.ini")) << lines[0];
        const std::filesystem::path folder(utf16(lines[0].substr(tab + 1)));
        EXPECT_FALSE(std::filesystem::equivalent(folder, app.program_dir()))
            << "the editor started in Velvane's folder";
    }
    {
        const IniFilesOpenWithNothing nothing;
        wchar_t system[MAX_PATH] = {};
        ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
        pick(app, Entry::UserPages);
        HWND notepad = nullptr;
        EXPECT_TRUE(wait_until([&] { return (notepad = FindWindowW(L"Notepad", nullptr)) != nullptr; }))
            << "no Notepad came up";
        if (notepad) {
            EXPECT_TRUE(_wcsicmp(image_of(notepad).c_str(), (std::wstring(system) + L"\\notepad.exe").c_str()) == 0)
                << utf8(image_of(notepad));
            PostMessageW(notepad, WM_CLOSE, 0, 0);
            EXPECT_TRUE(wait_until([] { return FindWindowW(L"Notepad", nullptr) == nullptr; }));
        }
        EXPECT_EQ(app.urls().size(), 1u) << "the notepad.exe beside Velvane was started";
    }
    EXPECT_EQ(app.stop(), 0u);
}

TEST_F(MenuCommands, AboutWindowOpensTheSiteOnceOnALeftPressAndEscClosesIt) {
    pick(app, Entry::About);
    HWND about = wait_for_window(app.window(), L"#32770", L"");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongW(about, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    RECT r{};
    GetWindowRect(about, &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<LONG>{50, 50, 252, 189}));
    EXPECT_TRUE(wait_until([&] { return GetForegroundWindow() == about; }));
    EXPECT_FALSE(IsWindowEnabled(app.window()));

    // A right click and moves do nothing; one left press opens the site and
    // closes the window, and its release adds nothing.
    click_at({r.left + 30, r.top + 30}, Button::Right);
    move_mouse({r.left + 200, r.top + 150});
    click_at({r.left + 200, r.top + 150}, Button::Left);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(about); }));
    EXPECT_TRUE(wait_until([&] { return IsWindowEnabled(app.window()) != FALSE; }));
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{"http://velvane.example.com"});

    // Again, at the same place; Esc closes it without opening the site.
    pick(app, Entry::About);
    about = wait_for_window(app.window(), L"#32770", L"");
    ASSERT_NE(about, nullptr);
    RECT again{};
    GetWindowRect(about, &again);
    EXPECT_TRUE(EqualRect(&r, &again));
    EXPECT_TRUE(wait_until([&] { return GetForegroundWindow() == about; }));
    press(VK_ESCAPE);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(about); }));

    // A search marks the end of what the about window opened.
    const HWND keyword = app.control(velvane::ids::edit(0));
    click_on(keyword);
    ASSERT_TRUE(wait_until([&] { return app.focus() == keyword; }));
    type(L"abc");
    press(VK_RETURN);
    const auto urls = app.wait_for_urls(2);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0], "http://velvane.example.com");
    EXPECT_TRUE(urls[1].starts_with("http://www.baidu.com/")) << urls[1];
}

TEST_F(MenuCommands, ExitAsksFirstThenEndsTheProgramAndRemovesTheTrayIcon) {
    ASSERT_TRUE(wait_until([] { return tray_window() && visible(tray_window()); }));

    pick(app, Entry::Exit);
    const MessageBoxSeen no = answer(app, L"退出确认", IDNO);
    EXPECT_EQ(no.text, L"你确定退出本程序吗？");
    EXPECT_TRUE(app.running());
    EXPECT_TRUE(visible(app.window()));
    EXPECT_TRUE(visible(tray_window()));

    pick(app, Entry::Exit);
    answer(app, L"退出确认", IDYES);
    ASSERT_TRUE(wait_until([&] { return !app.running(); }));
    EXPECT_EQ(app.stop(), 0u);
    EXPECT_TRUE(wait_until([] { return !tray_window() || !visible(tray_window()); }));
}

// The program that ends still hands on the searches made just before; a start
// meanwhile must not take it for a running instance and end with nothing shown.
// (A browser slow to start keeps the ending program for seconds; under Wine the
// shell returns as soon as the browser process exists, so the searches here
// keep it only for a moment, and the test says when it had ended already.)
TEST(MenuExit, AStartRightAfterExitShowsItsWindow) {
    Velvane app;
    app.start();
    const HWND keyword = app.control(velvane::ids::edit(0));
    click_on(keyword);
    ASSERT_TRUE(wait_until([&] { return app.focus() == keyword; }));
    type(L"abc");
    // Searches just before the exit keep the ending program busy for a moment.
    for (int i = 0; i < 20; ++i) press(VK_RETURN);
    ASSERT_TRUE(wait_until([&] { return !app.urls().empty(); }));
    pick(app, Entry::Exit);
    answer(app, L"退出确认", IDYES);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(app.window()); })) << "Exit left the window";

    const bool still_ending = app.running();
    Velvane again;
    ASSERT_NO_THROW(again.start());
    EXPECT_TRUE(visible(again.window()));
    EXPECT_EQ(app.stop(), 0u);
    EXPECT_EQ(again.stop(), 0u);
    std::cout << (still_ending ? "the first program was still ending at the second start\n"
                               : "note: the first program had ended before the second start\n");
}

// A close from outside (taskkill without /f, the Restart Manager at shutdown)
// while the menu or a window opened from it is up: the program ends as from
// the close box, and Setup.ini keeps its bytes.
TEST(MenuClose, ClosingWhileTheMenuOrAWindowFromItIsOpenEndsTheProgramCleanly) {
    struct Case {
        const char* name;
        std::function<bool(const Velvane&)> open;  // true when it is up
    };
    const Case cases[] = {
        {"menu from the tab strip",
         [](const Velvane& app) {
             open_menu(app);
             return find_window(app.window(), L"#32768", L"") != nullptr;
         }},
        {"menu from the tray icon",
         [](const Velvane& app) {
             open_menu(app, MenuFrom::TrayIcon);
             return find_window(app.window(), L"#32768", L"") != nullptr;
         }},
        {"hotkey dialog", [](const Velvane& app) { return open_settings_dialog(app) != nullptr; }},
        {"about window",
         [](const Velvane& app) {
             pick(app, Entry::About);
             return wait_for_window(app.window(), L"#32770", L"") != nullptr;
         }},
    };
    const std::string settings_bytes = gbk(L"[快捷键设置]\r\n功能键=1\r\n键代码=116\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Velvane app;
        const auto settings = app.program_dir() / L"Setup.ini";
        {
            std::ofstream out(settings, std::ios::binary);
            out << settings_bytes;
        }
        app.start();
        ASSERT_TRUE(wait_until([] { return tray_window() && visible(tray_window()); })) << "no tray icon";
        ASSERT_TRUE(c.open(app)) << "it did not open";
        // stop() sends WM_CLOSE to the main window, and ends the process by
        // force (exit code 1) when it does not end by itself.
        EXPECT_EQ(app.stop(), 0u);
        EXPECT_TRUE(wait_until([] { return !tray_window() || !visible(tray_window()); })) << "a tray icon was left";
        EXPECT_EQ(file_bytes(settings), settings_bytes);
    }
}

}  // namespace
}  // namespace e2e
