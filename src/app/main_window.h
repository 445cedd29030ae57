// The main window: caption "Velvane", the tab control with one page per
// engine, and the conventions all pages share.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <vector>

#include "app/tray_icon.h"
#include "app/user_pages_win.h"
#include "engines/engine_page.h"
#include "hotkey/hotkey_win.h"
#include "hotkey/selection_search_win.h"
#include "win/font_cache_win.h"
#include "win/handles.h"

namespace velvane {

class MainWindow {
public:
    // Creates and shows the window; null when the window could not be made.
    // The object outlives its window: keep it until the message loop has ended.
    static std::unique_ptr<MainWindow> create(HINSTANCE instance, int show);

    HWND hwnd() const { return hwnd_; }

    // Pops up the tray menu at the mouse pointer.
    void show_menu();

    // What a second start of the program asks of the running one.
    static UINT show_request_message();

    // Keys the window handles before the keyboard navigation sees them
    // (Ctrl+Tab and Ctrl+Shift+Tab switch pages). True when handled.
    bool pre_translate(const MSG& msg);

private:
    struct Page {
        const Engine* engine = nullptr;
        std::vector<HWND> radios;
        std::vector<HWND> languages;
        HWND list = nullptr;
        HWND edit = nullptr;
        HWND button = nullptr;
        HWND extra_button = nullptr;
        HWND group_box = nullptr;
        std::vector<HWND> controls;  // every top-level control of the page
        bool language_row_visible = true;
        bool extra_button_visible = true;
    };

    // A control and where it stands at 96 DPI, so that it can be laid out
    // anew when the window moves to a screen with another DPI.
    struct Placed {
        HWND hwnd;
        Rect rect;
        FontSpec font;
    };

    explicit MainWindow(HINSTANCE instance) : instance_(instance) {}

    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;
    static LRESULT CALLBACK tab_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                     DWORD_PTR data) noexcept;
    static LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR data) noexcept;
    static LRESULT CALLBACK group_box_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                           DWORD_PTR data) noexcept;

    LRESULT handle(UINT msg, WPARAM wparam, LPARAM lparam);
    void on_create();
    void on_command(int id, int code, HWND control);
    void on_page_switch();
    void on_close();
    void on_destroy();
    void on_startup();
    void on_hotkey(int id);
    void on_tray(LPARAM lparam);
    void show_from_elsewhere();
    // The selection hotkey's end: shown, and the keyword (when there is one)
    // in the current page's keyword box, selected and focused.
    void show_with_keyword(const std::optional<std::wstring>& keyword);
    void install_tray_icon();
    // Hides a shown window and shows a hidden one; the hotkey also brings a
    // minimised window back at its normal size.
    void toggle_visibility(bool from_hotkey);
    void on_menu_command(int id);

    // Gives every control its font for the current DPI, and its place.
    void change_fonts();
    void build_tab_control();
    void build_page(int index, const Engine& engine);
    HWND make_control(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, DWORD ex_style,
                      const Rect& rect, int id, FontSpec font);
    void apply_layout();
    void on_dpi_changed(UINT dpi, const RECT* suggested);
    void select_page(int index);
    void name_for_accessibility(HWND control, const std::wstring& name);
    void show_page(int index);
    int current_page() const;

    // The user's pages from Engines.ini come after the built-in ones: each
    // reading replaces them all (tabs, marks, controls). The page the user is
    // on stays selected when a page of its name is still there.
    void load_user_pages();
    void set_user_pages(UserPages pages);
    void remove_user_pages();
    void add_user_page(const UserPage& page);
    // The tray balloon, now or (while the icon is not there yet) once it is.
    void tell_user(const std::wstring& text);

    PageState read_state(const Page& page) const;
    void apply_state(Page& page, const PageState& state);
    void apply_visibility(Page& page);
    void launch_all(const std::vector<std::string>& urls);

    using SearchAction = std::vector<std::string> (*)(const Engine&, PageState&, EncoderScratch&);
    void search(int page, SearchAction action);
    void page_search(int page);
    void list_pick(int page);
    void extra_button_search(int page);
    void radio_clicked(int page, std::size_t radio);

    bool is_hand_control(HWND control) const;
    int px(int value) const { return MulDiv(value, dpi_, 96); }

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND tab_ = nullptr;
    HWND focus_before_deactivation_ = nullptr;
    // Where the pointer last moved over a keyword box, so that a move the
    // system repeats where the pointer rests is told from a real one.
    LPARAM last_hover_position_ = -1;
    HWND last_hover_box_ = nullptr;
    int dpi_ = 96;
    std::vector<Placed> placed_;
    std::vector<Page> pages_;
    std::size_t built_in_pages_ = 0;
    EncoderScratch scratch_;

    UserPagesFile user_pages_file_;
    UserPages user_pages_;  // what the user pages' Engine tables point into
    int built_in_images_ = 0;
    int start_page_ = 0;   // the built-in page shown at start
    std::wstring untold_;  // a balloon waiting for the tray icon

    FontCache fonts_;
    UniqueBrush white_brush_;
    UniqueMenu menu_;
    UniqueImageList tab_images_;

    std::wstring program_directory_;
    std::wstring settings_path_;
    Hotkey hotkey_ = kDefaultHotkey;
    GlobalHotkey global_hotkey_;
    SelectionSearch selection_search_;
    bool hotkey_registered_ = false;
    bool hotkey_failure_told_ = false;
    bool restore_when_shown_ = false;
    TrayIcon tray_;
    int tray_attempts_ = 0;
    UINT taskbar_created_ = 0;
};

}  // namespace velvane
