#include "app/keyword_list_win.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "app/control_ids.h"
#include "hotkey/settings_store_win.h"
#include "text/suggestions.h"
#include "win/dpi_win.h"
#include "win/file_win.h"
#include "win/handles.h"
#include "win/http_get_win.h"
#include "win/subclass_win.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

constexpr UINT kAnswerMessage = WM_APP + 1;
constexpr UINT_PTR kPauseTimer = 1;
constexpr UINT_PTR kGiveUpTimer = 2;
constexpr UINT_PTR kSaveTimer = 3;
// Typing has paused: a request for what is in the box.
constexpr UINT kPauseMs = 150;
// A server that has not answered by then is given up.
constexpr DWORD kRequestBoundMs = 3000;
constexpr DWORD kWorkerEndBoundMs = 1000;
constexpr int kMaxRowsShown = 10;
// A history file that could not be written while its folder can be is
// tried again after 1, 2, 4 and 8 seconds before the user is told: another
// program (a virus scanner, the search indexer) may hold it for a while.
constexpr int kSaveRetries = 4;
constexpr UINT kFirstSaveRetryMs = 1000;

struct PenDeleter {
    void operator()(HPEN h) const { DeleteObject(h); }
};
using UniquePen = Unique<HPEN, PenDeleter>;

// Whether a file can be written at `path` at all: no folder in its place,
// and a new file can be made beside it.
bool place_writable(const std::wstring& path) {
    const DWORD attributes = file_attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const std::wstring probe = write_temporary_file(path, {});
    if (probe.empty()) return false;
    DeleteFileW(probe.c_str());
    return true;
}

bool starts_with(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && text.substr(0, start.size()) == start;
}

}  // namespace

KeywordList::~KeywordList() { destroy(); }

void KeywordList::create(HWND frame, EnginePages& pages, const std::wstring& program_directory,
                         const std::wstring& settings_path, TellUser tell_user) {
    frame_ = frame;
    pages_ = &pages;
    tell_user_ = std::move(tell_user);
    settings_path_ = settings_path;
    history_path_ = program_directory + L"\\" + to_wide(kHistoryFileName);
    remember_ = load_switch(settings_path_, kRememberHistorySetting);
    suggest_ = load_switch(settings_path_, kShowSuggestionsSetting);
    if (remember_) {
        const FileBytes file = read_file_start(history_path_, kHistoryFileMaxBytes + 1);
        if (file.status == FileStatus::Read) history_ = read_history(file.bytes);
    }

    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(frame, GWLP_HINSTANCE));
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DROPSHADOW;
    wc.lpfnWndProc = popup_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = VELVANE_KEYWORD_LIST_CLASS;
    RegisterClassExW(&wc);
    // A pop-up owned by the window, never active: the box keeps the focus.
    // Its title is what a screen reader calls the list.
    popup_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, VELVANE_KEYWORD_LIST_CLASS, L"搜索记录和建议",
                             WS_POPUP | WS_BORDER, 0, 0, 0, 0, frame, nullptr, instance, this);
    if (!popup_) return;
    list_ = CreateWindowExW(
        0, WC_LISTBOXW, L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
        popup_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kKeywordList)), instance, nullptr);
    if (list_) subclass(list_, list_proc, reinterpret_cast<DWORD_PTR>(this));

    pages.set_keyword_box_filter([this](PageView& page, UINT msg, WPARAM wparam, LPARAM lparam) {
        return on_box_message(page, msg, wparam, lparam);
    });
    pages.set_searched([this](PageView&, const PageState& state) { on_searched(state); });
}

void KeywordList::destroy() {
    cancel();
    // The program is ending: the request worker goes too, without a hung
    // server holding the end up.
    stop_http_gets(kWorkerEndBoundMs);
    // A save still to be tried again gets its last try.
    if (save_pending_) static_cast<void>(replace_file(history_path_, history_file_bytes(history_)));
    save_pending_ = false;
    if (list_) unsubclass(list_, list_proc);
    if (popup_) DestroyWindow(popup_);  // takes the list with it
    popup_ = list_ = nullptr;
}

// ---- the switches -----------------------------------------------------------

void KeywordList::set_remember(bool on) {
    if (!write_switch(settings_path_, kRememberHistorySetting, on)) {
        tell_user_(L"无法写入 Setup.ini，“记住搜索记录”没有改变。");
        return;
    }
    remember_ = on;
    if (on) {
        // What a file left behind holds (one that could not be deleted, say).
        const FileBytes file = read_file_start(history_path_, kHistoryFileMaxBytes + 1);
        if (file.status == FileStatus::Read) history_ = read_history(file.bytes);
    } else {
        clear_history();
    }
}

void KeywordList::set_suggest(bool on) {
    if (!write_switch(settings_path_, kShowSuggestionsSetting, on)) {
        tell_user_(L"无法写入 Setup.ini，“输入时显示搜索建议”没有改变。");
        return;
    }
    suggest_ = on;
    if (!on) cancel();
}

void KeywordList::clear_history() {
    history_.clear();
    KillTimer(popup_, kSaveTimer);
    save_pending_ = false;
    hide_list();
    if (!delete_file(history_path_)) tell_user_(L"无法删除搜索记录文件 " + history_path_ + L"。");
}

void KeywordList::save_history() {
    KillTimer(popup_, kSaveTimer);
    save_pending_ = false;
    if (history_unwritable_) return;
    if (replace_file(history_path_, history_file_bytes(history_))) {
        failed_saves_ = 0;
        return;
    }
    if (failed_saves_ < kSaveRetries && place_writable(history_path_) &&
        SetTimer(popup_, kSaveTimer, kFirstSaveRetryMs << failed_saves_, nullptr)) {
        ++failed_saves_;
        save_pending_ = true;
        return;
    }
    // The folder may be read-only: said once, and the program goes on with
    // the searches of this run in memory only.
    history_unwritable_ = true;
    tell_user_(L"无法在 Velvane 所在的文件夹里保存搜索记录，这次运行不再保存。");
}

// ---- the keyword box -------------------------------------------------------

bool KeywordList::box_has_focus() const { return page_ && page_->keyword_box() && GetFocus() == page_->keyword_box(); }

void KeywordList::on_box_changed(HWND box) {
    if (setting_text_ || !pages_) return;
    PageView* page = pages_->current_page();
    if (!page || page->keyword_box() != box) return;
    if (page != page_) {
        cancel();
        page_ = page;
    }
    typed_ = to_utf8(page->keyword());
    highlighted_ = -1;
    // Only typing opens the list: text put in the box otherwise (a page
    // coming up, the selection hotkey) leaves it closed and asks nothing.
    const bool typing = box_has_focus();
    if (typed_.empty()) {
        hide_list();
    } else {
        refresh(typing);
    }
    KillTimer(popup_, kPauseTimer);
    pause_running_ = false;
    if (suggest_ && typing && !composing_ && !typed_.empty()) {
        pause_running_ = SetTimer(popup_, kPauseTimer, kPauseMs, nullptr) != 0;
    }
}

std::optional<LRESULT> KeywordList::on_box_message(PageView& page, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_GETDLGCODE:
        // While the list is open, Esc is the box's (it closes the list), not
        // the dialog navigation's.
        if (list_shown() && lparam && reinterpret_cast<const MSG*>(lparam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lparam)->wParam == VK_ESCAPE)
            return call_before_subclass(page.keyword_box(), msg, wparam, lparam) | DLGC_WANTALLKEYS;
        break;
    case WM_KEYDOWN:
        if (wparam == VK_DOWN || wparam == VK_UP) {
            if (GetKeyState(VK_MENU) < 0 || GetKeyState(VK_CONTROL) < 0) break;
            if (&page != page_) {
                cancel();
                page_ = &page;
                typed_ = to_utf8(page.keyword());
            }
            if (!list_shown()) {
                refresh(true);
                return list_shown() ? std::optional<LRESULT>(0) : std::nullopt;
            }
            move_highlight(wparam == VK_DOWN ? 1 : -1);
            return 0;
        }
        if (wparam == VK_ESCAPE && list_shown()) {
            hide_list();
            escape_taken_ = true;
            return 0;
        }
        if (wparam == VK_RETURN) hide_list();  // the page searches what the box shows
        break;
    case WM_SYSKEYDOWN:
        if (wparam == VK_RETURN) hide_list();
        break;
    case WM_CHAR:
        if (wparam == VK_ESCAPE && std::exchange(escape_taken_, false)) return 0;
        break;
    case WM_IME_STARTCOMPOSITION:
        // Nothing is asked for half-composed text.
        composing_ = true;
        KillTimer(popup_, kPauseTimer);
        pause_running_ = false;
        break;
    case WM_IME_ENDCOMPOSITION:
        composing_ = false;
        if (suggest_ && &page == page_ && !typed_.empty())
            pause_running_ = SetTimer(popup_, kPauseTimer, kPauseMs, nullptr) != 0;
        break;
    case WM_KILLFOCUS:
        hide_list();
        break;
    default:
        break;
    }
    return std::nullopt;
}

void KeywordList::on_searched(const PageState& state) {
    hide_list();
    KillTimer(popup_, kPauseTimer);
    pause_running_ = false;
    if (remember_ && history_.add(state.keyword)) save_history();
}

void KeywordList::put_in_box(const std::string& text) {
    if (!page_) return;
    const std::wstring wide = to_wide(text);
    setting_text_ = true;
    page_->set_keyword(wide);
    page_->select_keyword(static_cast<int>(wide.size()), static_cast<int>(wide.size()));
    setting_text_ = false;
}

// ---- the list ----------------------------------------------------------------

bool KeywordList::list_shown() const { return popup_ && IsWindowVisible(popup_); }

void KeywordList::refresh(bool open) {
    std::vector<std::string> recent;
    if (remember_) recent = history_.matching(typed_);
    std::vector<std::string> suggested;
    if (suggest_ && have_suggestions_ && !typed_.empty()) {
        // Until the answer for the text now in the box comes, the last one's
        // entries that still fit it stay.
        for (const std::string& entry : suggestions_)
            if (suggestions_for_ == typed_ || starts_with(entry, typed_)) suggested.push_back(entry);
    }
    const std::string highlighted =
        highlighted_ >= 0 && highlighted_ < static_cast<int>(entries_.size()) ? entries_[highlighted_].text : "";
    entries_ = keyword_list(recent, suggested);
    highlighted_ = -1;
    if (!highlighted.empty()) {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].text == highlighted) highlighted_ = static_cast<int>(i);
    }
    if (entries_.empty()) {
        hide_list();
        return;
    }
    if (open || list_shown()) show_list();
}

void KeywordList::show_list() {
    if (!list_ || !page_ || !page_->keyword_box() || !IsWindowVisible(frame_)) return;
    HWND box = page_->keyword_box();
    // The box's font, at the window's DPI.
    font_ = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
    const UINT dpi = dpi_for_window(frame_);
    if (HDC dc = GetDC(list_)) {
        const HGDIOBJ old = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(list_, dc);
        row_height_ = metrics.tmHeight + scale_for_dpi(6, dpi);
    }
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    SendMessageW(list_, LB_SETITEMHEIGHT, 0, row_height_);
    for (const KeywordListEntry& entry : entries_) {
        const LRESULT index =
            SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(entry.text).c_str()));
        if (index >= 0) SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(index), entry.recent ? 1 : 0);
    }
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(highlighted_), 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);

    // Below the box, as wide as it; above it where the screen ends first.
    RECT rect = {};
    GetWindowRect(box, &rect);
    const int rows = std::min(static_cast<int>(entries_.size()), kMaxRowsShown);
    const int height = rows * row_height_ + 2 * GetSystemMetrics(SM_CYBORDER);
    int top = rect.bottom;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor) &&
        top + height > monitor.rcWork.bottom && rect.top - height >= monitor.rcWork.top)
        top = rect.top - height;
    SetWindowPos(popup_, HWND_TOP, rect.left, top, rect.right - rect.left, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(list_, nullptr, TRUE);
}

void KeywordList::hide_list() {
    highlighted_ = -1;
    escape_taken_ = false;
    if (list_shown()) ShowWindow(popup_, SW_HIDE);
}

void KeywordList::close() { hide_list(); }

void KeywordList::move_highlight(int step) {
    const int count = static_cast<int>(entries_.size());
    if (count == 0) return;
    // Past either end the box shows what was typed again.
    int next = highlighted_ + step;
    if (next < -1) next = count - 1;
    if (next >= count) next = -1;
    highlighted_ = next;
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
    put_in_box(next >= 0 ? entries_[static_cast<std::size_t>(next)].text : typed_);
}

void KeywordList::pick(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size()) || !page_) return;
    const std::string text = entries_[static_cast<std::size_t>(index)].text;
    put_in_box(text);
    typed_ = text;
    hide_list();
    page_->search();
}

void KeywordList::draw_entry(const DRAWITEMSTRUCT& item) const {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const bool recent = item.itemData != 0;
    HDC dc = item.hDC;
    RECT row = item.rcItem;
    FillRect(dc, &row, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const COLORREF text_colour = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    const int mark = row.bottom - row.top;  // a square at the left of each row

    if (recent) {
        // A small clock: a recent search, not a suggestion.
        const UniquePen pen(CreatePen(PS_SOLID, 1, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT)));
        const HGDIOBJ old_pen = SelectObject(dc, pen.get());
        const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        const int cx = row.left + mark / 2, cy = (row.top + row.bottom) / 2, r = std::max(3, mark * 3 / 10);
        Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
        MoveToEx(dc, cx, cy - r * 2 / 3, nullptr);
        LineTo(dc, cx, cy);
        LineTo(dc, cx + r / 2 + 1, cy);
        SelectObject(dc, old_brush);
        SelectObject(dc, old_pen);
    }

    const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, item.itemID, 0);
    if (length <= 0) return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list_, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    const HGDIOBJ old_font = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text_colour);
    RECT text_rect = row;
    text_rect.left += mark;
    text_rect.right -= mark / 4;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_rect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (old_font) SelectObject(dc, old_font);
}

// ---- suggestions ---------------------------------------------------------------

void KeywordList::ask_for_suggestions() {
    if (!suggest_ || !page_ || page_ != pages_->current_page() || composing_ || typed_.empty()) return;
    if (!box_has_focus() || !IsWindowVisible(frame_)) return;
    if (have_suggestions_ && suggestions_for_ == typed_) return;
    // One request at a time: the next goes when this one has answered or
    // been given up.
    if (in_flight_ != 0) return;
    const std::optional<std::string> url = suggestion_url(page_->engine(), typed_);
    if (!url) return;
    const std::uint64_t id = ++next_request_;
    if (!start_http_get({to_wide(*url), id, kRequestBoundMs, kSuggestionAnswerMaxBytes}, popup_, kAnswerMessage))
        return;
    in_flight_ = id;
    in_flight_text_ = typed_;
    SetTimer(popup_, kGiveUpTimer, kRequestBoundMs, nullptr);
}

void KeywordList::on_answer(LPARAM lparam) {
    const std::unique_ptr<HttpAnswer> answer = take_http_answer(lparam);
    if (!answer || answer->id != in_flight_) return;  // given up already
    KillTimer(popup_, kGiveUpTimer);
    in_flight_ = 0;
    // Only an answer for the text still in the box is shown.
    if (in_flight_text_ == typed_ && page_ == pages_->current_page()) {
        suggestions_ = answer->ok ? read_suggestions(answer->body, answer->content_type) : std::vector<std::string>();
        suggestions_for_ = in_flight_text_;
        have_suggestions_ = true;
        refresh(box_has_focus());
    } else if (!pause_running_) {
        ask_for_suggestions();  // the text changed while this one was out
    }
}

void KeywordList::give_up_request() {
    KillTimer(popup_, kGiveUpTimer);
    if (in_flight_ == 0) return;
    cancel_http_gets_up_to(in_flight_);
    in_flight_ = 0;
    if (in_flight_text_ != typed_ && !pause_running_) ask_for_suggestions();
}

void KeywordList::cancel() {
    if (popup_) {
        KillTimer(popup_, kPauseTimer);
        KillTimer(popup_, kGiveUpTimer);
    }
    pause_running_ = false;
    if (in_flight_ != 0) cancel_http_gets_up_to(in_flight_);
    in_flight_ = 0;
    hide_list();
    page_ = nullptr;
    typed_.clear();
    entries_.clear();
    suggestions_.clear();
    have_suggestions_ = false;
    composing_ = false;
}

// ---- window procedures ------------------------------------------------------------

LRESULT CALLBACK KeywordList::popup_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept {
    KeywordList* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<KeywordList*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->popup_ = hwnd;  // before CreateWindowExW returns: the messages of creation need it
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<KeywordList*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self || msg == WM_NCDESTROY) {
        if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        // An answer that arrives as the window goes is freed, not leaked.
        if (msg == kAnswerMessage) take_http_answer(lparam);
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
    return self->on_popup_message(msg, wparam, lparam);
}

LRESULT KeywordList::on_popup_message(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;  // a click leaves the focus in the box
    case WM_SIZE:
        if (list_) MoveWindow(list_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
        return 0;
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(row_height_);
        return TRUE;
    case WM_DRAWITEM:
        draw_entry(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_TIMER:
        if (wparam == kPauseTimer) {
            KillTimer(popup_, kPauseTimer);
            pause_running_ = false;
            ask_for_suggestions();
        } else if (wparam == kGiveUpTimer) {
            give_up_request();
        } else if (wparam == kSaveTimer) {
            save_history();
        }
        return 0;
    case kAnswerMessage:
        on_answer(lparam);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(popup_, msg, wparam, lparam);
}

LRESULT CALLBACK KeywordList::list_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                        DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<KeywordList*>(data);
    switch (msg) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // The list box would take the focus from the keyword box on a press:
        // the press is handled here instead, as a pick.
        const LRESULT hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lparam);
        if (HIWORD(hit) == 0) self->pick(LOWORD(hit));
        return 0;
    }
    case WM_NCDESTROY:
        unsubclass(hwnd, list_proc);
        break;
    default:
        break;
    }
    return call_before_subclass(hwnd, msg, wparam, lparam);
}

}  // namespace velvane
