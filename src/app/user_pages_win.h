// The user's search pages on the window's side: Engines.ini beside the
// program, read in a bounded piece and watched for changes; the tray menu's
// "自定义搜索页…", which opens it in the user's editor (writing the example
// first when there is none); and the marks the pages' tabs show.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "engines/user_pages.h"
#include "win/handles.h"

namespace velvane {

// What the folder says about the file: it changes when the file is written,
// replaced, made or removed. A folder of that name is only a folder: what
// happens inside it does not count.
struct FileStamp {
    bool exists = false;
    bool directory = false;
    std::uint64_t last_write = 0;
    std::uint64_t size = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp file_stamp(const std::wstring& path);

// Engines.ini and the pages last read from it, kept in step with the file
// without waking the program while nothing changes: a change notification
// on the program's folder says that something there changed; a change of
// the file is read once it has settled (an editor's save is often several
// writes: truncate, write, rename), about half a second after the last one.
// Where the folder cannot be watched, a timer looks at the file twice a
// second instead.
//
// The folder is asked and its answers waited for by a thread of its own,
// which posts kFolderMessage to the window when the news names the file:
// the settings and the history, written in the same folder, wake nobody
// else. The window's thread never asks: the answers are delivered to the
// thread that asked, and under Wine one arriving while that thread was in
// a file call of its own could hang it for good.
class UserPagesFile {
public:
    UserPagesFile() = default;
    UserPagesFile(const UserPagesFile&) = delete;
    UserPagesFile& operator=(const UserPagesFile&) = delete;
    ~UserPagesFile() { stop(); }

    // Watches the file at `path`; `window` gets kFolderMessage from the
    // watch, to be handed to on_folder_message(), and WM_TIMER with
    // `timer_id` while a change settles, to call on_timer().
    void start(HWND window, UINT_PTR timer_id, std::wstring path);
    void stop();

    const std::wstring& path() const { return path_; }

    static constexpr UINT kFolderMessage = WM_APP + 4;
    // The window got kFolderMessage.
    void on_folder_message(WPARAM what);
    // The window got the timer. True when the file is to be read now.
    [[nodiscard]] bool on_timer();

    enum class Reading {
        Done,        // read into `pages` (no file: no pages)
        Later,       // not now (written while being read, or held by another program): read again
                     // once it has settled; the pages stay as they were
        Unreadable,  // could not be read again and again: tell the user once, then read it again
                     // only when it changes; the pages stay as they were
        Folder,      // Engines.ini is a folder: tell the user once, as above
    };

    // Reads the file now into `pages` (only when Done).
    [[nodiscard]] Reading read(UserPages& pages);

    // The file is not what it was when last read.
    bool changed() const { return file_stamp(path_) != read_stamp_; }
    // It changed, and no change is settling: nothing told of it.
    bool missed_change() const { return !timer_running_ && changed(); }

private:
    void run_timer(bool on);
    // What the watch thread uses, all its own.
    struct WatchJob {
        HWND window;
        std::wstring folder;
        std::wstring name;  // the file's name in the folder
        UniqueHandle stop;
    };
    static DWORD WINAPI watch_main(void* job);

    std::wstring path_;
    HWND window_ = nullptr;
    UINT_PTR timer_id_ = 0;
    UniqueHandle watch_stop_;  // set: the watch thread ends
    UniqueHandle watch_thread_;
    bool watched_ = false;  // the watch runs (or is starting); false: the timer looks
    bool timer_running_ = false;
    FileStamp read_stamp_;  // what the file was when last read (or found unreadable)
    FileStamp last_seen_;   // what it was at the last look
    int retries_ = 0;       // readings in a row that failed; while more are to come, the timer runs
};

// What the tray balloon says for a reading that is Unreadable or Folder.
std::wstring user_pages_failure_text(UserPagesFile::Reading reading);

// The menu's "自定义搜索页…": writes the example when there is no file (all
// or nothing, never over a file that is there), then opens the file in the
// user's editor. An empty answer when it was opened; otherwise what went
// wrong, for the balloon.
std::wstring open_user_pages_file(HWND owner, const std::wstring& path);

// A tab mark for a user page: its character on a square of its colour,
// drawn at 16 x 16 like the built-in marks and added to the image list.
// Returns the image's index, -1 when it could not be made.
int add_user_page_mark(HIMAGELIST images, std::string_view mark, std::uint32_t colour);

// A caption for a button or radio: "&" is shown, not taken as the key of the control.
std::wstring caption_text(std::string_view caption);

}  // namespace velvane
