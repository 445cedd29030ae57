// One engine page of the main window: the controls built from one engine
// table, and what the page does with them. A page view makes its controls
// when it is first shown, shows and hides them, reads them into the page
// state, applies what the page algorithm returns, and destroys them when it
// goes.
//
// The controls are children of the main window (the frame), placed where
// they would stand within the tab control; see engine_pages.h for why.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engines/engine_page.h"
#include "win/control_layout_win.h"
#include "win/handles.h"

namespace velvane {

class PageView;
struct LaunchBrowser;

// Balloons asked for on another thread (the launch's, when a page's own
// browser did not start): kept until the frame's thread takes them, woken by
// message() without any payload, so that a message from elsewhere can do no
// more than look at the list.
class LaterBalloons {
public:
    explicit LaterBalloons(HWND frame) : frame_(frame) {}
    // The message the frame is posted; the frame then calls take().
    static UINT message();
    // From any thread.
    void add(std::wstring text);
    // On the frame's thread: the texts asked for since the last call, each once.
    std::vector<std::wstring> take();

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<std::wstring> texts_;
    const HWND frame_;
};

// What every page view of one window shares: the frame and its layout, where
// the tab control's area lies, the encoder's scratch, and the hooks the frame
// and the keyword features set. Owned by the engine pages; outlives every page.
struct PageViewContext {
    HWND frame = nullptr;
    ControlLayout* layout = nullptr;
    POINT tab_origin = {};  // the tab control's top-left corner at 96 DPI
    EncoderScratch scratch;
    UniqueBrush white_brush;
    // Tells the user something (a tray balloon).
    std::function<void(const std::wstring&)> tell_user;
    // The same from the launch's thread; it may outlive the frame.
    std::shared_ptr<LaterBalloons> later_balloons;
    // Sees each message of a page's keyword box before the page does (keys
    // such as Up, Down, Esc and Enter among them). A result means handled:
    // the page and the box never see the message.
    std::function<std::optional<LRESULT>(PageView&, UINT, WPARAM, LPARAM)> keyword_box_filter;
    // After a search of a page (its button, Enter, a list choice, the extra
    // button) has opened something, with the page's state it read and
    // updated (the keyword among it).
    std::function<void(PageView&, const PageState&)> searched;

    // The platform's service that names the boxes for screen readers: made
    // once, when the first box is named; null where the platform has none.
    ComPtr<IAccPropServices> accessibility;
    bool accessibility_tried = false;
    // Where the pointer last moved over a keyword box, so that a move the
    // system repeats where the pointer rests is told from a real one.
    LPARAM last_hover_position = -1;
    HWND last_hover_box = nullptr;
};

class PageView {
public:
    // The page at `index` among the tabs (its controls' ids follow from it).
    PageView(const Engine& engine, int index, PageViewContext& context);
    PageView(const PageView&) = delete;
    PageView& operator=(const PageView&) = delete;
    // Destroys the page's controls.
    ~PageView();

    const Engine& engine() const { return engine_; }
    int index() const { return index_; }
    bool built() const { return built_; }

    // Shows the page's controls, making them first if need be.
    void show();
    void hide();

    // The keyword box (null until the page is built).
    HWND keyword_box() const { return edit_; }
    std::wstring keyword() const;
    // Puts `text` in the keyword box, the caret at its start.
    void set_keyword(std::wstring_view text);
    // Selects the keyword box's characters from `start` to `end` (-1: to the
    // end); start == end puts the caret there.
    void select_keyword(int start, int end);
    // Whether `control` is one of this page's, language radios included.
    bool owns(HWND control) const;

    // Searches the box's keyword in the page's current category: what the
    // search button and Enter in the keyword box do.
    void search();

    // A control of the page told the frame something (WM_COMMAND).
    void on_command(HWND control, int code);
    // The background of a static-like control of the page (the category
    // radios are black on white), or null for the default.
    HBRUSH control_colours(HWND control, HDC dc) const;
    // Buttons and radios show the hand over them.
    bool is_hand_control(HWND control) const;

private:
    static LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR data) noexcept;
    static LRESULT CALLBACK list_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR data) noexcept;
    static LRESULT CALLBACK group_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                           DWORD_PTR data) noexcept;
    LRESULT on_keyword_box_message(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    LRESULT on_list_message(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

    void build();
    HWND make(const ControlRecipe& recipe, const Rect& rect, HWND parent = nullptr);
    void name_for_accessibility(HWND control, const std::wstring& name);
    void apply_visibility();

    PageState read_state() const;
    void apply_state(const PageState& state);
    using SearchAction = std::vector<std::string> (*)(const Engine&, PageState&, EncoderScratch&);
    void search(SearchAction action);
    void on_list_notification(int code);

    const Engine& engine_;
    // Where the page's URLs go (its own browser, or the default one) and
    // the balloons the launch may ask for.
    std::shared_ptr<const LaunchBrowser> browser_;
    const int index_;
    PageViewContext& context_;
    bool built_ = false;
    bool shown_ = false;

    std::vector<HWND> radios_;
    std::vector<HWND> languages_;  // children of the group box
    HWND list_ = nullptr;
    HWND edit_ = nullptr;
    HWND button_ = nullptr;
    HWND extra_button_ = nullptr;
    HWND group_box_ = nullptr;
    std::vector<HWND> controls_;  // every control of the page but the language radios
    bool language_row_visible_ = true;
    bool extra_button_visible_ = true;

    // The list searches when the user makes a choice, not whenever its
    // selection moves: since its drop-down last opened (`list_opened_`), the
    // list reported a choice to be acted on (`list_choice_made_`).
    bool list_opened_ = false;
    bool list_choice_made_ = false;
};

}  // namespace velvane
