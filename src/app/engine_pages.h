// The engine pages of the main window: the tab control, with a tab per
// engine, and each page's controls built from its engine's table. The page
// controls are children of the main window beside the tab control, above it
// in the Z order, not children of the tab control: the tab control would
// paint itself again for every one of them. A page's controls are made when
// the page is first shown.
//
// The pages read their controls into the page state, let the page algorithm
// decide, and apply what it returns; the frame (the main window) passes them
// its page messages and pops up its menu when they ask for it.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

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
    // replaces them all (tabs, marks, controls). The page the user is on
    // stays selected, with its keyword, when a page of its name is still
    // there; otherwise the start page comes up. `remembered_focus` is the
    // frame's focus to restore on activation, kept pointing at a live control.
    void set_user_pages(UserPages pages, HWND& remembered_focus);

    HWND tab_control() const { return tab_; }
    int count() const { return static_cast<int>(pages_.size()); }
    // The selected page.
    int current() const;
    // The current page's keyword box.
    HWND keyword_box() const;

    // Selects the page `step` pages on (negative: back), round the ends, and
    // puts the focus in its keyword box: Ctrl+Tab and Ctrl+Shift+Tab.
    void step(int step);

    // The frame's messages from the pages' controls. True when handled.
    bool on_command(int id, int code);
    bool on_notify(const NMHDR& header);
    // The background of a static-like control of a page (the category radios
    // are black on white), or null for the default.
    HBRUSH control_colours(HWND control, HDC dc) const;
    // Buttons and radios show the hand over them.
    bool is_hand_control(HWND control) const;

private:
    struct Page {
        const Engine* engine = nullptr;
        bool built = false;
        std::vector<HWND> radios;
        std::vector<HWND> languages;
        HWND list = nullptr;
        HWND edit = nullptr;
        HWND button = nullptr;
        HWND extra_button = nullptr;
        HWND group_box = nullptr;
        std::vector<HWND> controls;  // every control of the page but the language radios
        bool language_row_visible = true;
        bool extra_button_visible = true;
    };

    static LRESULT CALLBACK tab_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                     DWORD_PTR data) noexcept;
    static LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR data) noexcept;
    static LRESULT CALLBACK group_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                           DWORD_PTR data) noexcept;

    void build(int index);
    void add_tab(const std::string_view caption, int image);
    void remove_user_pages();
    HWND make(const ControlRecipe& recipe, const Rect& rect, HWND parent = nullptr);
    void name_for_accessibility(HWND control, const std::wstring& name);
    void show(int index);
    void on_selection_changed();
    void apply_visibility(Page& page);

    PageState read_state(const Page& page) const;
    void apply_state(Page& page, const PageState& state);

    using SearchAction = std::vector<std::string> (*)(const Engine&, PageState&, EncoderScratch&);
    void search(int index, SearchAction action);
    void extra_button_search(int index);
    void radio_clicked(int index, std::size_t radio);

    HWND frame_ = nullptr;
    HWND tab_ = nullptr;
    ControlLayout* layout_ = nullptr;
    Place96 tab_place_;
    std::vector<Page> pages_;
    std::size_t built_in_pages_ = 0;
    int built_in_images_ = 0;
    int start_page_ = 0;
    UserPages user_pages_;  // what the user pages' Engine tables point into
    TellUser tell_user_;
    int shown_ = -1;
    EncoderScratch scratch_;
    UniqueImageList tab_images_;
    UniqueBrush white_brush_;
    // The platform's service that names the boxes for screen readers: made
    // once, when the first box is named; null where the platform has none.
    ComPtr<IAccPropServices> accessibility_;
    bool accessibility_tried_ = false;
    // Where the pointer last moved over a keyword box, so that a move the
    // system repeats where the pointer rests is told from a real one.
    LPARAM last_hover_position_ = -1;
    HWND last_hover_box_ = nullptr;
};

}  // namespace velvane
