#include "app/main_window.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/about_window_win.h"
#include "app/control_ids.h"
#include "app/run_at_startup_win.h"
#include "app/skin_win.h"
#include "engines/engines.h"
#include "hotkey/settings_dialog_win.h"
#include "hotkey/settings_store_win.h"
#include "resources/resource.h"
#include "win/dpi_win.h"
#include "win/launch.h"
#include "win/module_path.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

constexpr wchar_t kCaption[] = L"Velvane";

// The window's outer frame at 96 DPI.
constexpr Rect kWindowRect = {50, 50, 480, 177};
// The tab control within the client area.
constexpr Rect kTabRect = {8, 8, 456, 136};

// Posted at the end of creation: the work that must not hold up the window.
constexpr UINT kStartupMessage = WM_APP + 2;
constexpr UINT_PTR kTrayRetryTimer = 1;
// How often Engines.ini is looked at: a change shows within two periods.
constexpr UINT_PTR kUserPagesTimer = 2;
constexpr UINT kUserPagesPeriodMs = 500;
constexpr int kTrayAttempts = 20;

constexpr FontSpec kRadioFont = simsun(14);
constexpr FontSpec kTabFont = simsun(12);

}  // namespace

std::unique_ptr<MainWindow> MainWindow::create(HINSTANCE instance, int show) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = window_proc;
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
    window->dpi_ = static_cast<int>(system_dpi());

    // A fixed single border with a title bar: the user cannot resize it.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, VELVANE_MAIN_WINDOW_CLASS, kCaption, style,
                                window->px(kWindowRect.left), window->px(kWindowRect.top),
                                window->px(kWindowRect.width), window->px(kWindowRect.height), nullptr, nullptr,
                                instance, window.get());
    if (!hwnd) return nullptr;
    // The window may have opened on a monitor whose DPI is not the system's.
    const int dpi = static_cast<int>(dpi_for_window(hwnd));
    if (dpi != window->dpi_) {
        window->dpi_ = dpi;
        window->change_fonts();
        SetWindowPos(hwnd, nullptr, 0, 0, window->px(kWindowRect.width), window->px(kWindowRect.height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    return window;
}

LRESULT CALLBACK MainWindow::window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept {
    MainWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wparam, lparam);
    if (msg == WM_NCDESTROY) {
        // The window can go inside a loop that still runs code of this object
        // (a close arriving while the menu or a dialog is open): the object
        // lives on until the program's message loop has ended.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
    return self->handle(msg, wparam, lparam);
}

LRESULT MainWindow::handle(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_CREATE:
        on_create();
        return 0;
    case WM_COMMAND:
        on_command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) on_page_switch();
        break;
    }
    case WM_CTLCOLORSTATIC: {
        // Category radios: black text on white.
        HWND control = reinterpret_cast<HWND>(lparam);
        HDC dc = reinterpret_cast<HDC>(wparam);
        for (const Page& page : pages_) {
            if (std::find(page.radios.begin(), page.radios.end(), control) != page.radios.end()) {
                SetTextColor(dc, RGB(0, 0, 0));
                SetBkColor(dc, RGB(255, 255, 255));
                return reinterpret_cast<LRESULT>(white_brush_.get());
            }
        }
        break;
    }
    case WM_DPICHANGED:
        on_dpi_changed(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
        return 0;
    case WM_ACTIVATE:
        // Hiding and showing the window brings the focus back where it was.
        if (LOWORD(wparam) == WA_INACTIVE) {
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
    case WM_HOTKEY:
        if (selection_search_.owns(static_cast<int>(wparam))) {
            selection_search_.on_hotkey();
        } else {
            on_hotkey(static_cast<int>(wparam));
        }
        return 0;
    case TrayIcon::kCallbackMessage:
        on_tray(lparam);
        return 0;
    case WM_TIMER:
        if (wparam == kTrayRetryTimer) install_tray_icon();
        if (wparam == kUserPagesTimer && user_pages_file_.changed_and_settled()) load_user_pages();
        return 0;
    case WM_CLOSE:
        on_close();
        break;  // the close proceeds
    case WM_DESTROY:
        on_destroy();
        return 0;
    default:
        if (msg == taskbar_created_ && taskbar_created_ != 0) {
            // Explorer restarted: its notification area has forgotten our icon.
            // Until the new one takes it, the icon is offered again and again.
            if (!tray_.re_add()) {
                tray_attempts_ = 0;
                SetTimer(hwnd_, kTrayRetryTimer, 500, nullptr);
            }
            return 0;
        }
        if (msg == show_request_message()) {
            show_from_elsewhere();
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd_, msg, wparam, lparam);
}

UINT MainWindow::show_request_message() {
    static const UINT message = RegisterWindowMessageW(L"Velvane.ShowMainWindow");
    return message;
}

void MainWindow::change_fonts() {
    // The old fonts stay alive until every control has its new one.
    const FontCache old = std::exchange(fonts_, FontCache(static_cast<UINT>(dpi_)));
    apply_layout();
}

void MainWindow::apply_layout() {
    for (const Placed& placed : placed_) {
        SetWindowPos(placed.hwnd, nullptr, px(placed.rect.left), px(placed.rect.top), px(placed.rect.width),
                     px(placed.rect.height), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(placed.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(placed.font)), TRUE);
    }
}

void MainWindow::on_dpi_changed(UINT dpi, const RECT* suggested) {
    // Laid out and lettered anew for the new screen: crisp, never stretched.
    dpi_ = static_cast<int>(dpi);
    change_fonts();
    if (suggested) move_to_suggested_rect(hwnd_, *suggested);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::on_create() {
    fonts_ = FontCache(static_cast<UINT>(dpi_));
    white_brush_.reset(CreateSolidBrush(RGB(255, 255, 255)));
    menu_.reset(LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAIN_MENU)));
    build_tab_control();
    const auto engines = all_engines();
    pages_.resize(engines.size());
    built_in_pages_ = engines.size();
    for (std::size_t i = 0; i < engines.size(); ++i) {
        build_page(static_cast<int>(i), *engines[i]);
        if (engines[i]->shown_at_start) start_page_ = static_cast<int>(i);
    }
    program_directory_ = program_directory();
    user_pages_file_ = UserPagesFile(program_directory_ + L"\\" + to_wide(kUserPagesFileName));
    load_user_pages();
    SetTimer(hwnd_, kUserPagesTimer, kUserPagesPeriodMs, nullptr);
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(start_page_), 0);
    show_page(start_page_);
    taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");

    // The created event, in its order: skin, settings path, hotkey, focus,
    // then the startup work, which does not hold up the window.
    attach_skin(program_directory_);
    settings_path_ = program_directory_ + L"\\Setup.ini";
    hotkey_ = load_hotkey(settings_path_);
    hotkey_registered_ = global_hotkey_.register_for(hwnd_, hotkey_);
    selection_search_.start(hwnd_, load_selection_hotkey(settings_path_),
                            [this](const std::optional<std::wstring>& keyword) { show_with_keyword(keyword); });
    // Typing goes into the start page's keyword box at once, also once the
    // window has been activated (activation restores the focus it keeps here).
    if (HWND keyword_box = pages_[static_cast<std::size_t>(start_page_)].edit) {
        SetFocus(keyword_box);
        focus_before_deactivation_ = keyword_box;
    }
    PostMessageW(hwnd_, kStartupMessage, 0, 0);
}

void MainWindow::on_startup() {
    install_tray_icon();
    if (HMENU popup = menu_ ? GetSubMenu(menu_.get(), 0) : nullptr) {
        const RegistryRunKeys run_keys;
        CheckMenuItem(popup, IDM_RUN_AT_STARTUP,
                      MF_BYCOMMAND | (run_at_startup_enabled(run_keys) ? MF_CHECKED : MF_UNCHECKED));
    }
}

void MainWindow::install_tray_icon() {
    KillTimer(hwnd_, kTrayRetryTimer);
    if (tray_.shown()) return;
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd_, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd_, GCLP_HICON));
    if (tray_.add(hwnd_, icon)) {
        // A dead hotkey would leave the user pressing keys for nothing: say so once.
        std::wstring failed;
        if (!hotkey_registered_) {
            const std::wstring name = to_wide(hotkey_display_name(hotkey_.modifier_code, hotkey_.key_code));
            failed = L"快捷键 " + name + L" 注册失败，可能已被其他程序占用。";
        }
        if (selection_search_.registration_failed()) {
            const Hotkey& selection = *selection_search_.hotkey();
            const std::wstring name = to_wide(hotkey_display_name(selection.modifier_code, selection.key_code));
            if (!failed.empty()) failed += L"\n";
            failed += L"划词搜索快捷键 " + name + L" 注册失败，可能已被其他程序占用。";
        }
        // The hotkeys' failure is told once, not again after Explorer restarts.
        std::wstring told = hotkey_failure_told_ ? std::wstring() : failed;
        hotkey_failure_told_ = true;
        if (!untold_.empty()) {
            if (!told.empty()) told += L"\n";
            told += std::exchange(untold_, {});
        }
        if (!told.empty()) tray_.notify(L"Velvane", told);
        return;
    }
    // The shell's notification area may not be up yet right after logon.
    if (++tray_attempts_ < kTrayAttempts) SetTimer(hwnd_, kTrayRetryTimer, 500, nullptr);
}

void MainWindow::on_hotkey(int id) {
    if (!hotkey_should_toggle(id, global_hotkey_.id(), IsWindowVisible(hwnd_) != FALSE)) return;
    // The hotkey brings the window back at its normal size.
    toggle_visibility(true);
}

void MainWindow::toggle_visibility(bool from_hotkey) {
    const bool minimised = IsIconic(hwnd_) != FALSE;
    if (IsWindowVisible(hwnd_)) {
        ShowWindow(hwnd_, SW_HIDE);
        // A minimised window the hotkey hid comes back at its normal size,
        // whichever way it is shown.
        if (from_hotkey) restore_when_shown_ = minimised;
        return;
    }
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    if (restore_when_shown_ || (from_hotkey && (minimised || IsIconic(hwnd_)))) ShowWindow(hwnd_, SW_RESTORE);
    restore_when_shown_ = false;
}

void MainWindow::on_tray(LPARAM lparam) {
    switch (TrayIcon::action_of(lparam)) {
    case TrayAction::ToggleWindow:
        toggle_visibility(false);
        break;
    case TrayAction::PopUpMenu:
        show_menu();
        break;
    case TrayAction::None:
        break;
    }
}

void MainWindow::show_from_elsewhere() {
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    restore_when_shown_ = false;
    SetForegroundWindow(hwnd_);
}

void MainWindow::show_with_keyword(const std::optional<std::wstring>& keyword) {
    const int index = current_page();
    HWND edit = index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[static_cast<std::size_t>(index)].edit
                                                                       : nullptr;
    if (keyword && edit) {
        SetWindowTextW(edit, keyword->c_str());
        // Activation brings the focus back to where this says.
        focus_before_deactivation_ = edit;
    }
    show_from_elsewhere();
    if (keyword && edit) {
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
    }
}

void MainWindow::build_tab_control() {
    tab_ = make_control(hwnd_, WC_TABCONTROLW, "", WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CONTROLPARENT,
                        kTabRect, ids::kTabControl, kTabFont);

    // The engine marks are drawn at 16 x 16; at any DPI they stay that size
    // rather than being stretched.
    tab_images_.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 0));
    const UniqueBitmap strip(static_cast<HBITMAP>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDB_TAB_IMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (strip) ImageList_Add(tab_images_.get(), strip.get(), nullptr);
    built_in_images_ = ImageList_GetImageCount(tab_images_.get());
    TabCtrl_SetImageList(tab_, tab_images_.get());

    const auto engines = all_engines();
    for (std::size_t i = 0; i < engines.size(); ++i) {
        std::wstring caption = to_wide(engines[i]->tab_caption);
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = caption.data();
        item.iImage = engines[i]->image;
        SendMessageW(tab_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    SetWindowSubclass(tab_, tab_proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

HWND MainWindow::make_control(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, DWORD ex_style,
                              const Rect& rect, int id, FontSpec font) {
    // A button's or radio's "&" is shown as it is, not taken as its access key.
    const std::wstring caption = cls == std::wstring_view(WC_BUTTONW) ? caption_text(text) : to_wide(text);
    HWND control = CreateWindowExW(ex_style, cls, caption.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style,
                                   px(rect.left), px(rect.top), px(rect.width), px(rect.height), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (!control) return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(font)), FALSE);
    placed_.push_back({control, rect, font});
    return control;
}

void MainWindow::build_page(int index, const Engine& engine) {
    Page& page = pages_[static_cast<std::size_t>(index)];
    page.engine = &engine;
    const PageState start = initial_state(engine);

    for (std::size_t r = 0; r < engine.radios.size(); ++r) {
        const CategoryRadio& radio = engine.radios[r];
        const DWORD style = BS_AUTORADIOBUTTON | (r == 0 ? WS_GROUP | WS_TABSTOP : 0);
        HWND hwnd = make_control(tab_, WC_BUTTONW, radio.caption, style, 0, radio.rect,
                                 ids::radio(index, static_cast<int>(r)), kRadioFont);
        SendMessageW(hwnd, BM_SETCHECK, start.radios[r] ? BST_CHECKED : BST_UNCHECKED, 0);
        page.radios.push_back(hwnd);
        page.controls.push_back(hwnd);
    }

    if (!engine.list.empty()) {
        // A list the user can only pick from; the drop-down shows every item.
        Rect rect = engine.list_rect;
        rect.height += static_cast<int>(engine.list.size()) * 18 + 8;
        page.list = make_control(tab_, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0,
                                 rect, ids::list(index), kMessageFont);
        for (const ListItem& item : engine.list)
            SendMessageW(page.list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(item.caption).c_str()));
        SendMessageW(page.list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        name_for_accessibility(page.list, to_wide(engine.tab_caption) + L" 更多分类");
        page.controls.push_back(page.list);
    }

    page.edit = make_control(tab_, WC_EDITW, "", ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP, WS_EX_CLIENTEDGE,
                             engine.edit_rect, ids::edit(index), simsun(engine.keyword_font_px));
    SendMessageW(page.edit, EM_SETLIMITTEXT, 0, 0);  // no length limit
    name_for_accessibility(page.edit, to_wide(engine.tab_caption) + L" 搜索关键词");
    SetWindowSubclass(page.edit, edit_proc, static_cast<UINT_PTR>(index), reinterpret_cast<DWORD_PTR>(this));
    page.controls.push_back(page.edit);

    page.button = make_control(tab_, WC_BUTTONW, engine.button_caption, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0,
                               engine.button_rect, ids::button(index), kMessageFont);
    page.controls.push_back(page.button);

    if (const ExtraButton* extra = engine.extra_button) {
        page.extra_button = make_control(tab_, WC_BUTTONW, extra->caption, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0,
                                         extra->rect, ids::extra_button(index), kMessageFont);
        page.controls.push_back(page.extra_button);
    }

    if (const LanguageRow* row = engine.language_row) {
        page.group_box = make_control(tab_, WC_BUTTONW, "", BS_GROUPBOX | WS_GROUP, WS_EX_CONTROLPARENT, row->rect,
                                      ids::group_box(index), kMessageFont);
        SetWindowSubclass(page.group_box, group_box_proc, 0, reinterpret_cast<DWORD_PTR>(this));
        for (std::size_t l = 0; l < row->radios.size(); ++l) {
            const DWORD style = BS_AUTORADIOBUTTON | WS_VISIBLE | (l == 0 ? WS_GROUP | WS_TABSTOP : 0);
            HWND hwnd = make_control(page.group_box, WC_BUTTONW, row->radios[l].caption, style, 0,
                                     row->radios[l].rect, ids::language(index, static_cast<int>(l)),
                                     kMessageFont);
            SendMessageW(hwnd, BM_SETCHECK, start.languages[l] ? BST_CHECKED : BST_UNCHECKED, 0);
            page.languages.push_back(hwnd);
        }
        page.controls.push_back(page.group_box);
    }
    page.language_row_visible = start.language_row_visible;
    page.extra_button_visible = start.extra_button_visible;
}

int MainWindow::current_page() const { return static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)); }

void MainWindow::show_page(int index) {
    for (std::size_t p = 0; p < pages_.size(); ++p) {
        const bool shown = static_cast<int>(p) == index;
        for (HWND control : pages_[p].controls) ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
        if (shown) apply_visibility(pages_[p]);
    }
}

void MainWindow::apply_visibility(Page& page) {
    const bool page_shown = !pages_.empty() && &pages_[static_cast<std::size_t>(std::max(0, current_page()))] == &page;
    if (page.group_box) ShowWindow(page.group_box, page_shown && page.language_row_visible ? SW_SHOWNA : SW_HIDE);
    if (page.extra_button)
        ShowWindow(page.extra_button, page_shown && page.extra_button_visible ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::load_user_pages() {
    UserPages pages;
    if (user_pages_file_.read(pages) == UserPagesFile::Reading::Unreadable) return;  // tried again later
    const std::string problems = user_pages_problem_text(pages);
    set_user_pages(std::move(pages));
    if (!problems.empty()) tell_user(to_wide(problems));
}

void MainWindow::set_user_pages(UserPages pages) {
    const int current = current_page();
    std::string current_caption;
    std::wstring keyword;
    bool had_focus = false;
    if (current >= static_cast<int>(built_in_pages_) && current < static_cast<int>(pages_.size())) {
        const Page& page = pages_[static_cast<std::size_t>(current)];
        current_caption = page.engine->tab_caption;
        if (page.edit) keyword = window_text(page.edit);
        HWND focus = GetFocus();
        had_focus = focus && std::find(page.controls.begin(), page.controls.end(), focus) != page.controls.end();
    }

    remove_user_pages();
    user_pages_ = std::move(pages);
    for (const UserPage& page : user_pages_.pages()) add_user_page(page);

    if (current < static_cast<int>(built_in_pages_)) return;  // a built-in page stays as it is
    // The user page the user was on, found by its name, or the start page.
    int index = start_page_;
    bool found = false;
    for (std::size_t p = built_in_pages_; p < pages_.size() && !found; ++p) {
        found = pages_[p].engine->tab_caption == current_caption;
        if (found) index = static_cast<int>(p);
    }
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    show_page(index);
    Page& shown = pages_[static_cast<std::size_t>(index)];
    // The keyword stays in a page rebuilt under its name; another page starts empty.
    if (shown.edit) SetWindowTextW(shown.edit, found ? keyword.c_str() : L"");
    if (shown.edit && (had_focus || !focus_before_deactivation_ || !IsWindow(focus_before_deactivation_))) {
        if (GetActiveWindow() == hwnd_) SetFocus(shown.edit);
        focus_before_deactivation_ = shown.edit;
    }
}

void MainWindow::remove_user_pages() {
    for (std::size_t p = pages_.size(); p-- > built_in_pages_;) {
        for (HWND control : pages_[p].controls) DestroyWindow(control);
        SendMessageW(tab_, TCM_DELETEITEM, p, 0);
    }
    pages_.resize(built_in_pages_);
    std::erase_if(placed_, [](const Placed& placed) { return !IsWindow(placed.hwnd); });
    if (focus_before_deactivation_ && !IsWindow(focus_before_deactivation_)) focus_before_deactivation_ = nullptr;
    while (tab_images_ && ImageList_GetImageCount(tab_images_.get()) > built_in_images_)
        ImageList_Remove(tab_images_.get(), ImageList_GetImageCount(tab_images_.get()) - 1);
}

void MainWindow::add_user_page(const UserPage& user_page) {
    const std::size_t index = pages_.size();
    std::wstring caption = to_wide(user_page.engine.tab_caption);
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = caption.data();
    item.iImage = tab_images_ ? add_user_page_mark(tab_images_.get(), user_page.mark, user_page.mark_colour) : -1;
    SendMessageW(tab_, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
    pages_.emplace_back();
    build_page(static_cast<int>(index), user_page.engine);
    // Made hidden; a page shows when it is selected.
}

void MainWindow::tell_user(const std::wstring& text) {
    if (tray_.shown()) {
        tray_.notify(L"Velvane", text);
    } else {
        if (!untold_.empty()) untold_ += L"\n";
        untold_ += text;
    }
}

void MainWindow::name_for_accessibility(HWND control, const std::wstring& name) {
    // Radios and buttons are read by their captions; boxes without one get a
    // name here. Where the platform offers no such service this does nothing.
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&services))) ||
        !services)
        return;
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name.c_str());
    services->Release();
}

bool MainWindow::pre_translate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    int step = 0;
    if (ctrl && msg.wParam == VK_TAB) step = shift ? -1 : 1;
    if (ctrl && msg.wParam == VK_NEXT) step = 1;
    if (ctrl && msg.wParam == VK_PRIOR) step = -1;
    if (step == 0 || pages_.empty()) return false;
    const int count = static_cast<int>(pages_.size());
    select_page((current_page() + step + count) % count);
    return true;
}

void MainWindow::select_page(int index) {
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    on_page_switch();
    // The focus must not stay on a control of the page that was just hidden.
    if (HWND edit = pages_[static_cast<std::size_t>(index)].edit) SetFocus(edit);
}

void MainWindow::on_page_switch() {
    const int index = current_page();
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    show_page(index);
    // A keyword is never carried from one visit of a page to the next.
    if (HWND edit = pages_[static_cast<std::size_t>(index)].edit) SetWindowTextW(edit, L"");
}

PageState MainWindow::read_state(const Page& page) const {
    PageState state;
    if (page.edit) state.keyword = to_utf8(window_text(page.edit));
    for (HWND radio : page.radios) state.radios.push_back(SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED);
    for (HWND radio : page.languages)
        state.languages.push_back(SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED);
    if (page.list) {
        const LRESULT selected = SendMessageW(page.list, CB_GETCURSEL, 0, 0);
        state.list_index = selected == CB_ERR ? kNoListItem : static_cast<int>(selected);
    }
    state.language_row_visible = page.language_row_visible;
    state.extra_button_visible = page.extra_button_visible;
    return state;
}

void MainWindow::apply_state(Page& page, const PageState& state) {
    for (std::size_t r = 0; r < page.radios.size() && r < state.radios.size(); ++r) {
        const bool checked = SendMessageW(page.radios[r], BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (checked != state.radios[r])
            SendMessageW(page.radios[r], BM_SETCHECK, state.radios[r] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    page.language_row_visible = state.language_row_visible;
    page.extra_button_visible = state.extra_button_visible;
    apply_visibility(page);
}

void MainWindow::launch_all(const std::vector<std::string>& urls) {
    for (const std::string& url : urls) launch_url(url);
}

void MainWindow::search(int index, SearchAction action) {
    // The page's controls are its state: read them, let the page decide,
    // write back what changed, then hand the URLs on.
    Page& page = pages_[static_cast<std::size_t>(index)];
    PageState state = read_state(page);
    const auto urls = action(*page.engine, state, scratch_);
    apply_state(page, state);
    launch_all(urls);
    // A user page's code page cannot hold a character of the keyword: nothing
    // was opened, and the user learns which character it was.
    if (scratch_.unencodable) tell_user(to_wide(unencodable_message(*scratch_.unencodable)));
}

void MainWindow::page_search(int index) { search(index, velvane::page_search); }

void MainWindow::list_pick(int index) { search(index, velvane::list_pick); }

void MainWindow::extra_button_search(int index) {
    Page& page = pages_[static_cast<std::size_t>(index)];
    launch_all(velvane::extra_button_search(*page.engine, read_state(page)));
}

void MainWindow::radio_clicked(int index, std::size_t radio) {
    Page& page = pages_[static_cast<std::size_t>(index)];
    PageState state = read_state(page);
    velvane::radio_clicked(*page.engine, state, radio);
    apply_state(page, state);
}

void MainWindow::on_command(int id, int code, HWND control) {
    if (!control) {  // a menu command
        on_menu_command(id);
        return;
    }
    if (id < ids::kPageBase) return;
    const int page = (id - ids::kPageBase) / ids::kPageStride;
    const int slot = (id - ids::kPageBase) % ids::kPageStride;
    if (page < 0 || page >= static_cast<int>(pages_.size())) return;
    const Page& p = pages_[static_cast<std::size_t>(page)];

    if (slot == ids::kButtonSlot && code == BN_CLICKED) {
        page_search(page);
    } else if (slot == ids::kExtraButtonSlot && code == BN_CLICKED) {
        extra_button_search(page);
    } else if (slot == ids::kListSlot && code == CBN_SELCHANGE) {
        list_pick(page);
    } else if (slot >= ids::kRadioSlot && slot < ids::kRadioSlot + static_cast<int>(p.radios.size()) &&
               code == BN_CLICKED) {
        radio_clicked(page, static_cast<std::size_t>(slot - ids::kRadioSlot));
    }
}

void MainWindow::show_menu() {
    // While a window opened from the menu is up, the menu waits for it.
    if (!menu_ || !IsWindowEnabled(hwnd_)) return;
    HMENU popup = GetSubMenu(menu_.get(), 0);
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(hwnd_);
    TrackPopupMenuEx(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, hwnd_, nullptr);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

bool MainWindow::is_hand_control(HWND control) const {
    for (const Page& page : pages_) {
        if (control == page.button || control == page.extra_button) return true;
        if (std::find(page.radios.begin(), page.radios.end(), control) != page.radios.end()) return true;
        if (std::find(page.languages.begin(), page.languages.end(), control) != page.languages.end()) return true;
    }
    return false;
}

LRESULT CALLBACK MainWindow::tab_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                      DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<MainWindow*>(data);
    switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
        // The page controls are the tab control's children; their window is the main window.
        return SendMessageW(self->hwnd_, msg, wparam, lparam);
    case WM_SETCURSOR:
        if (self->is_hand_control(reinterpret_cast<HWND>(wparam))) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_NCHITTEST: {
        // Outside its headers the tab control calls itself transparent; a
        // press on a page's empty area is a press on the tab control all the same.
        const LRESULT hit = DefSubclassProc(hwnd, msg, wparam, lparam);
        return hit == HTTRANSPARENT ? HTCLIENT : hit;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:  // a quick second press is a press all the same
        self->show_menu();
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, tab_proc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK MainWindow::group_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                            DWORD_PTR) noexcept {
    switch (msg) {
    case WM_NCHITTEST:
        // The frame is a control of its own: a right click on it is not a click on the tab control.
        return HTCLIENT;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, group_box_proc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK MainWindow::edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                       DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<MainWindow*>(data);
    switch (msg) {
    case WM_MOUSEMOVE: {
        // The pointer moving over the keyword box gives it the focus, without
        // a click. The system also repeats a move where the pointer rests
        // (after a window change, for example); that one must not pull the
        // focus back from where Tab just put it.
        const bool moved = lparam != self->last_hover_position_ || hwnd != self->last_hover_box_;
        self->last_hover_position_ = lparam;
        self->last_hover_box_ = hwnd;
        if (moved && GetFocus() != hwnd) SetFocus(hwnd);
        break;
    }
    case WM_GETDLGCODE:
        // Enter belongs to the keyword box, not to the keyboard navigation.
        if (lparam && reinterpret_cast<const MSG*>(lparam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lparam)->wParam == VK_RETURN)
            return DefSubclassProc(hwnd, msg, wparam, lparam) | DLGC_WANTALLKEYS;
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:  // with Alt held
        // Enter searches whatever modifier keys are held; the key still reaches the box.
        if (wparam == VK_RETURN) self->page_search(static_cast<int>(id));
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        // A single-line box has nothing to do with Enter's character but beep.
        if (wparam == L'\r' || wparam == L'\n') return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, edit_proc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
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
        const bool on = set_run_at_startup(run_keys, FolderSecurity(), !checked, executable_path());
        if (popup) CheckMenuItem(popup, IDM_RUN_AT_STARTUP, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        break;
    }
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
    KillTimer(hwnd_, kTrayRetryTimer);
    KillTimer(hwnd_, kUserPagesTimer);
    tray_.remove();
    if (tab_images_) {
        TabCtrl_SetImageList(tab_, nullptr);
        tab_images_.reset();
    }
    PostQuitMessage(0);
}

}  // namespace velvane
