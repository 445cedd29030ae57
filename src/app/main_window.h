// The main window's frame: caption "Velvane", the engine pages inside it
// (engine_pages.h), the tray icon, the hotkeys and the menu.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/engine_pages.h"
#include "app/keyword_list_win.h"
#include "app/tray_icon.h"
#include "app/user_pages_win.h"
#include "hotkey/hotkey_win.h"
#include "hotkey/selection_search_win.h"
#include "win/control_layout_win.h"
#include "win/handles.h"
#include "win/window_procedure.h"

namespace velvane {

class MainWindow {
public:
    // Creates and shows the window; null when the window could not be made.
    // The object outlives its window: keep it until the message loop has ended.
    // `request` is what this start's command line asked for.
    static std::unique_ptr<MainWindow> create(HINSTANCE instance, int show,
                                              std::optional<SearchRequest> request = std::nullopt);

    HWND hwnd() const { return hwnd_; }

    // Pops up the tray menu at a point of the screen.
    void show_menu(POINT at);

    // What a second start of the program asks of the running one.
    static UINT show_request_message();
    // Posted to itself: the message box for a request's problem.
    static UINT command_line_problem_message();
    // A later start's command line, handed over as WM_COPYDATA: the whole
    // line in UTF-16 (no NUL needed), marked with this, at most
    // kCommandLineMaxUnits units. The answer is TRUE when the request was
    // taken, FALSE when it names no page here (the running window says so).
    static constexpr ULONG_PTR kCommandLineData = 0x56564331;  // "VVC1"
    static constexpr std::size_t kCommandLineMaxUnits = 32768;

    // Keys the window handles before the keyboard navigation sees them
    // (Ctrl+Tab and Ctrl+Shift+Tab switch pages). True when handled.
    [[nodiscard]] bool pre_translate(const MSG& msg);

private:
    explicit MainWindow(HINSTANCE instance) : instance_(instance) {}

    template <typename Window>
    friend LRESULT CALLBACK window_procedure(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;
    void bind(HWND hwnd) { hwnd_ = hwnd; }
    LRESULT handle(UINT msg, WPARAM wparam, LPARAM lparam);
    void on_create();
    void on_close();
    void on_destroy();
    void on_startup();
    void on_hotkey(int id);
    void on_tray(WPARAM wparam, LPARAM lparam);
    void show_from_elsewhere();
    // A command line's request: the page chosen, then the keyword shown or searched.
    [[nodiscard]] bool take_request(const SearchRequest& request);
    LRESULT on_copy_data(const COPYDATASTRUCT* data);
    // Refreshes the menu's check marks from what the registry and the
    // keyword list's switches hold.
    void check_menu_items();
    // The selection hotkey's end: shown, and the keyword (when there is one)
    // in the current page's keyword box, selected and focused.
    void show_with_keyword(const std::optional<std::wstring>& keyword);
    // Hides a shown window and shows a hidden one; the hotkey also brings a
    // minimised window back at its normal size.
    void toggle_visibility(bool from_hotkey);
    void on_menu_command(int id);
    void on_dpi_changed(UINT dpi, const RECT* suggested);

    // Reads Engines.ini and puts its pages after the built-in ones.
    void load_user_pages();
    // Before the window is shown or a command line is taken: a change of
    // Engines.ini that the folder's watch has not told (its thread may be
    // stuck under Wine) is read now.
    void catch_up_with_user_pages();
    // The tray balloon, now or (while the icon is not there yet) once it is.
    void tell_user(const std::wstring& text);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND focus_before_deactivation_ = nullptr;
    ControlLayout layout_;
    EnginePages pages_;
    KeywordList keyword_list_;  // after the pages: it watches their keyword boxes
    UserPagesFile user_pages_file_;
    UniqueMenu menu_;

    std::wstring program_directory_;
    std::wstring settings_path_;
    Hotkey hotkey_ = kDefaultHotkey;
    GlobalHotkey global_hotkey_;
    SelectionSearch selection_search_;
    bool hotkey_registered_ = false;
    bool restore_when_shown_ = false;
    TrayIcon tray_;
    std::optional<SearchRequest> start_request_;  // this start's command line, taken once the window is up
    std::wstring command_line_problem_;           // for the message box, shown outside the hand-over
};

}  // namespace velvane
