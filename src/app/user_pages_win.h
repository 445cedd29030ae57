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

namespace velvane {

// What the folder says about the file: it changes when the file is written,
// replaced, made or removed.
struct FileStamp {
    bool exists = false;
    bool directory = false;
    std::uint64_t last_write = 0;
    std::uint64_t size = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp file_stamp(const std::wstring& path);

// Engines.ini and the pages last read from it.
class UserPagesFile {
public:
    explicit UserPagesFile(std::wstring path = {}) : path_(std::move(path)) {}

    const std::wstring& path() const { return path_; }

    enum class Reading {
        Pages,       // read (no file: no pages)
        Unreadable,  // there, but could not be read now (an editor holding it): try again later
    };

    // Reads the file now into `pages`; an unreadable file leaves them as they were.
    Reading read(UserPages& pages);

    // The file is not what it was when last read.
    bool changed() const { return file_stamp(path_) != read_stamp_; }

    // Called from a timer. True once the file has changed since it was last
    // read and then stayed as it is for one more call: an editor's save is
    // often several writes (truncate, write, rename), which must not each
    // rebuild the pages.
    bool changed_and_settled();

private:
    std::wstring path_;
    FileStamp read_stamp_;  // what the file was when last read
    FileStamp last_seen_;   // what it was at the previous call
    bool retry_ = false;    // the last reading failed: read again at the next settled call
};

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
