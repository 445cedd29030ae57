// The list under the keyword box: recent searches and search suggestions,
// both off until the user turns them on in the tray menu.
//
// The list is a standard list box in a pop-up of its own below the current
// page's box. It never takes the focus: typing goes on in the box and
// refines it, Up and Down move through it (the box shows the entry), Enter
// and a click search the entry in the page's category as if it had been
// typed, and Esc closes it before Esc does anything else. It closes when the
// box loses the focus, the page changes, or the window moves or hides.
//
// Suggestions are asked of the current page's service (engine_page.h's
// suggestion_url) once typing has paused, never while an input method is
// composing, one request at a time; an answer for text that is no longer in
// the box is dropped, and a server that does not answer within the bound is
// given up. Recent searches are kept in History.txt beside the program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/engine_pages.h"
#include "text/search_history.h"

namespace velvane {

class KeywordList {
public:
    using TellUser = std::function<void(const std::wstring&)>;

    KeywordList() = default;
    KeywordList(const KeywordList&) = delete;
    KeywordList& operator=(const KeywordList&) = delete;
    ~KeywordList();

    // Reads the two switches from Setup.ini (and, with history on, the
    // history file), makes the hidden list and watches the pages' keyword
    // boxes.
    void create(HWND frame, EnginePages& pages, const std::wstring& program_directory,
                const std::wstring& settings_path, TellUser tell_user);
    void destroy();

    bool remembers() const { return remember_; }
    bool suggests() const { return suggest_; }
    // The tray menu's switches. Each is stored in Setup.ini first; when it
    // cannot be, the user is told and nothing changes (remembers() and
    // suggests() say what holds).
    void set_remember(bool on);
    void set_suggest(bool on);
    // Forgets the recent searches and deletes their file.
    void clear_history();

    // A keyword box's text changed (EN_CHANGE).
    void on_box_changed(HWND box);
    // Closes the list: the window moved, was minimised or deactivated.
    void close();
    // Closes the list and gives up what is pending: the window was hidden,
    // another page came up, or the pages are being replaced.
    void cancel();

private:
    static LRESULT CALLBACK popup_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;
    static LRESULT CALLBACK list_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR data) noexcept;
    LRESULT on_popup_message(UINT msg, WPARAM wparam, LPARAM lparam);
    std::optional<LRESULT> on_box_message(PageView& page, UINT msg, WPARAM wparam, LPARAM lparam);
    void on_searched(const PageState& state);

    // The entries for the typed text; shown when `open` and there are any.
    void refresh(bool open);
    void show_list();
    void hide_list();
    bool list_shown() const;
    void move_highlight(int step);
    void pick(int index);
    void put_in_box(const std::string& text);
    void draw_entry(const DRAWITEMSTRUCT& item) const;

    void ask_for_suggestions();
    void on_answer(LPARAM lparam);
    void give_up_request();
    void save_history();
    bool box_has_focus() const;

    HWND frame_ = nullptr;
    HWND popup_ = nullptr;
    HWND list_ = nullptr;
    EnginePages* pages_ = nullptr;
    TellUser tell_user_;
    std::wstring settings_path_;
    std::wstring history_path_;

    bool remember_ = false;
    bool suggest_ = false;
    SearchHistory history_;
    bool history_unwritable_ = false;
    bool save_pending_ = false;  // a failed save is tried again on a timer
    int failed_saves_ = 0;       // saves in a row that failed, while the folder could be written

    // The page the typed text and the list belong to.
    PageView* page_ = nullptr;
    std::string typed_;  // UTF-8, what the user typed (the box may show an entry)
    std::vector<KeywordListEntry> entries_;
    int highlighted_ = -1;
    HFONT font_ = nullptr;  // the box's, not owned
    int row_height_ = 16;

    // The last answer taken, for the text it was asked for.
    std::vector<std::string> suggestions_;
    std::string suggestions_for_;
    bool have_suggestions_ = false;

    std::uint64_t next_request_ = 0;
    std::uint64_t in_flight_ = 0;  // 0: none
    std::string in_flight_text_;
    bool pause_running_ = false;
    bool composing_ = false;
    bool setting_text_ = false;
    bool escape_taken_ = false;
};

}  // namespace velvane
