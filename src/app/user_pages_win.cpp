#include "app/user_pages_win.h"

#include <shellapi.h>

#include <cstddef>
#include <memory>
#include <new>

#include "text/text.h"
#include "win/file_win.h"
#include "win/handles.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

std::uint64_t join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

// The example goes to a temporary file beside the target, which then takes
// the target's name in one move that refuses to replace a file: a file the
// user made meanwhile is never overwritten, and no half-written file is
// ever seen under the name.
enum class Example { Written, AlreadyThere, Failed };

Example write_example(const std::wstring& path) {
    if (file_stamp(path).exists) return Example::AlreadyThere;
    const std::wstring temporary = write_temporary_file(path, user_pages_example());
    if (temporary.empty()) return Example::Failed;
    if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) return Example::Written;
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Example::AlreadyThere : Example::Failed;
}

bool shell_opened(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

// The system's folder (System32); empty when it cannot be told.
std::wstring system_folder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// How long a change of the file rests before it is read, and how often the
// timer looks where the folder cannot be watched.
constexpr UINT kSettleMs = 500;
// Readings of a file that is there but cannot be read, one a tick, before
// the user is told.
constexpr int kRetries = 4;

// How long the end of the program waits for the watch thread.
constexpr DWORD kWatchEndMs = 2000;

// What the watch thread tells the window (kFolderMessage's WPARAM).
enum : WPARAM { kWatchArmed, kFolderChanged, kWatchLost };

}  // namespace

FileStamp file_stamp(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (stamp.directory) return stamp;
    stamp.last_write = join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    stamp.size = join(data.nFileSizeHigh, data.nFileSizeLow);
    return stamp;
}

void UserPagesFile::start(HWND window, UINT_PTR timer_id, std::wstring path) {
    stop();
    window_ = window;
    timer_id_ = timer_id;
    path_ = std::move(path);
    read_stamp_ = last_seen_ = {};
    retries_ = 0;
    watch_stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE stop_for_watch = nullptr;
    if (watch_stop_ && DuplicateHandle(GetCurrentProcess(), watch_stop_.get(), GetCurrentProcess(), &stop_for_watch, 0,
                                       FALSE, DUPLICATE_SAME_ACCESS)) {
        auto* job = new (std::nothrow) WatchJob{window_, folder_of(path_), path_.substr(path_.find_last_of(L"\\/") + 1),
                                                UniqueHandle(stop_for_watch)};
        if (!job) CloseHandle(stop_for_watch);
        if (job) watch_thread_.reset(CreateThread(nullptr, 0, &watch_main, job, 0, nullptr));
        if (job && !watch_thread_) delete job;
    }
    watched_ = static_cast<bool>(watch_thread_);
    run_timer(!watched_);
}

void UserPagesFile::stop() {
    run_timer(false);
    if (watch_thread_) {
        // The thread owns what it uses: one that does not end in time is
        // left to the end of the process, never waited for without end.
        SetEvent(watch_stop_.get());
        WaitForSingleObject(watch_thread_.get(), kWatchEndMs);
        watch_thread_.reset();
    }
    watch_stop_.reset();
    watched_ = false;
}

namespace {

// Whether the folder's news names the file (or has lost the names: too
// many changes at once for the buffer).
bool names_file(const std::byte* news, DWORD size, std::wstring_view name) {
    if (size == 0) return true;
    for (DWORD at = 0; at + sizeof(FILE_NOTIFY_INFORMATION) <= size;) {
        const auto* entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(news + at);
        const DWORD units = entry->FileNameLength / sizeof(wchar_t);
        if (offsetof(FILE_NOTIFY_INFORMATION, FileName) + entry->FileNameLength > size - at) return true;
        if (CompareStringOrdinal(entry->FileName, static_cast<int>(units), name.data(), static_cast<int>(name.size()),
                                 TRUE) == CSTR_EQUAL)
            return true;
        if (entry->NextEntryOffset == 0) break;
        at += entry->NextEntryOffset;
    }
    return false;
}

}  // namespace

DWORD WINAPI UserPagesFile::watch_main(void* parameter) {
    const std::unique_ptr<WatchJob> job(static_cast<WatchJob*>(parameter));
    const auto tell = [&](WPARAM what) { PostMessageW(job->window, kFolderMessage, what, 0); };
    const UniqueHandle answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    alignas(FILE_NOTIFY_INFORMATION) std::byte news[4096];
    OVERLAPPED asked = {};
    asked.hEvent = answered.get();
    // Each question goes out on a new handle of the folder, the last thing
    // this thread does before it waits: the answer then never finds it in a
    // call of its own (news already gathered on a handle answer a question
    // at once, and under Wine such an answer could hang the thread). The
    // window is told before the question, and looks at the file half a
    // second later: a change between two questions is seen then.
    UniqueFile folder;
    const auto ask = [&] {
        folder.reset(CreateFileW(job->folder.c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        // What an editor's save does to the file: names made, removed and
        // changed (a save by rename), and writes.
        return folder && ReadDirectoryChangesW(folder.get(), news, sizeof(news), FALSE,
                                               FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                                   FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE,
                                               nullptr, &asked, nullptr);
    };
    tell(kWatchArmed);
    const HANDLE handles[] = {job->stop.get(), answered.get()};
    for (bool told = false;;) {
        if (told) tell(kFolderChanged);
        if (!answered || !ask()) {
            tell(kWatchLost);
            return 0;
        }
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        DWORD size = 0;
        if (woken != WAIT_OBJECT_0 + 1 || !GetOverlappedResult(folder.get(), &asked, &size, FALSE)) {
            // Stopped, or the folder is gone: the question still out is
            // taken back before its buffer goes.
            if (CancelIo(folder.get())) GetOverlappedResult(folder.get(), &asked, &size, TRUE);
            if (woken != WAIT_OBJECT_0) tell(kWatchLost);
            return 0;
        }
        told = names_file(news, size, job->name);
        ResetEvent(answered.get());
    }
}

void UserPagesFile::run_timer(bool on) {
    if (on) {
        // Set again, it starts counting anew: a change settles from its last write.
        timer_running_ = SetTimer(window_, timer_id_, kSettleMs, nullptr) != 0;
    } else if (timer_running_) {
        KillTimer(window_, timer_id_);
        timer_running_ = false;
    }
}

void UserPagesFile::on_folder_message(WPARAM what) {
    if (!watched_) return;
    if (what == kWatchLost) {
        // The folder can no longer be watched: the timer looks instead.
        watched_ = false;
    } else {
        // The watch is ready, or Engines.ini changed: looked at once the
        // change has settled.
        last_seen_ = file_stamp(path_);
    }
    run_timer(true);
}

bool UserPagesFile::on_timer() {
    const FileStamp now = file_stamp(path_);
    const bool settled = now == last_seen_;
    last_seen_ = now;
    if (!settled) return false;  // still being written: look again at the next tick
    if (now != read_stamp_ || retries_ > 0) return true;
    if (watched_) run_timer(false);
    return false;
}

UserPagesFile::Reading UserPagesFile::read(UserPages& pages) {
    const FileStamp before = file_stamp(path_);
    last_seen_ = before;
    Reading reading = Reading::Done;
    if (before.directory) {
        reading = Reading::Folder;
    } else {
        FileBytes file = read_file_start(path_, kUserPagesMaxBytes + 1);
        const FileStamp after = file_stamp(path_);
        if (after != before) {
            // Written while being read: what was read may be half of it.
            last_seen_ = after;
            reading = Reading::Later;
        } else if (file.status == FileStatus::Unreadable) {
            // Held by another program for a moment (a virus scanner after a
            // save), or for good: tried again a few times before the user is told.
            reading = ++retries_ <= kRetries ? Reading::Later : Reading::Unreadable;
        } else {
            pages = file.status == FileStatus::Read ? read_user_pages(file.bytes) : UserPages();
        }
    }
    if (reading != Reading::Later) {
        read_stamp_ = before;
        retries_ = 0;
    }
    run_timer(reading == Reading::Later || !watched_);
    return reading;
}

std::wstring user_pages_failure_text(UserPagesFile::Reading reading) {
    if (reading == UserPagesFile::Reading::Folder)
        return L"Engines.ini 是一个文件夹，不是文件，自定义搜索页没有读取。把它改名或删除后，Velvane 会读取新的 "
               L"Engines.ini。";
    return L"无法读取 Engines.ini：它可能正被其他程序占用，或者没有读取它的权限。文件再有改动时，Velvane "
           L"会重新读取。";
}

std::wstring open_user_pages_file(HWND owner, const std::wstring& path) {
    if (write_example(path) == Example::Failed)
        return L"无法在 Velvane 的文件夹里写入 Engines.ini 示例：请把 Velvane 放在可以写入的文件夹里。";
    // The editor starts in the system's folder, not in Velvane's, where a
    // DLL planted beside Velvane could wait for a program that looks in its
    // current folder.
    const std::wstring system = system_folder();
    const wchar_t* directory = system.empty() ? nullptr : system.c_str();
    if (shell_opened(ShellExecuteW(owner, L"open", path.c_str(), nullptr, directory, SW_SHOWNORMAL))) return {};
    // No program is registered for .ini files: the system's Notepad is always
    // there, started by its full name (never a notepad.exe beside Velvane).
    const std::wstring argument = L"\"" + path + L"\"";
    if (!system.empty() && shell_opened(ShellExecuteW(owner, L"open", (system + L"\\notepad.exe").c_str(),
                                                      argument.c_str(), directory, SW_SHOWNORMAL)))
        return {};
    return L"无法打开 Engines.ini：没有能编辑它的程序。";
}

int add_user_page_mark(HIMAGELIST images, std::string_view mark, std::uint32_t colour) {
    constexpr int kSize = 16;
    constexpr COLORREF kTransparent = RGB(255, 0, 255);
    const COLORREF square = RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    // Dark letters on a light square, white ones on a dark square.
    const unsigned luminance = (299 * ((colour >> 16) & 0xFF) + 587 * ((colour >> 8) & 0xFF) + 114 * (colour & 0xFF));
    const COLORREF letter = luminance > 150'000 ? RGB(0, 0, 0) : RGB(255, 255, 255);

    const WindowDc screen(nullptr);
    const UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap) return -1;
    {
        const SelectedObject selected(dc.get(), bitmap.get());
        const UniqueBrush background(CreateSolidBrush(kTransparent));
        const UniqueBrush fill(CreateSolidBrush(square));
        RECT whole = {0, 0, kSize, kSize};
        FillRect(dc.get(), &whole, background.get());
        RECT inner = {1, 1, kSize - 1, kSize - 1};
        FillRect(dc.get(), &inner, fill.get());
        const UniqueFont font(CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                          DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
        const SelectedObject selected_font(dc.get(), font.get());
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), letter);
        std::wstring text = to_wide(mark);
        DrawTextW(dc.get(), text.data(), static_cast<int>(text.size()), &inner,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        GdiFlush();
    }
    return ImageList_AddMasked(images, bitmap.get(), kTransparent);
}

std::wstring caption_text(std::string_view caption) {
    std::wstring text;
    for (const wchar_t c : to_wide(caption)) {
        if (c == L'&') text += L'&';
        text += c;
    }
    return text;
}

}  // namespace velvane
