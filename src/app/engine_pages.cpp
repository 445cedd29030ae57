#include "app/engine_pages.h"

#include <commctrl.h>
#include <initguid.h>

#include <algorithm>

#include "app/control_ids.h"
#include "app/user_pages_win.h"
#include "text/user_template.h"
#include "resources/resource.h"
#include "win/launch.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

constexpr FontChoice kRadioFont = simsun(14);
constexpr FontChoice kTabFont = simsun(12);

// What a control of a page is, by the slot of its id.
int slot_of(HWND control) {
    const int id = GetDlgCtrlID(control);
    return id < ids::kPageBase ? -1 : (id - ids::kPageBase) % ids::kPageStride;
}
bool is_radio_slot(int slot) { return slot >= ids::kRadioSlot && slot < ids::kListSlot; }
bool is_language_slot(int slot) { return slot >= ids::kLanguageSlot && slot < ids::kPageStride; }

}  // namespace

// Goes with the main window, after the tab control: the image list outlives it.
EnginePages::~EnginePages() = default;

void EnginePages::create(HWND frame, ControlLayout& layout, const Place96& tab_place,
                         std::span<const Engine* const> engines, TellUser tell_user) {
    frame_ = frame;
    tell_user_ = std::move(tell_user);
    layout_ = &layout;
    tab_place_ = tab_place;
    white_brush_.reset(CreateSolidBrush(RGB(255, 255, 255)));

    // Not a tab stop: Tab walks the page's controls, Ctrl+Tab the pages. The
    // tab control does not paint where the page controls above it lie.
    tab_ = layout.make(frame, {WC_TABCONTROLW, L"", WS_VISIBLE | WS_CLIPSIBLINGS, 0, ids::kTabControl, kTabFont},
                       tab_place);
    if (!tab_) return;

    // The engine marks are drawn at 16 x 16; at any DPI they stay that size
    // rather than being stretched.
    tab_images_.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 0));
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(frame, GWLP_HINSTANCE));
    const UniqueBitmap strip(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_TAB_IMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (strip) ImageList_Add(tab_images_.get(), strip.get(), nullptr);
    built_in_images_ = ImageList_GetImageCount(tab_images_.get());
    TabCtrl_SetImageList(tab_, tab_images_.get());

    pages_.resize(engines.size());
    built_in_pages_ = engines.size();
    for (std::size_t i = 0; i < engines.size(); ++i) {
        pages_[i].engine = engines[i];
        add_tab(engines[i]->tab_caption, engines[i]->image);
        if (engines[i]->shown_at_start && start_page_ == 0) start_page_ = static_cast<int>(i);
    }
    SetWindowSubclass(tab_, tab_proc, 0, reinterpret_cast<DWORD_PTR>(this));
    if (pages_.empty()) return;
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(start_page_), 0);
    show(start_page_);
}

void EnginePages::add_tab(const std::string_view caption, int image) {
    std::wstring text = to_wide(caption);
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = text.data();
    item.iImage = image;
    const int index = static_cast<int>(SendMessageW(tab_, TCM_GETITEMCOUNT, 0, 0));
    SendMessageW(tab_, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void EnginePages::set_user_pages(UserPages pages, HWND& remembered_focus) {
    const int current = this->current();
    std::string current_caption;
    std::wstring keyword;
    bool had_focus = false;
    if (current >= static_cast<int>(built_in_pages_) && current < count()) {
        const Page& page = pages_[static_cast<std::size_t>(current)];
        current_caption = page.engine->tab_caption;
        if (page.edit) keyword = window_text(page.edit);
        HWND focus = GetFocus();
        had_focus = focus && std::find(page.controls.begin(), page.controls.end(), focus) != page.controls.end();
    }

    remove_user_pages();
    user_pages_ = std::move(pages);
    for (const UserPage& user_page : user_pages_.pages()) {
        // Made when first shown, as every page.
        pages_.emplace_back().engine = &user_page.engine;
        add_tab(user_page.engine.tab_caption,
                tab_images_ ? add_user_page_mark(tab_images_.get(), user_page.mark, user_page.mark_colour) : -1);
    }
    if (remembered_focus && !IsWindow(remembered_focus)) remembered_focus = nullptr;

    if (current < static_cast<int>(built_in_pages_)) return;  // a built-in page stays as it is
    // The user page the user was on, found by its name, or the start page.
    int index = start_page_;
    bool found = false;
    for (std::size_t p = built_in_pages_; p < pages_.size() && !found; ++p) {
        found = pages_[p].engine->tab_caption == current_caption;
        if (found) index = static_cast<int>(p);
    }
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    shown_ = -1;  // the page shown before is gone
    show(index);
    Page& shown = pages_[static_cast<std::size_t>(index)];
    // The keyword stays in a page rebuilt under its name; another page starts empty.
    if (shown.edit) SetWindowTextW(shown.edit, found ? keyword.c_str() : L"");
    if (shown.edit && (had_focus || !remembered_focus)) {
        if (GetActiveWindow() == frame_) SetFocus(shown.edit);
        remembered_focus = shown.edit;
    }
}

void EnginePages::remove_user_pages() {
    for (std::size_t p = pages_.size(); p-- > built_in_pages_;) {
        for (HWND control : pages_[p].controls) DestroyWindow(control);
        SendMessageW(tab_, TCM_DELETEITEM, p, 0);
        if (shown_ == static_cast<int>(p)) shown_ = -1;
    }
    pages_.resize(built_in_pages_);
    layout_->forget_if([](HWND control) { return !IsWindow(control); });
    if (last_hover_box_ && !IsWindow(last_hover_box_)) last_hover_box_ = nullptr;
    while (tab_images_ && ImageList_GetImageCount(tab_images_.get()) > built_in_images_)
        ImageList_Remove(tab_images_.get(), ImageList_GetImageCount(tab_images_.get()) - 1);
}

int EnginePages::current() const { return tab_ ? static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)) : -1; }

HWND EnginePages::keyword_box() const {
    const int index = current();
    return index >= 0 && index < count() ? pages_[static_cast<std::size_t>(index)].edit : nullptr;
}

HWND EnginePages::make(const ControlRecipe& recipe, const Rect& rect, HWND parent) {
    // Page controls stand where they would within the tab control; language
    // radios within their group box.
    const POINT origin = parent ? POINT{0, 0} : POINT{tab_place_.left, tab_place_.top};
    return layout_->make(parent ? parent : frame_, recipe, {rect.left, rect.top, rect.width, rect.height, origin});
}

void EnginePages::build(int index) {
    Page& page = pages_[static_cast<std::size_t>(index)];
    if (page.built) return;
    page.built = true;
    const Engine& engine = *page.engine;
    const PageState start = initial_state(engine);
    const std::wstring caption = to_wide(engine.tab_caption);

    for (std::size_t r = 0; r < engine.radios.size(); ++r) {
        const CategoryRadio& radio = engine.radios[r];
        const DWORD style = BS_AUTORADIOBUTTON | (r == 0 ? WS_GROUP | WS_TABSTOP : 0);
        HWND hwnd = make(
            {WC_BUTTONW, caption_text(radio.caption), style, 0, ids::radio(index, static_cast<int>(r)), kRadioFont},
            radio.rect);
        SendMessageW(hwnd, BM_SETCHECK, start.radios[r] ? BST_CHECKED : BST_UNCHECKED, 0);
        page.radios.push_back(hwnd);
        page.controls.push_back(hwnd);
    }

    if (!engine.list.empty()) {
        // A list the user can only pick from; the drop-down shows every item.
        Rect rect = engine.list_rect;
        rect.height += static_cast<int>(engine.list.size()) * 18 + 8;
        page.list = make({WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0, ids::list(index),
                          kMessageFont},
                         rect);
        for (const ListItem& item : engine.list)
            SendMessageW(page.list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(item.caption).c_str()));
        SendMessageW(page.list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        name_for_accessibility(page.list, caption + L" 更多分类");
        page.controls.push_back(page.list);
    }

    page.edit = make({WC_EDITW, L"", ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP, WS_EX_CLIENTEDGE, ids::edit(index),
                      simsun(engine.keyword_font_px)},
                     engine.edit_rect);
    SendMessageW(page.edit, EM_SETLIMITTEXT, 0, 0);  // no length limit
    name_for_accessibility(page.edit, caption + L" 搜索关键词");
    SetWindowSubclass(page.edit, edit_proc, static_cast<UINT_PTR>(index), reinterpret_cast<DWORD_PTR>(this));
    page.controls.push_back(page.edit);

    page.button = make({WC_BUTTONW, caption_text(engine.button_caption), BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0,
                        ids::button(index), kMessageFont},
                       engine.button_rect);
    page.controls.push_back(page.button);

    if (const ExtraButton* extra = engine.extra_button) {
        page.extra_button = make({WC_BUTTONW, caption_text(extra->caption), BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0,
                                  ids::extra_button(index), kMessageFont},
                                 extra->rect);
        page.controls.push_back(page.extra_button);
    }

    if (const LanguageRow* row = engine.language_row) {
        page.group_box =
            make({WC_BUTTONW, L"", BS_GROUPBOX | WS_GROUP, WS_EX_CONTROLPARENT, ids::group_box(index), kMessageFont},
                 row->rect);
        SetWindowSubclass(page.group_box, group_box_proc, 0, 0);
        for (std::size_t l = 0; l < row->radios.size(); ++l) {
            const DWORD style = BS_AUTORADIOBUTTON | WS_VISIBLE | (l == 0 ? WS_GROUP | WS_TABSTOP : 0);
            HWND hwnd = make({WC_BUTTONW, caption_text(row->radios[l].caption), style, 0,
                              ids::language(index, static_cast<int>(l)), kMessageFont},
                             row->radios[l].rect, page.group_box);
            SendMessageW(hwnd, BM_SETCHECK, start.languages[l] ? BST_CHECKED : BST_UNCHECKED, 0);
            page.languages.push_back(hwnd);
        }
        page.controls.push_back(page.group_box);
    }
    page.language_row_visible = start.language_row_visible;
    page.extra_button_visible = start.extra_button_visible;

    // New controls join the bottom of the Z order; the tab control goes back
    // below them, so that it neither paints over them nor takes their clicks.
    SetWindowPos(tab_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void EnginePages::name_for_accessibility(HWND control, const std::wstring& name) {
    // Radios and buttons are read by their captions; boxes without one get a
    // name here. Where the platform offers no such service this does nothing.
    if (!accessibility_tried_) {
        accessibility_tried_ = true;
        if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                    accessibility_.out_void())))
            accessibility_.reset();
    }
    if (accessibility_)
        accessibility_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                                       name.c_str());
}

void EnginePages::show(int index) {
    if (index < 0 || index >= count()) return;
    build(index);
    if (shown_ != index && shown_ >= 0) {
        for (HWND control : pages_[static_cast<std::size_t>(shown_)].controls) ShowWindow(control, SW_HIDE);
    }
    shown_ = index;
    Page& page = pages_[static_cast<std::size_t>(index)];
    for (HWND control : page.controls) {
        if (control != page.group_box && control != page.extra_button) ShowWindow(control, SW_SHOWNA);
    }
    apply_visibility(page);
}

void EnginePages::apply_visibility(Page& page) {
    const bool page_shown = shown_ >= 0 && &pages_[static_cast<std::size_t>(shown_)] == &page;
    if (page.group_box) ShowWindow(page.group_box, page_shown && page.language_row_visible ? SW_SHOWNA : SW_HIDE);
    if (page.extra_button) ShowWindow(page.extra_button, page_shown && page.extra_button_visible ? SW_SHOWNA : SW_HIDE);
}

void EnginePages::step(int step) {
    if (pages_.empty()) return;
    const int n = count();
    const int index = ((current() + step) % n + n) % n;
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    on_selection_changed();
    // The focus must not stay on a control of the page that was just hidden.
    if (HWND edit = pages_[static_cast<std::size_t>(index)].edit) SetFocus(edit);
}

void EnginePages::on_selection_changed() {
    const int index = current();
    if (index < 0 || index >= count()) return;
    show(index);
    // A keyword is never carried from one visit of a page to the next.
    if (HWND edit = pages_[static_cast<std::size_t>(index)].edit) SetWindowTextW(edit, L"");
}

bool EnginePages::on_notify(const NMHDR& header) {
    if (header.hwndFrom != tab_ || header.code != TCN_SELCHANGE) return false;
    on_selection_changed();
    return true;
}

HBRUSH EnginePages::control_colours(HWND control, HDC dc) const {
    if (!is_radio_slot(slot_of(control)) || GetParent(control) != frame_) return nullptr;
    // Category radios: black text on white.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    return white_brush_.get();
}

bool EnginePages::is_hand_control(HWND control) const {
    const int slot = slot_of(control);
    return slot == ids::kButtonSlot || slot == ids::kExtraButtonSlot || is_radio_slot(slot) || is_language_slot(slot);
}

PageState EnginePages::read_state(const Page& page) const {
    PageState state;
    if (page.edit) state.keyword = to_utf8(window_text(page.edit));
    for (HWND radio : page.radios) state.radios.push_back(SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED);
    for (HWND radio : page.languages) state.languages.push_back(SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED);
    if (page.list) {
        const LRESULT selected = SendMessageW(page.list, CB_GETCURSEL, 0, 0);
        state.list_index = selected == CB_ERR ? kNoListItem : static_cast<int>(selected);
    }
    state.language_row_visible = page.language_row_visible;
    state.extra_button_visible = page.extra_button_visible;
    return state;
}

void EnginePages::apply_state(Page& page, const PageState& state) {
    for (std::size_t r = 0; r < page.radios.size() && r < state.radios.size(); ++r) {
        const bool checked = SendMessageW(page.radios[r], BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (checked != state.radios[r])
            SendMessageW(page.radios[r], BM_SETCHECK, state.radios[r] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    page.language_row_visible = state.language_row_visible;
    page.extra_button_visible = state.extra_button_visible;
    apply_visibility(page);
}

void EnginePages::search(int index, SearchAction action) {
    // The page's controls are its state: read them, let the page decide,
    // write back what changed, then hand the URLs on.
    Page& page = pages_[static_cast<std::size_t>(index)];
    PageState state = read_state(page);
    const auto urls = action(*page.engine, state, scratch_);
    apply_state(page, state);
    for (const std::string& url : urls) launch_url(url);
    // A user page's code page cannot hold a character of the keyword: nothing
    // was opened, and the user learns which character it was.
    if (scratch_.unencodable && tell_user_) tell_user_(to_wide(unencodable_message(*scratch_.unencodable)));
}

void EnginePages::extra_button_search(int index) {
    Page& page = pages_[static_cast<std::size_t>(index)];
    for (const std::string& url : velvane::extra_button_search(*page.engine, read_state(page))) launch_url(url);
}

void EnginePages::radio_clicked(int index, std::size_t radio) {
    Page& page = pages_[static_cast<std::size_t>(index)];
    PageState state = read_state(page);
    velvane::radio_clicked(*page.engine, state, radio);
    apply_state(page, state);
}

bool EnginePages::on_command(int id, int code) {
    if (id < ids::kPageBase) return false;
    const int index = (id - ids::kPageBase) / ids::kPageStride;
    const int slot = (id - ids::kPageBase) % ids::kPageStride;
    if (index < 0 || index >= count() || !pages_[static_cast<std::size_t>(index)].built) return false;
    const Page& page = pages_[static_cast<std::size_t>(index)];

    if (slot == ids::kButtonSlot && code == BN_CLICKED) {
        search(index, velvane::page_search);
    } else if (slot == ids::kExtraButtonSlot && code == BN_CLICKED) {
        extra_button_search(index);
    } else if (slot == ids::kListSlot && code == CBN_SELCHANGE) {
        search(index, velvane::list_pick);
    } else if (is_radio_slot(slot) && slot - ids::kRadioSlot < static_cast<int>(page.radios.size()) &&
               code == BN_CLICKED) {
        radio_clicked(index, static_cast<std::size_t>(slot - ids::kRadioSlot));
    }
    return true;
}

LRESULT CALLBACK EnginePages::tab_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<EnginePages*>(data);
    switch (msg) {
    case WM_NCHITTEST: {
        // Outside its headers the tab control calls itself transparent; a
        // press on a page's empty area is a press on the tab control all the same.
        const LRESULT hit = DefSubclassProc(hwnd, msg, wparam, lparam);
        return hit == HTTRANSPARENT ? HTCLIENT : hit;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:  // a quick second press is a press all the same
        SendMessageW(self->frame_, kMenuRequestMessage, 0, 0);
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, tab_proc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK EnginePages::group_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                             DWORD_PTR) noexcept {
    switch (msg) {
    case WM_NCHITTEST:
        // The frame of Google's language row is a control of its own: a right
        // press on it is not a press on the page's empty area.
        return HTCLIENT;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, group_box_proc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK EnginePages::edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                        DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<EnginePages*>(data);
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
        if (wparam == VK_RETURN) self->search(static_cast<int>(id), velvane::page_search);
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

}  // namespace velvane
