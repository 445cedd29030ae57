#include "app/engine_pages.h"

#include <commctrl.h>

#include <algorithm>

#include "app/control_ids.h"
#include "app/user_pages_win.h"
#include "resources/resource.h"
#include "win/subclass_win.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

constexpr FontChoice kTabFont = simsun(12);

}  // namespace

// Goes with the main window, after the tab control: the image list outlives it.
EnginePages::~EnginePages() = default;

void EnginePages::create(HWND frame, ControlLayout& layout, const Place96& tab_place,
                         std::span<const Engine* const> engines, TellUser tell_user) {
    context_.frame = frame;
    context_.layout = &layout;
    context_.tab_origin = {tab_place.left, tab_place.top};
    context_.tell_user = std::move(tell_user);
    context_.later_balloons = std::make_shared<LaterBalloons>(frame);
    context_.white_brush.reset(CreateSolidBrush(RGB(255, 255, 255)));

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

    built_in_pages_ = engines.size();
    for (const Engine* engine : engines) {
        if (engine->shown_at_start && start_page_ == 0) start_page_ = count();
        pages_.push_back(std::make_unique<PageView>(*engine, count(), context_));
        add_tab(engine->tab_caption, engine->image);
    }
    subclass(tab_, tab_proc, reinterpret_cast<DWORD_PTR>(this));
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

HWND EnginePages::set_user_pages(UserPages pages, HWND remembered_focus) {
    const int current = this->current();
    std::string current_caption;
    std::wstring keyword;
    bool had_focus = false;
    if (current >= static_cast<int>(built_in_pages_) && current < count()) {
        const PageView& page = *pages_[static_cast<std::size_t>(current)];
        current_caption = page.engine().tab_caption;
        keyword = page.keyword();
        had_focus = page.owns(GetFocus());
    }

    remove_user_pages();
    user_pages_ = std::move(pages);
    for (const UserPage& user_page : user_pages_.pages()) {
        // Made when first shown, as every page.
        pages_.push_back(std::make_unique<PageView>(user_page.engine, count(), context_));
        add_tab(user_page.engine.tab_caption,
                tab_images_ ? add_user_page_mark(tab_images_.get(), user_page.mark, user_page.mark_colour) : -1);
    }
    if (remembered_focus && !IsWindow(remembered_focus)) remembered_focus = nullptr;

    if (current < static_cast<int>(built_in_pages_)) return remembered_focus;  // a built-in page stays as it is
    // The user page the user was on, found by its name, or the start page.
    int index = start_page_;
    bool found = false;
    for (std::size_t p = built_in_pages_; p < pages_.size() && !found; ++p) {
        found = pages_[p]->engine().tab_caption == current_caption;
        if (found) index = static_cast<int>(p);
    }
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    show(index);
    PageView& shown = *pages_[static_cast<std::size_t>(index)];
    // The keyword stays in a page rebuilt under its name; another page starts empty.
    shown.set_keyword(found ? keyword : std::wstring());
    HWND box = shown.keyword_box();
    if (box && (had_focus || !remembered_focus)) {
        if (GetActiveWindow() == context_.frame) SetFocus(box);
        return box;
    }
    return remembered_focus;
}

void EnginePages::remove_user_pages() {
    for (std::size_t p = pages_.size(); p-- > built_in_pages_;) {
        SendMessageW(tab_, TCM_DELETEITEM, p, 0);
        if (shown_ == static_cast<int>(p)) shown_ = -1;  // the page shown is going
    }
    // Each page view destroys its controls.
    pages_.resize(std::min(pages_.size(), built_in_pages_));
    while (tab_images_ && ImageList_GetImageCount(tab_images_.get()) > built_in_images_)
        ImageList_Remove(tab_images_.get(), ImageList_GetImageCount(tab_images_.get()) - 1);
}

void EnginePages::destroy() {
    shown_ = -1;
    pages_.clear();
}

int EnginePages::current() const { return tab_ ? static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)) : -1; }

PageView* EnginePages::current_page() const {
    const int index = current();
    return index >= 0 && index < count() ? pages_[static_cast<std::size_t>(index)].get() : nullptr;
}

HWND EnginePages::keyword_box() const {
    const PageView* page = current_page();
    return page ? page->keyword_box() : nullptr;
}

void EnginePages::set_keyword_box_filter(decltype(PageViewContext::keyword_box_filter) filter) {
    context_.keyword_box_filter = std::move(filter);
}

void EnginePages::set_searched(decltype(PageViewContext::searched) searched) {
    context_.searched = std::move(searched);
}

PageView* EnginePages::page_of(HWND control) const {
    // A page control's id says its page; the page says whether it is its own.
    const int id = control ? GetDlgCtrlID(control) : 0;
    if (id < ids::kPageBase) return nullptr;
    const int index = (id - ids::kPageBase) / ids::kPageStride;
    if (index >= count()) return nullptr;
    PageView* page = pages_[static_cast<std::size_t>(index)].get();
    return page->owns(control) ? page : nullptr;
}

void EnginePages::show(int index) {
    if (index < 0 || index >= count()) return;
    if (shown_ != index && shown_ >= 0 && shown_ < count()) pages_[static_cast<std::size_t>(shown_)]->hide();
    shown_ = index;
    PageView& page = *pages_[static_cast<std::size_t>(index)];
    const bool new_controls = !page.built();
    page.show();
    // New controls join the bottom of the Z order; the tab control goes back
    // below them, so that it neither paints over them nor takes their clicks.
    if (new_controls) SetWindowPos(tab_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void EnginePages::step(int step) {
    if (pages_.empty()) return;
    const int n = count();
    const int index = ((current() + step) % n + n) % n;
    SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    on_selection_changed();
    // The focus must not stay on a control of the page that was just hidden.
    if (HWND box = pages_[static_cast<std::size_t>(index)]->keyword_box()) SetFocus(box);
}

void EnginePages::select(int index) {
    if (index < 0 || index >= count()) return;
    if (index != current()) {
        SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        on_selection_changed();
    }
}

std::vector<std::string_view> EnginePages::captions() const {
    std::vector<std::string_view> captions;
    for (const auto& page : pages_) captions.push_back(page->engine().tab_caption);
    return captions;
}

void EnginePages::tell_later_balloons() {
    if (!context_.later_balloons) return;
    for (const std::wstring& text : context_.later_balloons->take())
        if (context_.tell_user) context_.tell_user(text);
}

void EnginePages::on_selection_changed() {
    const int index = current();
    if (index < 0 || index >= count()) return;
    show(index);
    // A keyword is never carried from one visit of a page to the next.
    pages_[static_cast<std::size_t>(index)]->set_keyword({});
}

void EnginePages::on_notify(const NMHDR& header) {
    if (header.hwndFrom == tab_ && header.code == TCN_SELCHANGE) on_selection_changed();
}

void EnginePages::on_command(HWND control, int code) {
    if (PageView* page = page_of(control)) page->on_command(control, code);
}

HBRUSH EnginePages::control_colours(HWND control, HDC dc) const {
    const PageView* page = page_of(control);
    return page ? page->control_colours(control, dc) : nullptr;
}

bool EnginePages::is_hand_control(HWND control) const {
    const PageView* page = page_of(control);
    return page && page->is_hand_control(control);
}

LRESULT CALLBACK EnginePages::tab_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<EnginePages*>(data);
    switch (msg) {
    case WM_NCHITTEST: {
        // Outside its headers the tab control calls itself transparent; a
        // press on a page's empty area is a press on the tab control all the same.
        const LRESULT hit = call_before_subclass(hwnd, msg, wparam, lparam);
        return hit == HTTRANSPARENT ? HTCLIENT : hit;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:  // a quick second press is a press all the same
        SendMessageW(self->context_.frame, kMenuRequestMessage, 0, 0);
        break;
    case WM_NCDESTROY:
        unsubclass(hwnd, tab_proc);
        break;
    default:
        break;
    }
    return call_before_subclass(hwnd, msg, wparam, lparam);
}

}  // namespace velvane
