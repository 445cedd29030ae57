#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <list>
#include <string>

#include "text/browser_command.h"
#include "text/encoder.h"
#include "win/file_win.h"
#include "win/handles.h"
#include "win/launch.h"
#include "win/registry_win.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

// Short URLs go through the shell's open action, the ordinary way. Some shells
// (Wine's among them) build the browser's command line in a fixed buffer of
// about a thousand characters: a longer line reaches the browser empty, or
// overruns the buffer and ends the thread. Those URLs, and those that would
// make the browser's command line that long, are handed to the default
// browser's command directly.
constexpr std::size_t kShellSafeLength = 900;
constexpr std::size_t kShellSafeCommandLine = 1000;
// What a command line may hold, without its final NUL.
constexpr std::size_t kCommandLineLimit = 32766;
// A launch that has not come back after this long is given up on: the URLs
// queued behind it go to a new worker (a browser that never answers the
// shell's DDE message holds the shell there for half a minute or more).
constexpr ULONGLONG kStuckLaunchMs = 10000;

// How long the next of several queued URLs waits for the browser process
// started for the one before it.
constexpr DWORD kOrderWaitMs = 1000;

std::u16string_view as_u16(std::wstring_view text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

std::wstring_view as_wide(std::u16string_view text) {
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

// The command of a class's open verb, or nothing.
std::wstring open_command(const std::wstring& name) {
    return read_registry_text(HKEY_CLASSES_ROOT, name + L"\\shell\\open\\command", nullptr).value_or(L"");
}

// The default browser's command for http URLs, e.g. "C:\b\browser.exe" "%1":
// that of the class the user chose for http (Windows 7 on), else that of the
// http class itself. Read from the registry here rather than asked of the
// shell's association object: Wine's closes its key twice, and in between
// another thread of this program may have been given the same handle value
// for a file of its own, which is then closed under it.
std::wstring browser_command() {
    const std::optional<std::wstring> choice = read_registry_text(
        HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice",
        L"ProgId");
    if (choice && !choice->empty()) {
        std::wstring command = open_command(*choice);
        if (!command.empty()) return command;
    }
    return open_command(L"http");
}

std::wstring expanded(const std::wstring& text) {
    const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::wstring out(size, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), size);
    if (written == 0 || written > size) return text;
    out.resize(written - 1);
    return out;
}

bool is_full_path(std::wstring_view path) {
    const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    return drive || path.starts_with(L"\\\\");
}

// The browser program's full path, or nothing when there is no such file.
// Environment variables in it are expanded (a REG_EXPAND_SZ command may start
// with %ProgramFiles%); a bare name is looked up in the folders of PATH only,
// never first in this program's own folder or the current one, as
// CreateProcess would.
std::wstring program_path(const std::wstring& registered) {
    const std::wstring program = expanded(registered);
    if (is_full_path(program)) {
        if (is_file(program)) return program;
        return is_file(program + L".exe") ? program + L".exe" : std::wstring();
    }
    if (program.empty() || program.find_first_of(L"\\/:") != std::wstring::npos) return {};
    DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring folders(size, L'\0');
    size = GetEnvironmentVariableW(L"PATH", folders.data(), size);
    if (size == 0 || size >= folders.size()) return {};
    folders.resize(size);
    std::wstring found(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = SearchPathW(folders.c_str(), program.c_str(), L".exe", static_cast<DWORD>(found.size()),
                                    found.data(), nullptr);
        if (n == 0) return {};
        if (n < found.size()) {
            found.resize(n);
            return is_file(found) ? found : std::wstring();
        }
        found.resize(n);
    }
}

// Starts the browser's command with the URL, the program by its full path.
// The process started, or nothing when there is no program to start.
UniqueHandle start_browser(BrowserCommand command, std::wstring_view url) {
    const std::wstring program = program_path(std::wstring(as_wide(command.program)));
    if (program.empty()) return UniqueHandle();
    command.program = as_u16(program);
    std::u16string line = browser_command_line(command, as_u16(url), kCommandLineLimit);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return UniqueHandle();
    CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

// The shell's open action on the URL; the process it started, if any (a
// browser reached by DDE starts none).
UniqueHandle shell_open(const std::wstring& url) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = url.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return UniqueHandle();
    return UniqueHandle(info.hProcess);
}

// The browser process started for the URL, if any. `tell`, when there is
// one, hears of a URL that had to be cut.
UniqueHandle open_in_browser(const std::wstring& url, const LaunchBrowser* tell) {
    const BrowserCommand command = split_browser_command(as_u16(browser_command()));
    const bool shell_holds_it =
        url.size() <= kShellSafeLength &&
        (command.program.empty() ||
         browser_command_line(command, as_u16(url), kCommandLineLimit).size() <= kShellSafeCommandLine);
    if (shell_holds_it) return shell_open(url);
    if (UniqueHandle started = start_browser(command, url)) return started;
    // No program to start: the shell gets as much of the URL as it can take,
    // and the user hears that the search was cut.
    if (url.size() > kShellSafeLength && tell && tell->shortened) tell->shortened();
    return shell_open(std::wstring(as_wide(cut_url(as_u16(url), kShellSafeLength))));
}

// A page's own browser: started by its full path, or nothing.
UniqueHandle open_with(const LaunchBrowser& browser, const std::wstring& url) {
    UniqueHandle started = start_browser(
        {std::u16string(as_u16(browser.program)), std::u16string(as_u16(browser.arguments)), UrlMarker::Braces}, url);
    if (!started && browser.failed) browser.failed();
    return started;
}

struct Launch {
    std::wstring url;
    std::shared_ptr<const LaunchBrowser> browser;  // null: the default browser
};

// One worker thread opens the queued URLs in order. Whatever happens to it
// inside a launch, later URLs still go out: a watchdog thread looks at a
// worker that holds URLs up, and one that has ended there (a shell that
// overran its stack ended the thread, not the program) or has not come back
// for kStuckLaunchMs is replaced by a new one; the one given up on ends by
// itself if it ever returns.
class Launcher {
public:
    void push(Launch launch) {
        const ExclusiveLock hold(lock_);
        queue_.push_back(std::move(launch));
        keep_worker_going();
        if (!watchdog_) watchdog_.reset(CreateThread(nullptr, 0, &Launcher::watchdog_main, this, 0, nullptr));
        // One thread waits on each (the worker, the watchdog): waking all is
        // waking it.
        WakeAllConditionVariable(&wake_);
        WakeAllConditionVariable(&watch_);
    }

    // Waits up to limit_ms for the URLs queued and the launch under way;
    // while a launch that hangs holds URLs up, also for as long as the
    // watchdog takes to replace it.
    void finish(DWORD limit_ms) {
        const ULONGLONG start = GetTickCount64();
        const ExclusiveLock hold(lock_);
        if (!queue_.empty()) keep_worker_going();
        while (!queue_.empty() || busy_) {
            const ULONGLONG deadline = start + limit_ms + (queue_.empty() ? 0 : kStuckLaunchMs);
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) break;
            SleepConditionVariableSRW(&drained_, &lock_, static_cast<DWORD>(deadline - now), 0);
        }
    }

private:
    struct WorkerStart {
        Launcher* launcher;
        unsigned generation;
    };

    // With the lock held.
    void keep_worker_going() {
        const bool ended = !worker_ || WaitForSingleObject(worker_.get(), 0) != WAIT_TIMEOUT;
        const bool stuck = busy_ && GetTickCount64() - busy_since_ >= kStuckLaunchMs;
        if (!ended && !stuck) return;
        busy_ = false;
        auto* start = new WorkerStart{this, ++generation_};
        worker_.reset(CreateThread(nullptr, 0, &Launcher::worker_main, start, 0, nullptr));
        // Without a thread the URLs wait in the queue for the next try.
        if (!worker_) delete start;
    }

    bool more_queued() {
        const ExclusiveLock hold(lock_);
        return !queue_.empty();
    }

    static DWORD WINAPI watchdog_main(void* launcher) noexcept {
        static_cast<Launcher*>(launcher)->watch();
        return 0;
    }

    // Sleeps while nothing is queued; while URLs wait, looks at the worker
    // once a second and when its launch reaches the bound.
    [[noreturn]] void watch() {
        const ExclusiveLock hold(lock_);
        for (;;) {
            DWORD wait = INFINITE;
            if (!queue_.empty()) {
                keep_worker_going();
                wait = 1000;
                if (busy_) {
                    const ULONGLONG left = busy_since_ + kStuckLaunchMs - GetTickCount64();
                    if (left < wait) wait = static_cast<DWORD>(left);
                }
            }
            SleepConditionVariableSRW(&watch_, &lock_, wait, 0);
        }
    }

    static DWORD WINAPI worker_main(void* parameter) noexcept {
        const WorkerStart start = *static_cast<WorkerStart*>(parameter);
        delete static_cast<WorkerStart*>(parameter);
        // The shell's open action may use COM; it wants an apartment.
        const ComApartment com;
        start.launcher->run(start.generation);
        return 0;
    }

    void run(unsigned generation) {
        for (;;) {
            Launch launch;
            {
                const ExclusiveLock hold(lock_);
                if (generation != generation_) return;  // given up on while in its launch
                busy_ = false;
                if (queue_.empty()) WakeAllConditionVariable(&drained_);
                while (queue_.empty()) SleepConditionVariableSRW(&wake_, &lock_, INFINITE, 0);
                launch = std::move(queue_.front());
                queue_.pop_front();
                busy_ = true;
                busy_since_ = GetTickCount64();
            }
            const LaunchBrowser* browser = launch.browser.get();
            const UniqueHandle started = browser && !browser->program.empty() ? open_with(*browser, launch.url)
                                                                              : open_in_browser(launch.url, browser);
            // The sites of one search reach the browser in their order: a
            // browser that runs already takes the URL from the new process,
            // which then ends, and the next URL is started only after that
            // (or after a moment, when the new process is the browser itself).
            if (started && more_queued()) WaitForSingleObject(started.get(), kOrderWaitMs);
        }
    }

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE wake_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE drained_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE watch_ = CONDITION_VARIABLE_INIT;
    std::list<Launch> queue_;  // a list: less code in the exe than a deque
    UniqueHandle worker_;
    UniqueHandle watchdog_;
    unsigned generation_ = 0;  // the current worker's
    bool busy_ = false;        // the current worker is inside a launch
    ULONGLONG busy_since_ = 0;
};

// Lives until the process ends; its workers are never joined.
Launcher& launcher() {
    static Launcher* instance = new Launcher();
    return *instance;
}

}  // namespace

void launch_url(std::string_view utf8_url, std::shared_ptr<const LaunchBrowser> browser) {
    launcher().push({to_wide(launch_safe_url(utf8_url)), std::move(browser)});
}

void finish_launches() { launcher().finish(5000); }

}  // namespace velvane
