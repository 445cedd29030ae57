#include "app/page_view.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "app/control_ids.h"
#include "app/user_pages_win.h"
#include "text/user_template.h"
#include "win/launch.h"
#include "win/subclass_win.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

constexpr FontChoice kRadioFont = simsun(14);

// Posted by a page's list to itself once its drop-down has closed: by then
// the list has sent every notification of the closing, whatever their order.
constexpr UINT kListClosedMessage = WM_APP + 20;

constexpr wchar_t kShortenedMessage[] =
    L"这次搜索的网址太长，浏览器收不下，已截短到 900 个字符后打开，关键词可能不完整。请缩短关键词后再搜索。";

}  // namespace

UINT LaterBalloons::message() {
    static const UINT message = RegisterWindowMessageW(L"Velvane.LaterBalloons");
    return message;
}

void LaterBalloons::add(std::wstring text) {
    {
        const ExclusiveLock hold(lock_);
        if (std::find(texts_.begin(), texts_.end(), text) != texts_.end()) return;  // once is enough
        texts_.push_back(std::move(text));
    }
    PostMessageW(frame_, message(), 0, 0);
}

std::vector<std::wstring> LaterBalloons::take() {
    const ExclusiveLock hold(lock_);
    return std::exchange(texts_, {});
}

PageView::PageView(const Engine& engine, int index, PageViewContext& context)
    : engine_(engine), index_(index), context_(context) {
    auto browser = std::make_shared<LaunchBrowser>();
    const std::shared_ptr<LaterBalloons> later = context.later_balloons;
    // A search cut short is not the search the user made: never silently.
    if (later) browser->shortened = [later] { later->add(kShortenedMessage); };
    if (!engine.browser.program.empty()) {
        browser->program = to_wide(engine.browser.program);
        browser->arguments = to_wide(engine.browser.arguments);
        // Another browser would not be what the user asked for: nothing else
        // opens, and the balloon says which page and which program.
        if (later) {
            const std::wstring text = L"搜索页“" + to_wide(engine.tab_caption) + L"”的浏览器找不到或无法启动：" +
                                      browser->program + L"\n没有打开网页。";
            browser->failed = [later, text] { later->add(text); };
        }
    }
    browser_ = std::move(browser);
}

PageView::~PageView() {
    // The subclass procedures hold this object: they go first, so that the
    // messages of the destruction itself never reach a page half gone.
    if (edit_) unsubclass(edit_, edit_proc);
    if (list_) unsubclass(list_, list_proc);
    if (group_box_) unsubclass(group_box_, group_box_proc);
    // The group box takes the language radios with it.
    for (HWND control : controls_) DestroyWindow(control);
    if (built_ && context_.layout) {
        context_.layout->forget_if([this](HWND control) {
            return std::find(controls_.begin(), controls_.end(), control) != controls_.end() ||
                   std::find(languages_.begin(), languages_.end(), control) != languages_.end();
        });
    }
    if (context_.last_hover_box == edit_) context_.last_hover_box = nullptr;
}

HWND PageView::make(const ControlRecipe& recipe, const Rect& rect, HWND parent) {
    // Page controls stand where they would within the tab control; language
    // radios within their group box.
    const POINT origin = parent ? POINT{0, 0} : context_.tab_origin;
    return context_.layout->make(parent ? parent : context_.frame, recipe,
                                 {rect.left, rect.top, rect.width, rect.height, origin});
}

void PageView::build() {
    if (built_) return;
    built_ = true;
    const PageState start = initial_state(engine_);
    const std::wstring caption = to_wide(engine_.tab_caption);

    for (std::size_t r = 0; r < engine_.radios.size(); ++r) {
        const CategoryRadio& radio = engine_.radios[r];
        const DWORD style = BS_AUTORADIOBUTTON | (r == 0 ? WS_GROUP | WS_TABSTOP : 0);
        HWND hwnd = make(
            {WC_BUTTONW, caption_text(radio.caption), style, 0, ids::radio(index_, static_cast<int>(r)), kRadioFont},
            radio.rect);
        SendMessageW(hwnd, BM_SETCHECK, start.radios[r] ? BST_CHECKED : BST_UNCHECKED, 0);
        radios_.push_back(hwnd);
        controls_.push_back(hwnd);
    }

    if (!engine_.list.empty()) {
        // A list the user can only pick from; the drop-down shows every item.
        Rect rect = engine_.list_rect;
        rect.height = static_cast<short>(rect.height + static_cast<int>(engine_.list.size()) * 18 + 8);
        list_ = make({WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0, ids::list(index_),
                      kMessageFont},
                     rect);
        for (const ListItem& item : engine_.list)
            SendMessageW(list_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(item.caption).c_str()));
        SendMessageW(list_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        name_for_accessibility(list_, caption + L" 更多分类");
        subclass(list_, list_proc, reinterpret_cast<DWORD_PTR>(this));
        controls_.push_back(list_);
    }

    edit_ = make({WC_EDITW, L"", ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP, WS_EX_CLIENTEDGE, ids::edit(index_),
                  simsun(engine_.keyword_font_px)},
                 engine_.edit_rect);
    // A pasted book would make URLs of hundreds of megabytes; no browser
    // takes more than a few thousand characters anyway.
    SendMessageW(edit_, EM_SETLIMITTEXT, ids::kKeywordMaxChars, 0);
    name_for_accessibility(edit_, caption + L" 搜索关键词");
    subclass(edit_, edit_proc, reinterpret_cast<DWORD_PTR>(this));
    controls_.push_back(edit_);

    button_ = make({WC_BUTTONW, caption_text(engine_.button_caption), BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0,
                    ids::button(index_), kMessageFont},
                   engine_.button_rect);
    controls_.push_back(button_);

    if (const ExtraButton* extra = engine_.extra_button) {
        extra_button_ = make({WC_BUTTONW, caption_text(extra->caption), BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0,
                              ids::extra_button(index_), kMessageFont},
                             extra->rect);
        controls_.push_back(extra_button_);
    }

    if (const LanguageRow* row = engine_.language_row) {
        group_box_ =
            make({WC_BUTTONW, L"", BS_GROUPBOX | WS_GROUP, WS_EX_CONTROLPARENT, ids::group_box(index_), kMessageFont},
                 row->rect);
        subclass(group_box_, group_box_proc, 0);
        for (std::size_t l = 0; l < row->radios.size(); ++l) {
            const DWORD style = BS_AUTORADIOBUTTON | WS_VISIBLE | (l == 0 ? WS_GROUP | WS_TABSTOP : 0);
            HWND hwnd = make({WC_BUTTONW, caption_text(row->radios[l].caption), style, 0,
                              ids::language(index_, static_cast<int>(l)), kMessageFont},
                             row->radios[l].rect, group_box_);
            SendMessageW(hwnd, BM_SETCHECK, start.languages[l] ? BST_CHECKED : BST_UNCHECKED, 0);
            languages_.push_back(hwnd);
        }
        controls_.push_back(group_box_);
    }
    language_row_visible_ = start.language_row_visible;
    extra_button_visible_ = start.extra_button_visible;
}

void PageView::name_for_accessibility(HWND control, const std::wstring& name) {
    // Radios and buttons are read by their captions; boxes without one get a
    // name here. Where the platform offers no such service this does nothing.
    if (!context_.accessibility_tried) {
        context_.accessibility_tried = true;
        if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                    context_.accessibility.out_void())))
            context_.accessibility.reset();
    }
    if (context_.accessibility)
        context_.accessibility->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                                               name.c_str());
}

void PageView::show() {
    build();
    shown_ = true;
    for (HWND control : controls_) {
        if (control != group_box_ && control != extra_button_) ShowWindow(control, SW_SHOWNA);
    }
    apply_visibility();
}

void PageView::hide() {
    shown_ = false;
    for (HWND control : controls_) ShowWindow(control, SW_HIDE);
}

void PageView::apply_visibility() {
    if (group_box_) ShowWindow(group_box_, shown_ && language_row_visible_ ? SW_SHOWNA : SW_HIDE);
    if (extra_button_) ShowWindow(extra_button_, shown_ && extra_button_visible_ ? SW_SHOWNA : SW_HIDE);
}

std::wstring PageView::keyword() const { return edit_ ? window_text(edit_) : std::wstring(); }

void PageView::set_keyword(std::wstring_view text) {
    if (!edit_) return;
    // Text set by the program is held to the box's limit too (the box itself
    // limits only what is typed or pasted), and never split in a surrogate pair.
    std::size_t length = std::min<std::size_t>(text.size(), ids::kKeywordMaxChars);
    if (length < text.size() && length > 0 && IS_HIGH_SURROGATE(text[length - 1])) --length;
    const std::wstring terminated(text.substr(0, length));
    SetWindowTextW(edit_, terminated.c_str());
}

void PageView::select_keyword(int start, int end) {
    if (edit_) SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(start), end);
}

bool PageView::owns(HWND control) const {
    return control && (std::find(controls_.begin(), controls_.end(), control) != controls_.end() ||
                       std::find(languages_.begin(), languages_.end(), control) != languages_.end());
}

HBRUSH PageView::control_colours(HWND control, HDC dc) const {
    if (std::find(radios_.begin(), radios_.end(), control) == radios_.end()) return nullptr;
    // Category radios: black text on white.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    return context_.white_brush.get();
}

bool PageView::is_hand_control(HWND control) const {
    return control && (control == button_ || control == extra_button_ ||
                       std::find(radios_.begin(), radios_.end(), control) != radios_.end() ||
                       std::find(languages_.begin(), languages_.end(), control) != languages_.end());
}

PageState PageView::read_state() const {
    PageState state;
    if (edit_) state.keyword = to_utf8(window_text(edit_));
    // Sized once and set by index: a bit vector's push_back brings the
    // library's whole insert code along.
    const auto read_checks = [](const std::vector<HWND>& buttons, std::vector<bool>& checks) {
        checks = std::vector<bool>(buttons.size());
        for (std::size_t i = 0; i < buttons.size(); ++i)
            checks[i] = SendMessageW(buttons[i], BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    read_checks(radios_, state.radios);
    read_checks(languages_, state.languages);
    if (list_) {
        const LRESULT selected = SendMessageW(list_, CB_GETCURSEL, 0, 0);
        state.list_index = selected == CB_ERR ? kNoListItem : static_cast<int>(selected);
    }
    state.language_row_visible = language_row_visible_;
    state.extra_button_visible = extra_button_visible_;
    return state;
}

void PageView::apply_state(const PageState& state) {
    for (std::size_t r = 0; r < radios_.size() && r < state.radios.size(); ++r) {
        const bool checked = SendMessageW(radios_[r], BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (checked != state.radios[r])
            SendMessageW(radios_[r], BM_SETCHECK, state.radios[r] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    language_row_visible_ = state.language_row_visible;
    extra_button_visible_ = state.extra_button_visible;
    apply_visibility();
}

void PageView::search() { search(velvane::page_search); }

void PageView::search(SearchAction action) {
    if (!built_) return;
    // The page's controls are its state: read them, let the page decide,
    // write back what changed, then hand the URLs on.
    PageState state = read_state();
    const auto urls = action(engine_, state, context_.scratch);
    apply_state(state);
    for (const std::string& url : urls) launch_url(url, browser_);
    // A user page's code page cannot hold a character of the keyword: nothing
    // was opened, and the user learns which character it was.
    if (context_.scratch.unencodable && context_.tell_user)
        context_.tell_user(to_wide(unencodable_message(*context_.scratch.unencodable)));
    if (!urls.empty() && context_.searched) context_.searched(*this, state);
}

void PageView::on_command(HWND control, int code) {
    if (!built_ || !control) return;
    if (control == button_ && code == BN_CLICKED) {
        search(velvane::page_search);
    } else if (control == extra_button_ && code == BN_CLICKED) {
        const PageState state = read_state();
        const auto urls = velvane::extra_button_search(engine_, state);
        for (const std::string& url : urls) launch_url(url, browser_);
        if (!urls.empty() && context_.searched) context_.searched(*this, state);
    } else if (control == list_) {
        on_list_notification(code);
    } else if (code == BN_CLICKED) {
        const auto radio = std::find(radios_.begin(), radios_.end(), control);
        if (radio == radios_.end()) return;
        PageState state = read_state();
        velvane::radio_clicked(engine_, state, static_cast<std::size_t>(radio - radios_.begin()));
        apply_state(state);
    }
}

void PageView::on_list_notification(int code) {
    // Arrow keys on the closed list move its selection (CBN_SELCHANGE) and
    // search nothing: Enter then searches. A choice in the drop-down (a click
    // on an item, Enter, or the drop-down closing on an item the user moved
    // to) is told by CBN_SELENDOK; Esc and a click elsewhere by
    // CBN_SELENDCANCEL. Some platforms also send CBN_SELENDOK for the closed
    // list's arrow keys, hence the drop-down's opening as the start.
    switch (code) {
    case CBN_DROPDOWN:
        list_opened_ = true;
        list_choice_made_ = false;
        break;
    case CBN_SELENDOK:
        list_choice_made_ = true;
        PostMessageW(list_, kListClosedMessage, 0, 0);
        break;
    case CBN_CLOSEUP:
        PostMessageW(list_, kListClosedMessage, 0, 0);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK PageView::list_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR data) noexcept {
    if (msg == WM_NCDESTROY) {
        unsubclass(hwnd, list_proc);
        return call_before_subclass(hwnd, msg, wparam, lparam);
    }
    return reinterpret_cast<PageView*>(data)->on_list_message(hwnd, msg, wparam, lparam);
}

LRESULT PageView::on_list_message(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    // Asked of the list itself, past this procedure, and only for the
    // messages below: sent to the list, the question came back here, which
    // asked it again, for every message the list got (Wine cut the
    // recursion at 64 levels; a stack has no such limit).
    const auto dropped = [&] { return call_before_subclass(hwnd, CB_GETDROPPEDSTATE, 0, 0) != FALSE; };
    switch (msg) {
    case kListClosedMessage: {
        if (dropped()) return 0;  // opened again meanwhile: its own closing decides
        const bool chosen = list_opened_ && list_choice_made_;
        list_opened_ = false;
        list_choice_made_ = false;
        if (chosen && SendMessageW(hwnd, CB_GETCURSEL, 0, 0) != CB_ERR) search(velvane::list_pick);
        return 0;
    }
    case WM_GETDLGCODE:
        // Enter on the closed list belongs to the list, not to the keyboard
        // navigation; on the open one the list asks for it itself.
        if (lparam && reinterpret_cast<const MSG*>(lparam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lparam)->wParam == VK_RETURN && !dropped())
            return call_before_subclass(hwnd, msg, wparam, lparam) | DLGC_WANTALLKEYS;
        break;
    case WM_KEYDOWN:
        // Enter on the closed list searches its item; on the open list it
        // closes the drop-down with a choice, which searches then.
        if (wparam == VK_RETURN && !dropped()) {
            if (SendMessageW(hwnd, CB_GETCURSEL, 0, 0) != CB_ERR) search(velvane::list_pick);
            return 0;
        }
        break;
    case WM_CHAR:
        // Enter's character is no item's first letter.
        if (wparam == L'\r' || wparam == L'\n') return 0;
        break;
    default:
        break;
    }
    return call_before_subclass(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK PageView::group_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                          DWORD_PTR) noexcept {
    switch (msg) {
    case WM_NCHITTEST:
        // The frame of Google's language row is a control of its own: a right
        // press on it is not a press on the page's empty area.
        return HTCLIENT;
    case WM_NCDESTROY:
        unsubclass(hwnd, group_box_proc);
        break;
    default:
        break;
    }
    return call_before_subclass(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK PageView::edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR data) noexcept {
    if (msg == WM_NCDESTROY) {
        unsubclass(hwnd, edit_proc);
        return call_before_subclass(hwnd, msg, wparam, lparam);
    }
    return reinterpret_cast<PageView*>(data)->on_keyword_box_message(hwnd, msg, wparam, lparam);
}

LRESULT PageView::on_keyword_box_message(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (context_.keyword_box_filter) {
        if (const std::optional<LRESULT> result = context_.keyword_box_filter(*this, msg, wparam, lparam))
            return *result;
    }
    switch (msg) {
    case WM_MOUSEMOVE: {
        // The pointer moving over the keyword box gives it the focus, without
        // a click. The system also repeats a move where the pointer rests
        // (after a window change, for example); that one must not pull the
        // focus back from where Tab just put it.
        const bool moved = lparam != context_.last_hover_position || hwnd != context_.last_hover_box;
        context_.last_hover_position = lparam;
        context_.last_hover_box = hwnd;
        if (moved && GetFocus() != hwnd) SetFocus(hwnd);
        break;
    }
    case WM_GETDLGCODE:
        // Enter belongs to the keyword box, not to the keyboard navigation.
        if (lparam && reinterpret_cast<const MSG*>(lparam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lparam)->wParam == VK_RETURN)
            return call_before_subclass(hwnd, msg, wparam, lparam) | DLGC_WANTALLKEYS;
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:  // with Alt held
        // Enter searches whatever modifier keys are held; the key still reaches the box.
        if (wparam == VK_RETURN) search(velvane::page_search);
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        // A single-line box has nothing to do with Enter's character but beep.
        if (wparam == L'\r' || wparam == L'\n') return 0;
        break;
    default:
        break;
    }
    return call_before_subclass(hwnd, msg, wparam, lparam);
}

}  // namespace velvane
