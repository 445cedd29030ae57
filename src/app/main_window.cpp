#include "app/main_window.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/about_window_win.h"
#include "app/app_path_win.h"
#include "app/control_ids.h"
#include "app/run_at_startup_win.h"
#include "app/skin_win.h"
#include "engines/engines.h"
#include "hotkey/settings_dialog_win.h"
#include "hotkey/settings_store_win.h"
#include "resources/resource.h"
#include "win/dpi_win.h"
#include "win/file_win.h"
#include "win/launch.h"
#include "win/module_path.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

constexpr wchar_t kCaption[] = L"Velvane";

// The window's outer frame at 96 DPI.
constexpr Rect kWindowRect = {50, 50, 480, 177};
// The tab control within the client area.
constexpr Place96 kTabPlace = {8, 8, 456, 136};

// Posted at the end of creation: the work that must not hold up the window.
constexpr UINT kStartupMessage = WM_APP + 2;
// While a change of Engines.ini settles.
// (Timer 1 is the tray icon's, TrayIcon::kRetryTimer.)
constexpr UINT_PTR kUserPagesTimer = 2;

std::wstring wide(std::u16string_view text) { return {reinterpret_cast<const wchar_t*>(text.data()), text.size()}; }

}  // namespace

std::unique_ptr<MainWindow> MainWindow::create(HINSTANCE instance, int show, std::optional<SearchRequest> request) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = window_procedure<MainWindow>;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELVANE));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VELVANE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = VELVANE_MAIN_WINDOW_CLASS;
    if (!RegisterClassExW(&wc)) return nullptr;

    std::unique_ptr<MainWindow> window(new MainWindow(instance));
    window->layout_ = ControlLayout(system_dpi());
    window->start_request_ = std::move(request);

    // A fixed single border with a title bar: the user cannot resize it.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, VELVANE_MAIN_WINDOW_CLASS, kCaption, style,
                                window->layout_.px(kWindowRect.left), window->layout_.px(kWindowRect.top),
                                window->layout_.px(kWindowRect.width), window->layout_.px(kWindowRect.height), nullptr,
                                nullptr, instance, window.get());
    if (!hwnd) return nullptr;
    // The window may have opened on a monitor whose DPI is not the system's.
    const UINT dpi = dpi_for_window(hwnd);
    if (dpi != window->layout_.dpi()) {
        window->layout_.set_dpi(dpi);
        SetWindowPos(hwnd, nullptr, 0, 0, window->layout_.px(kWindowRect.width), window->layout_.px(kWindowRect.height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    return window;
}

LRESULT MainWindow::handle(UINT msg, WPARAM wparam, LPARAM lparam) {
    if (tray_.on_owner_message(msg, wparam)) return 0;
    switch (msg) {
    case WM_NCDESTROY:
        // The window can go inside a loop that still runs code of this object
        // (a close arriving while the menu or a dialog is open): the object
        // lives on until the program's message loop has ended.
        break;
    case WM_CREATE:
        on_create();
        return 0;
    case WM_COMMAND:
        // A menu command, or a page control's.
        if (lparam == 0) {
            on_menu_command(LOWORD(wparam));
        } else {
            if (HIWORD(wparam) == EN_CHANGE) keyword_list_.on_box_changed(reinterpret_cast<HWND>(lparam));
            pages_.on_command(reinterpret_cast<HWND>(lparam), HIWORD(wparam));
        }
        return 0;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lparam);
        // Another page: the list and its requests were the last page's.
        if (header.hwndFrom == pages_.tab_control() && header.code == TCN_SELCHANGE) keyword_list_.cancel();
        pages_.on_notify(header);
        break;
    }
    case WM_MOVE:
        keyword_list_.close();
        break;
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED) keyword_list_.cancel();
        break;
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = pages_.control_colours(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_SETCURSOR:
        if (pages_.is_hand_control(reinterpret_cast<HWND>(wparam))) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case EnginePages::kMenuRequestMessage: {
        // A right press on the tab control: the menu opens where it was.
        POINT cursor = {};
        GetCursorPos(&cursor);
        show_menu(cursor);
        return 0;
    }
    case WM_DPICHANGED:
        on_dpi_changed(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
        return 0;
    case WM_ACTIVATE:
        // Hiding and showing the window brings the focus back where it was.
        if (LOWORD(wparam) == WA_INACTIVE) {
            keyword_list_.close();
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) focus_before_deactivation_ = focus;
        } else if (focus_before_deactivation_ && IsWindow(focus_before_deactivation_) &&
                   IsWindowVisible(focus_before_deactivation_)) {
            SetFocus(focus_before_deactivation_);
            return 0;
        }
        break;
    case kStartupMessage:
        on_startup();
        return 0;
    case WM_COPYDATA:
        return on_copy_data(reinterpret_cast<const COPYDATASTRUCT*>(lparam));
    case WM_HOTKEY:
        if (selection_search_.owns(static_cast<int>(wparam))) {
            selection_search_.on_hotkey();
        } else {
            on_hotkey(static_cast<int>(wparam));
        }
        return 0;
    case WM_CLIPBOARDUPDATE:
        selection_search_.on_clipboard_update();
        return 0;
    case TrayIcon::kCallbackMessage:
        on_tray(wparam, lparam);
        return 0;
    case UserPagesFile::kFolderMessage:
        user_pages_file_.on_folder_message(wparam);
        return 0;
    case WM_TIMER:
        if (wparam == kUserPagesTimer && user_pages_file_.on_timer()) load_user_pages();
        return 0;
    case WM_CLOSE:
        on_close();
        break;  // the close proceeds
    case WM_DESTROY:
        on_destroy();
        return 0;
    default:
        if (msg == show_request_message()) {
            show_from_elsewhere();
            return 0;
        }
        if (msg == LaterBalloons::message()) {
            pages_.tell_later_balloons();
            return 0;
        }
        if (msg == command_line_problem_message() && !command_line_problem_.empty()) {
            const std::wstring text = std::exchange(command_line_problem_, {});
            MessageBoxW(hwnd_, text.c_str(), kCaption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd_, msg, wparam, lparam);
}

LRESULT MainWindow::on_copy_data(const COPYDATASTRUCT* data) {
    // Any program may send this: only a command line of the expected form
    // and size is read, and never beyond what was sent.
    if (!data || data->dwData != kCommandLineData || !data->lpData || data->cbData == 0 ||
        data->cbData % sizeof(char16_t) != 0 || data->cbData > kCommandLineMaxUnits * sizeof(char16_t))
        return FALSE;
    std::u16string_view line(static_cast<const char16_t*>(data->lpData), data->cbData / sizeof(char16_t));
    line = line.substr(0, line.find(u'\0'));
    const CommandLineReading reading = read_command_line(line);
    // A wrong line is the sender's to show; it never gets this far from velvane.exe.
    if (reading.help || !reading.problem.empty()) return FALSE;
    if (!reading.request) {
        show_from_elsewhere();
        return TRUE;
    }
    return take_request(*reading.request) ? TRUE : FALSE;
}

bool MainWindow::take_request(const SearchRequest& request) {
    catch_up_with_user_pages();
    if (request.page) {
        const std::vector<std::string_view> captions = pages_.captions();
        const std::optional<std::size_t> index = find_page(captions, *request.page);
        if (!index) {
            // Not now: the sender waits for the answer, not for the box.
            command_line_problem_ = wide(command_line_help(unknown_page_problem(*request.page), captions));
            PostMessageW(hwnd_, command_line_problem_message(), 0, 0);
            return false;
        }
        pages_.select(static_cast<int>(*index));
    }
    PageView* page = pages_.current_page();
    if (!page || !page->keyword_box()) return false;
    const std::wstring keyword = wide(request.keyword);
    // The focus goes back to this page's box, never to a control of a page now hidden.
    focus_before_deactivation_ = page->keyword_box();
    if (GetActiveWindow() == hwnd_) SetFocus(page->keyword_box());
    if (request.search_now) {
        // As if typed and Enter pressed; the window stays as it is.
        page->set_keyword(keyword);
        page->search();
        return true;
    }
    show_with_keyword(keyword.empty() ? std::nullopt : std::optional<std::wstring>(keyword));
    return true;
}

UINT MainWindow::command_line_problem_message() {
    static const UINT message = RegisterWindowMessageW(L"Velvane.CommandLineProblem");
    return message;
}

UINT MainWindow::show_request_message() {
    static const UINT message = RegisterWindowMessageW(L"Velvane.ShowMainWindow");
    return message;
}

void MainWindow::on_dpi_changed(UINT dpi, const RECT* suggested) {
    // Laid out and lettered anew for the new screen: crisp, never stretched.
    layout_.set_dpi(dpi);
    if (suggested) move_to_suggested_rect(hwnd_, *suggested);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::on_create() {
    menu_.reset(LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAIN_MENU)));
    pages_.create(hwnd_, layout_, kTabPlace, all_engines(), [this](const std::wstring& text) { tell_user(text); });
    program_directory_ = program_directory();
    user_pages_file_.start(hwnd_, kUserPagesTimer, program_directory_ + L"\\" + to_wide(kUserPagesFileName));
    load_user_pages();

    // What the new window does, in this order: skin, settings path, hotkey, focus,
    // then the startup work, which does not hold up the window.
    attach_skin(program_directory_);
    settings_path_ = program_directory_ + L"\\Setup.ini";
    keyword_list_.create(hwnd_, pages_, program_directory_, settings_path_,
                         [this](const std::wstring& text) { tell_user(text); });
    hotkey_ = load_hotkey(settings_path_);
    hotkey_registered_ = global_hotkey_.register_for(hwnd_, hotkey_);
    selection_search_.start(hwnd_, load_selection_hotkey(settings_path_),
                            [this](const std::optional<std::wstring>& keyword) { show_with_keyword(keyword); });
    // Typing goes into the start page's keyword box at once, also once the
    // window has been activated (activation restores the focus it keeps here).
    if (HWND keyword_box = pages_.keyword_box()) {
        SetFocus(keyword_box);
        focus_before_deactivation_ = keyword_box;
    }
    PostMessageW(hwnd_, kStartupMessage, 0, 0);
}

void MainWindow::on_startup() {
    // A dead hotkey would leave the user pressing keys for nothing: say so,
    // once; the balloon waits for the tray icon.
    if (!hotkey_registered_) {
        const std::wstring name = to_wide(hotkey_display_name(hotkey_.modifier_code, hotkey_.key_code));
        tray_.notify(L"快捷键 " + name + L" 注册失败，可能已被其他程序占用。");
    }
    if (selection_search_.registration_failed()) {
        const Hotkey& selection = *selection_search_.hotkey();
        const std::wstring name = to_wide(hotkey_display_name(selection.modifier_code, selection.key_code));
        tray_.notify(L"划词搜索快捷键 " + name + L" 注册失败，可能已被其他程序占用。");
    }
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd_, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd_, GCLP_HICON));
    tray_.show(hwnd_, icon);
    // Velvane's folder moved since the Run box learnt where it was: the key
    // follows it.
    RegistryAppPath app_path;
    follow_moved_executable(app_path, executable_path(), is_file);
    check_menu_items();
    // This program's own command line: an unknown page is told by
    // take_request itself, and there is no sender waiting for the answer.
    if (start_request_) static_cast<void>(take_request(*std::exchange(start_request_, std::nullopt)));
}

void MainWindow::check_menu_items() {
    HMENU popup = menu_ ? GetSubMenu(menu_.get(), 0) : nullptr;
    if (!popup) return;
    const RegistryRunKeys run_keys;
    CheckMenuItem(popup, IDM_RUN_AT_STARTUP,
                  MF_BYCOMMAND | (run_at_startup_enabled(run_keys) ? MF_CHECKED : MF_UNCHECKED));
    const RegistryAppPath app_path;
    CheckMenuItem(popup, IDM_RUN_BOX_SEARCH,
                  MF_BYCOMMAND | (app_path_enabled(app_path, executable_path()) ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(popup, IDM_REMEMBER_HISTORY, MF_BYCOMMAND | (keyword_list_.remembers() ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(popup, IDM_SHOW_SUGGESTIONS, MF_BYCOMMAND | (keyword_list_.suggests() ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::on_hotkey(int id) {
    if (!hotkey_should_toggle(id, global_hotkey_.id(), IsWindowVisible(hwnd_) != FALSE)) return;
    // The hotkey brings the window back at its normal size.
    toggle_visibility(true);
}

void MainWindow::toggle_visibility(bool from_hotkey) {
    const bool minimised = IsIconic(hwnd_) != FALSE;
    if (IsWindowVisible(hwnd_)) {
        keyword_list_.cancel();
        ShowWindow(hwnd_, SW_HIDE);
        // A minimised window the hotkey hid comes back at its normal size,
        // whichever way it is shown.
        if (from_hotkey) restore_when_shown_ = minimised;
        return;
    }
    catch_up_with_user_pages();
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    if (restore_when_shown_ || (from_hotkey && (minimised || IsIconic(hwnd_)))) ShowWindow(hwnd_, SW_RESTORE);
    restore_when_shown_ = false;
}

void MainWindow::on_tray(WPARAM wparam, LPARAM lparam) {
    switch (TrayIcon::action_of(lparam)) {
    case TrayAction::ToggleWindow:
        toggle_visibility(false);
        break;
    case TrayAction::PopUpMenu:
        show_menu(TrayIcon::anchor_of(wparam));
        break;
    case TrayAction::None:
        break;
    }
}

void MainWindow::show_from_elsewhere() {
    catch_up_with_user_pages();
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    restore_when_shown_ = false;
    SetForegroundWindow(hwnd_);
}

void MainWindow::show_with_keyword(const std::optional<std::wstring>& keyword) {
    catch_up_with_user_pages();
    PageView* page = pages_.current_page();
    HWND box = page ? page->keyword_box() : nullptr;
    if (keyword && box) {
        page->set_keyword(*keyword);
        // Activation brings the focus back to where this says.
        focus_before_deactivation_ = box;
    }
    show_from_elsewhere();
    if (keyword && box) {
        SetFocus(box);
        page->select_keyword(0, -1);
    }
}

void MainWindow::load_user_pages() {
    UserPages pages;
    switch (const UserPagesFile::Reading reading = user_pages_file_.read(pages)) {
    case UserPagesFile::Reading::Done:
        break;
    case UserPagesFile::Reading::Later:
        return;
    case UserPagesFile::Reading::Unreadable:
    case UserPagesFile::Reading::Folder:
        tell_user(user_pages_failure_text(reading));
        return;
    }
    const std::string problems = user_pages_problem_text(pages);
    keyword_list_.cancel();  // its page may be one that goes
    focus_before_deactivation_ = pages_.set_user_pages(std::move(pages), focus_before_deactivation_);
    if (!problems.empty()) tell_user(to_wide(problems));
}

void MainWindow::catch_up_with_user_pages() {
    if (user_pages_file_.missed_change()) load_user_pages();
}

void MainWindow::tell_user(const std::wstring& text) { tray_.notify(text); }

bool MainWindow::pre_translate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    int step = 0;
    if (ctrl && msg.wParam == VK_TAB) step = shift ? -1 : 1;
    if (ctrl && msg.wParam == VK_NEXT) step = 1;
    if (ctrl && msg.wParam == VK_PRIOR) step = -1;
    if (step == 0 || pages_.count() == 0) return false;
    keyword_list_.cancel();
    pages_.step(step);
    return true;
}

void MainWindow::show_menu(POINT at) {
    // While a window opened from the menu is up, the menu waits for it.
    if (!menu_ || !IsWindowEnabled(hwnd_)) return;
    HMENU popup = GetSubMenu(menu_.get(), 0);
    // The registry may have changed since (another copy of Velvane took the Run box).
    check_menu_items();
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(hwnd_);
    TrackPopupMenuEx(popup, TPM_RIGHTBUTTON, at.x, at.y, hwnd_, nullptr);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void MainWindow::on_menu_command(int id) {
    HMENU popup = menu_ ? GetSubMenu(menu_.get(), 0) : nullptr;
    switch (id) {
    case IDM_HOTKEY_SETTINGS:
        show_hotkey_settings_dialog(instance_, hwnd_, settings_path_);
        break;
    case IDM_RUN_AT_STARTUP: {
        RegistryRunKeys run_keys;
        const bool checked = popup && (GetMenuState(popup, IDM_RUN_AT_STARTUP, MF_BYCOMMAND) & MF_CHECKED);
        // The check mark shows what the registry holds afterwards, not what was hoped for.
        const RunAtStartup now = set_run_at_startup(run_keys, ProgramSecurity(), !checked, executable_path());
        if (popup)
            CheckMenuItem(popup, IDM_RUN_AT_STARTUP,
                          MF_BYCOMMAND | (now == RunAtStartup::Off ? MF_UNCHECKED : MF_CHECKED));
        if (now == RunAtStartup::MachineValueStays)
            MessageBoxW(hwnd_,
                        L"“开机自动运行”是为这台电脑的所有用户设置的，只有管理员才能取消。\n"
                        L"请退出 Velvane，以管理员身份运行 Velvane 后再取消。",
                        L"开机自动运行", MB_OK | MB_ICONINFORMATION);
        break;
    }
    case IDM_RUN_BOX_SEARCH: {
        RegistryAppPath app_path;
        const std::wstring exe = executable_path();
        // The check mark shows what the registry holds afterwards.
        const bool on = set_app_path(app_path, !app_path_enabled(app_path, exe), exe);
        if (popup) CheckMenuItem(popup, IDM_RUN_BOX_SEARCH, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        break;
    }
    case IDM_REMEMBER_HISTORY:
        keyword_list_.set_remember(!keyword_list_.remembers());
        check_menu_items();
        break;
    case IDM_CLEAR_HISTORY:
        keyword_list_.clear_history();
        break;
    case IDM_SHOW_SUGGESTIONS:
        keyword_list_.set_suggest(!keyword_list_.suggests());
        check_menu_items();
        break;
    case IDM_USER_PAGES: {
        const std::wstring failure = open_user_pages_file(hwnd_, user_pages_file_.path());
        if (!failure.empty()) tell_user(failure);
        // The example just written is read at once, not at the next look.
        if (user_pages_file_.changed()) load_user_pages();
        break;
    }
    case IDM_ABOUT:
        show_about_window(instance_, hwnd_);
        break;
    case IDM_EXIT:
        if (MessageBoxW(hwnd_, L"你确定退出本程序吗？", L"退出确认", MB_YESNO | MB_ICONQUESTION) == IDYES) {
            // Exit goes straight to the end, past the close query.
            global_hotkey_.unregister();
            selection_search_.stop();
            DestroyWindow(hwnd_);
        }
        break;
    default:
        break;
    }
}

void MainWindow::on_close() {
    // The close query: the hotkeys are given back, no question asked.
    global_hotkey_.unregister();
    selection_search_.stop();
}

void MainWindow::on_destroy() {
    // A menu still open goes with the window.
    EndMenu();
    user_pages_file_.stop();
    tray_.remove();
    keyword_list_.destroy();
    // The page controls go while the frame they stand in is still there.
    pages_.destroy();
    PostQuitMessage(0);
}

}  // namespace velvane
