// Soak: many searches and hotkey toggles through the real window, and
// searches while the browser is slow to answer.
//
// The counts come from the environment so that one program serves CI (a few
// hundred, the defaults) and the full run on demand (tests/e2e/soak.sh:
// 10,000 searches and 1,000 toggles):
//   VELVANE_SOAK_SEARCHES  searches by Enter in the Baidu keyword box
//   VELVANE_SOAK_TOGGLES   Alt+W pairs (hide, show)
//
// The resident memory of velvane.exe is read from the Linux side, from
// /proc/<pid>/status of the process Wine runs it in (Z: is the Linux root).
//
// The browser is a running one: the resident URL logger, ddelog.exe, which
// the shell reaches through DDE (http's shell\open\ddeexec, registered for
// the length of each test; the harness's Browser::ResidentLogger, as for
// every end-to-end test that only needs its URLs), so a search starts no
// process. With a logger
// started per URL (the prefix's urllog.exe) about one Wine process start in
// ten thousand failed ("failed to map the shared user data" with
// WINEDEBUG=err+all): that search's URL was never written, and a soak of
// ten thousand came up one short through no fault of the program. Should
// the shell not reach the logger, it still starts urllog.exe for that URL;
// the logger's summary says how often that happened.
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <future>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
using velvane::ids::edit;

std::size_t count_from_environment(const char* name, std::size_t fallback) {
    const char* value = std::getenv(name);
    if (!value || !*value) return fallback;
    return static_cast<std::size_t>(std::strtoull(value, nullptr, 10));
}

std::string read_whole(const std::wstring& path) {
    std::string content;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

std::wstring lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

// The Linux process that runs the Windows process: Wine shows the program's
// Windows path as its command line.
std::optional<std::wstring> linux_proc_dir(const std::filesystem::path& exe) {
    const std::string wanted = utf8(lower(exe.wstring()));
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::wstring> dir;
    do {
        const std::wstring name = found.cFileName;
        if (name.empty() || !std::all_of(name.begin(), name.end(), iswdigit)) continue;
        const std::wstring candidate = L"Z:\\proc\\" + name;
        std::string command = read_whole(candidate + L"\\cmdline");
        command = command.substr(0, command.find('\0'));
        std::transform(command.begin(), command.end(), command.begin(),
                       [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
        if (command == wanted) dir = candidate;
    } while (!dir && FindNextFileW(search, &found));
    FindClose(search);
    return dir;
}

// VmRSS of /proc/<pid>/status, in KB.
long resident_kb(const std::wstring& proc_dir) {
    const std::string status = read_whole(proc_dir + L"\\status");
    const auto at = status.find("VmRSS:");
    if (at == std::string::npos) return -1;
    return std::strtol(status.c_str() + at + 6, nullptr, 10);
}

// Counts the URL log's lines as they come, reading only what is new: the
// log of a full soak is too long to read again for every search.
class LineCounter {
public:
    explicit LineCounter(std::filesystem::path path) : path_(std::move(path)) {}
    std::size_t lines() {
        const HANDLE file =
            CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return lines_;
        LARGE_INTEGER offset;
        offset.QuadPart = offset_;
        SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            lines_ += static_cast<std::size_t>(std::count(buffer, buffer + got, '\n'));
            offset_ += got;
        }
        CloseHandle(file);
        return lines_;
    }

private:
    std::filesystem::path path_;
    long long offset_ = 0;
    std::size_t lines_ = 0;
};

// A window's class and title, for messages.
std::string describe(HWND window) {
    if (!window) return "no window";
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return utf8(name) + " \"" + utf8(text(window)) + "\"";
}

// What the prefix runs for an http URL now.
std::string http_handler() {
    wchar_t command[1024] = {};
    DWORD size = sizeof command;
    if (RegGetValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, command,
                     &size) != ERROR_SUCCESS)
        return "nothing";
    return utf8(command);
}

// The program answers a message; returns how long it took, or nothing when
// it did not answer within `limit`.
std::optional<double> round_trip_ms(HWND window, UINT limit_ms) {
    const auto sent = Clock::now();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, limit_ms, &result)) return std::nullopt;
    return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
}

const std::string kSoakUrl = "http://www.baidu.com/s?ie=utf-8&bs=%73%6F%61%6B&sr=&z=&cl=3&f=8&wd=%73%6F%61%6B&ct=0";
const std::string kSoakEndUrl =
    "http://www.baidu.com/s?ie=utf-8&bs=%73%6F%61%6B%21&sr=&z=&cl=3&f=8&wd=%73%6F%61%6B%21&ct=0";

BOOL CALLBACK child_needs_paint(HWND child, LPARAM pending) {
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(pending) = true;
        return FALSE;
    }
    return TRUE;
}

// What a person waits for before pressing again: the window on the screen,
// painted, its thread back at its message loop.
bool shown_and_painted(HWND window) {
    if (!visible(window) || GetUpdateRect(window, nullptr, FALSE)) return false;
    bool pending = false;
    EnumChildWindows(window, child_needs_paint, reinterpret_cast<LPARAM>(&pending));
    return !pending && round_trip_ms(window, 1000).has_value();
}

// Alt+W, no sooner than 100 ms after the previous one, as fast as a hand
// repeats a chord, and (above) only once the window has been painted: Wine
// now and then loses a MOD_NOREPEAT hotkey pressed a few milliseconds after
// the last one, or while the window's thread is still busy with the last
// one (a bare window with one hotkey as much as Velvane).
void press_hotkey() {
    static Clock::time_point last;
    std::this_thread::sleep_until(last + 100ms);
    press('W', {VK_MENU});
    last = Clock::now();
}

// How each Alt+W reached the system, seen from a low-level keyboard hook on
// a thread of its own. Even paced as above, Wine now and then lets go of an
// Alt sent with SendInput before the W that follows it: when its desktop
// takes the X focus it reloads the modifier keys from X, which knows nothing
// of them. The W then arrives bare, no hotkey fires, and a person would
// press again. The hook sees that twice over: the W comes as WM_KEYDOWN
// instead of WM_SYSKEYDOWN (Alt already let go), or, when our own Alt up
// comes, the system holds the Alt as released already (let go in between,
// which may have been before the W was matched against the hotkeys).
class HotkeyWatch {
public:
    HotkeyWatch() {
        std::promise<DWORD> started;
        auto thread_id = started.get_future();
        thread_ = std::thread([&started] {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, for WM_QUIT
            const HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, observe, GetModuleHandleW(nullptr), 0);
            started.set_value(hook ? GetCurrentThreadId() : 0);
            if (!hook) return;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
            UnhookWindowsHookEx(hook);
        });
        thread_id_ = thread_id.get();
    }
    ~HotkeyWatch() {
        if (thread_id_) PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HotkeyWatch(const HotkeyWatch&) = delete;
    HotkeyWatch& operator=(const HotkeyWatch&) = delete;

    bool watching() const { return thread_id_ != 0; }
    // Alt+W presses seen to their end (the Alt up), and whether Wine let go
    // of the Alt during the last one.
    unsigned long presses() const { return presses_; }
    bool last_alt_lost() const { return last_alt_lost_; }

private:
    static LRESULT CALLBACK observe(int code, WPARAM message, LPARAM data) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        if (code == HC_ACTION && (key->flags & LLKHF_INJECTED)) {
            const bool alt = key->vkCode == VK_MENU || key->vkCode == VK_LMENU || key->vkCode == VK_RMENU;
            if (key->vkCode == 'W' && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) {
                w_bare_ = message == WM_KEYDOWN;
            } else if (alt && (message == WM_KEYUP || message == WM_SYSKEYUP)) {
                // Not yet applied: the system still holds the Alt unless Wine let go of it.
                const bool released = !(GetAsyncKeyState(VK_MENU) & 0x8000);
                last_alt_lost_ = w_bare_ || released;
                w_bare_ = false;
                ++presses_;
            }
        }
        return CallNextHookEx(nullptr, code, message, data);
    }

    static inline std::atomic<unsigned long> presses_{0};
    static inline std::atomic<bool> last_alt_lost_{false};
    static inline std::atomic<bool> w_bare_{false};
    std::thread thread_;
    DWORD thread_id_ = 0;
};

// Alt+W until the window is hidden (or shown and painted). A press during
// which Wine let go of the Alt and that changed nothing is said and made
// again (and a 'w' it typed into the keyword box taken back); a press that
// arrived whole and changed nothing fails. Returns the number of presses made
// again.
int toggle(Velvane& app, const HotkeyWatch& watch, bool show, std::size_t index) {
    // The hotkey has been acted on once the window is (or is no longer) visible.
    const auto acted = [&] { return visible(app.window()) == show; };
    const char* what = show ? "show" : "hide";
    int again = 0;
    for (;;) {
        const unsigned long before = watch.presses();
        press_hotkey();
        const auto alt_lost = [&] { return watch.presses() > before && watch.last_alt_lost(); };
        wait_until([&] { return acted() || alt_lost(); });
        // A hotkey that did fire may still be on its way when the Alt was let
        // go after the W: give it time.
        if (!acted() && alt_lost()) wait_until(acted, 3s);
        if (acted()) {
            if (show) {
                EXPECT_TRUE(wait_until([&] { return shown_and_painted(app.window()); }))
                    << "toggle " << index << " showed the window but it was not painted";
            }
            return again;
        }
        if (!alt_lost()) {
            ADD_FAILURE() << "toggle " << index << " did not " << what << ": "
                          << (watch.presses() > before ? "the Alt+W arrived whole" : "the Alt+W was not seen");
            return again;
        }
        ++again;
        std::printf(
            "[ soak     ] toggle %zu (%s): Wine let go of the Alt of Alt+W and no hotkey fired; "
            "pressing again\n",
            index, what);
        if (again == 5) {
            ADD_FAILURE() << "toggle " << index << " did not " << what << ": Wine let go of the Alt five times";
            return again;
        }
        if (!show) {
            // The window is still up with the keyword box focused: a bare W typed a 'w' there.
            const HWND box = app.control(edit(0));
            if (wait_until([&] { return text(box) == L"soakw"; }, 2s)) {
                press(VK_BACK);
                EXPECT_TRUE(wait_until([&] { return text(box) == L"soak"; }));
            }
        }
    }
}

// The Baidu keyword box has the focus and holds `keyword`.
void type_keyword(Velvane& app, const std::wstring& keyword) {
    const HWND box = app.control(edit(0));
    ASSERT_NE(box, nullptr);
    click(box);
    ASSERT_TRUE(wait_until([&] { return app.focus() == box; }));
    type(keyword);
    ASSERT_TRUE(wait_until([&] { return text(box) == keyword; }));
}

// A different keyword, searched after everything else: once its URL is in,
// a doubled earlier search would have shown up too (the launches run in order).
void search_end_marker(Velvane& app) {
    type(L"!");
    ASSERT_TRUE(wait_until([&] { return text(app.control(edit(0))) == L"soak!"; }));
    press(VK_RETURN);
}

// The resident logger wrote every URL it was sent, and says how many of
// the `arrived` URLs reached it; the rest went to a urllog.exe that the shell
// started because it could not reach the logger (Wine's DDE, not the
// program: said, not failed).
void expect_all_through_logger(const std::string& summary, std::size_t arrived) {
    std::printf("[ soak     ] resident URL logger: %s\n", summary.c_str());
    unsigned long logged = 0, started = 0, unwritten = 0;
    ASSERT_EQ(std::sscanf(summary.c_str(), "logged %lu, started %lu, unwritten %lu", &logged, &started, &unwritten), 3)
        << "the resident URL logger did not end cleanly: " << summary;
    EXPECT_EQ(unwritten, 0u) << "the resident URL logger could not write some URLs to the log";
    if (logged < arrived)
        std::printf(
            "[ soak     ] %zu URLs went to a started urllog.exe: the shell could not reach the resident "
            "logger by DDE\n",
            arrived - logged);
}

TEST(Soak, SearchesAndHotkeyTogglesLoseNothingAndDoNotGrow) {
    const std::size_t searches = count_from_environment("VELVANE_SOAK_SEARCHES", 300);
    const std::size_t toggles = count_from_environment("VELVANE_SOAK_TOGGLES", 200);
    // Memory is compared between the end of the first block of searches and
    // the end of the last: a thousand each in the full run.
    const std::size_t block = std::clamp<std::size_t>(searches / 3, 1, 1000);

    Velvane app(Browser::ResidentLogger);
    const std::filesystem::path log_path = app.program_dir().parent_path() / L"urls.log";
    app.start();
    ASSERT_NE(app.resident_logger(), nullptr) << "VELVANE_E2E_BROWSER asks for urllog.exe: the soak needs ddelog.exe";
    ResidentUrlLogger& logger = *app.resident_logger();
    const auto proc = linux_proc_dir(app.program_dir() / L"velvane.exe");
    ASSERT_TRUE(proc) << "no Linux process runs " << utf8((app.program_dir() / L"velvane.exe").wstring());
    ASSERT_GT(resident_kb(*proc), 0);
    LineCounter log(log_path);

    type_keyword(app, L"soak");
    // A few searches in flight, as a person types ahead of a slow machine.
    constexpr std::size_t kInFlight = 4;
    long first_block_kb = 0;
    std::vector<long> block_ends_kb;
    const HWND box = app.control(edit(0));
    for (std::size_t sent = 0; sent < searches; ++sent) {
        ASSERT_TRUE(wait_until([&] { return sent < log.lines() + kInFlight; }, 60s))
            << "searches stalled: " << log.lines() << " URLs for " << sent << " searches; resident URL logger "
            << (logger.running() ? "running" : "gone");
        // Enter goes where the keyboard focus is: the keyword box, in the
        // window at the front (a browser that took the front would get it).
        ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == app.window() && app.focus() == box; }))
            << "before search " << sent << " the focus is elsewhere: " << describe(GetForegroundWindow());
        press(VK_RETURN);
        if ((sent + 1) % block == 0) {
            ASSERT_TRUE(wait_until([&] { return log.lines() >= sent + 1; }, 60s))
                << log.lines() << " URLs for " << sent + 1
                << " searches; at the front: " << describe(GetForegroundWindow())
                << "; http opens with: " << http_handler() << "; resident URL logger "
                << (logger.running() ? "running" : "gone");
            block_ends_kb.push_back(resident_kb(*proc));
            if (sent + 1 == block) first_block_kb = block_ends_kb.back();
        }
    }
    ASSERT_TRUE(wait_until([&] { return log.lines() >= searches; }, 120s)) << log.lines() << " of " << searches;
    const long last_block_kb = resident_kb(*proc);

    {
        const HotkeyWatch watch;
        ASSERT_TRUE(watch.watching()) << "no low-level keyboard hook";
        int again = 0;
        for (std::size_t i = 0; i < toggles; ++i) {
            again += toggle(app, watch, false, i);
            ASSERT_FALSE(::testing::Test::HasFailure());
            again += toggle(app, watch, true, i);
            ASSERT_FALSE(::testing::Test::HasFailure());
        }
        std::printf("[ soak     ] %zu toggles: %lu Alt+W presses, %d of them made again (Wine let go of the Alt)\n",
                    toggles, watch.presses(), again);
    }
    EXPECT_TRUE(round_trip_ms(app.window(), 1000)) << "the window does not answer after the toggles";

    // Still searching after the toggles; then nothing lost, nothing doubled.
    ASSERT_TRUE(wait_until([&] { return app.focus() == app.control(edit(0)); }));
    search_end_marker(app);
    ASSERT_TRUE(wait_until([&] { return log.lines() >= searches + 1; }, 60s));
    const std::vector<std::string> urls = app.urls();
    ASSERT_EQ(urls.size(), searches + 1);
    EXPECT_EQ(std::count(urls.begin(), urls.end(), kSoakUrl), static_cast<std::ptrdiff_t>(searches));
    EXPECT_EQ(urls.back(), kSoakEndUrl);

    // Resident memory, end of the first block to end of the last: within
    // noise. The heap grows in steps of its own, so a small step is allowed;
    // a leak of a few hundred bytes per search over a full soak is not.
    std::string trace;
    for (const long kb : block_ends_kb) trace += std::to_string(kb) + " ";
    std::printf("[ soak     ] %zu searches, %zu toggles; VmRSS KB after each block of %zu: %s\n", searches, toggles,
                block, trace.c_str());
    constexpr long kNoiseKb = 1024;
    EXPECT_LE(last_block_kb - first_block_kb, kNoiseKb)
        << "resident memory grew from " << first_block_kb << " KB to " << last_block_kb << " KB";

    EXPECT_EQ(app.stop(), 0u);
    expect_all_through_logger(logger.stop(), urls.size());
}

TEST(Soak, SlowBrowserLeavesTheWindowAnsweringAndEveryUrlArrivesOnce) {
    // A browser that takes a second to take each URL: the shell, and with it
    // the program's launch worker, waits that long for each.
    Velvane app(Browser::ResidentLogger, 1000);
    app.start();
    ASSERT_NE(app.resident_logger(), nullptr) << "VELVANE_E2E_BROWSER asks for urllog.exe: the soak needs ddelog.exe";
    ResidentUrlLogger& logger = *app.resident_logger();
    type_keyword(app, L"soak");

    constexpr std::size_t kSearches = 10;
    for (std::size_t i = 0; i < kSearches; ++i) press(VK_RETURN);

    // While the browser takes the URLs, one after another, the window answers at once.
    std::size_t probes = 0;
    double slowest = 0;
    ASSERT_TRUE(wait_until(
        [&] {
            const auto answered = round_trip_ms(app.window(), 100);
            EXPECT_TRUE(answered) << "no answer within 100 ms while searches were queued";
            slowest = std::max(slowest, answered.value_or(100.0));
            ++probes;
            return app.urls().size() >= kSearches;
        },
        60s));
    EXPECT_LE(slowest, 100.0);
    EXPECT_GE(probes, 10u) << "the URLs came too fast to test anything: is the logger slowed down?";

    search_end_marker(app);
    const std::vector<std::string> urls = app.wait_for_urls(kSearches + 1, 30s);
    ASSERT_EQ(urls.size(), kSearches + 1);
    EXPECT_EQ(std::count(urls.begin(), urls.end(), kSoakUrl), static_cast<std::ptrdiff_t>(kSearches));
    EXPECT_EQ(urls.back(), kSoakEndUrl);
    EXPECT_EQ(app.stop(), 0u);
    expect_all_through_logger(logger.stop(), urls.size());
}

}  // namespace
}  // namespace e2e
