// The engine pages of the main window: the tab control, with a tab per
// engine, and a page view (page_view.h) per tab. The page controls are
// children of the main window beside the tab control, above it in the Z
// order, not children of the tab control: the tab control would paint itself
// again for every one of them. A page's controls are made when the page is
// first shown.
//
// The frame (the main window) passes the pages its page messages and pops up
// its menu when they ask for it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/page_view.h"
#include "engines/engine_page.h"
#include "engines/user_pages.h"
#include "win/control_layout_win.h"
#include "win/handles.h"

namespace velvane {

class EnginePages {
public:
    // Sent to the frame when a right press on the tab control (its strip or a
    // page's empty area) asks for the menu.
    static constexpr UINT kMenuRequestMessage = WM_APP + 3;

    EnginePages() = default;
    EnginePages(const EnginePages&) = delete;
    EnginePages& operator=(const EnginePages&) = delete;
    ~EnginePages();

    // What the pages have to tell the user (a tray balloon).
    using TellUser = std::function<void(const std::wstring&)>;

    // Makes the tab control in `frame` at `tab_place` with a tab per built-in
    // engine, and shows the page of the engine shown at start (the first
    // where none says so). The layout is the frame's, for the DPI.
    void create(HWND frame, ControlLayout& layout, const Place96& tab_place, std::span<const Engine* const> engines,
                TellUser tell_user);

    // The user's pages (Engines.ini) after the built-in ones: each call
    // replaces them all (tabs, marks, page views). The page the user is on
    // stays selected, with its keyword, when a page of its name is still
    // there; otherwise the start page comes up. `remembered_focus` is the
    // control the frame gives the focus back to on activation; the answer is
    // what it should be afterwards (never a control that is gone).
    [[nodiscard]] HWND set_user_pages(UserPages pages, HWND remembered_focus);
    // Destroys every page's controls while the frame still stands (its WM_DESTROY).
    void destroy();

    HWND tab_control() const { return tab_; }
    int count() const { return static_cast<int>(pages_.size()); }
    // The selected page's index, and its view (null when there is none).
    int current() const;
    PageView* current_page() const;
    // The current page's keyword box.
    HWND keyword_box() const;

    // Every page's keyword box, those made later too, shows its messages to
    // `filter` first (see PageViewContext::keyword_box_filter).
    void set_keyword_box_filter(decltype(PageViewContext::keyword_box_filter) filter);
    // Told after each search of a page that opened something.
    void set_searched(decltype(PageViewContext::searched) searched);

    // Selects the page `step` pages on (negative: back), round the ends, and
    // puts the focus in its keyword box: Ctrl+Tab and Ctrl+Shift+Tab.
    void step(int step);
    // Selects the page at `index` and shows it, as a click on its tab does
    // (its keyword box starts empty).
    void select(int index);
    // Every page's tab caption (UTF-8), in the order of the tabs.
    std::vector<std::string_view> captions() const;

    // Tells the user what the launch's thread asked to (LaterBalloons): the
    // frame calls this for LaterBalloons::message().
    void tell_later_balloons();

    // The frame's messages from the pages' controls.
    void on_command(HWND control, int code);
    void on_notify(const NMHDR& header);
    // The background of a static-like control of a page (the category radios
    // are black on white), or null for the default.
    HBRUSH control_colours(HWND control, HDC dc) const;
    // Buttons and radios show the hand over them.
    bool is_hand_control(HWND control) const;

private:
    static LRESULT CALLBACK tab_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                     DWORD_PTR data) noexcept;

    void add_tab(const std::string_view caption, int image);
    void remove_user_pages();
    // The page whose control `control` is, or null.
    PageView* page_of(HWND control) const;
    void show(int index);
    void on_selection_changed();

    HWND tab_ = nullptr;
    // Declared before the pages: every page view refers to it.
    PageViewContext context_;
    UserPages user_pages_;  // what the user pages' Engine tables point into
    // Held by pointer: the keyword boxes' subclass procedures hold their page.
    std::vector<std::unique_ptr<PageView>> pages_;
    std::size_t built_in_pages_ = 0;
    int built_in_images_ = 0;
    int start_page_ = 0;
    int shown_ = -1;
    UniqueImageList tab_images_;
};

}  // namespace velvane
