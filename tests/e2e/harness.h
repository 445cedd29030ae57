// End-to-end test harness: starts the real velvane.exe under Wine and acts on
// it as a person would, through the same input queue as the mouse and the
// keyboard (SendInput only; mixing input sources loses events).
//
// Everything the program does in reply to input happens asynchronously, so
// tests wait for its effect with a bound (wait_until, Velvane::wait_for_urls)
// and never sleep for a fixed time. To show that an action launched nothing,
// follow it with one that launches a known URL and check that only that URL
// arrived.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "test_text.h"

namespace e2e {

using namespace std::chrono_literals;
using Timeout = std::chrono::milliseconds;

// Bounds only cost time when something is wrong; a loaded two-core CI
// machine takes seconds to start a Wine process (a URL logger).
inline constexpr Timeout kDefaultTimeout = 10s;

// Polls `done` every 20 ms until it returns true or `timeout` has passed;
// returns its last answer.
bool wait_until(const std::function<bool()>& done, Timeout timeout = kDefaultTimeout);

// A file's bytes, or nothing when it cannot be opened. Read with leave to
// delete: a look while Velvane deletes or replaces the file must not make
// that fail (an ifstream would hold it without).
std::optional<std::string> file_bytes(const std::filesystem::path& path);

// What stands in for the web browser: both log each URL they get, as UTF-8,
// one a line, to the file the Velvane object reads (Velvane::urls).
enum class Browser {
    // ddelog.exe, running for the life of the Velvane object, which the shell
    // hands each URL through DDE as it does to a browser already running: a
    // search starts no process. Wine fails about one process start in ten
    // thousand before the program runs a line, and a URL logger started per
    // URL then loses that URL through no fault of the program. For every test
    // that only needs each URL to arrive.
    ResidentLogger,
    // The prefix's open command, urllog.exe "%1" (scripts/wine-prefix.sh),
    // started by the shell for each URL and reading it from its command
    // line: for the tests about the browser's command line.
    LoggerPerUrl,
};

// The resident URL logger (ddelog.exe) writing to `log`: started (a start
// that Wine fails is said and tried again), then registered as the DDE open
// command of http and https under a DDE service name of its own; stop()
// unregisters and ends it. While two are running the newer one gets the
// URLs, and the older one again once the newer stops. The open command itself
// stays the prefix's urllog.exe, which the shell starts only when it cannot
// reach the logger; that URL then goes to the same file.
//   delay_ms: the logger waits this long before taking each URL (a browser
//   slow to answer: the shell waits for it)
//   hang_on: a URL holding this text is logged and never answered (a browser
//   that hangs: the shell waits until its own bound, half a minute in Wine);
//   the logger goes on serving the URLs after it
class ResidentUrlLogger {
public:
    explicit ResidentUrlLogger(std::filesystem::path log, DWORD delay_ms = 0, std::wstring hang_on = {});
    ~ResidentUrlLogger();
    ResidentUrlLogger(const ResidentUrlLogger&) = delete;
    ResidentUrlLogger& operator=(const ResidentUrlLogger&) = delete;

    bool running() const;
    // Unregisters and ends the logger; returns its summary ("logged N,
    // started M, unwritten K": URLs it wrote, URLs the shell gave to a
    // started urllog.exe because it could not reach this logger, URLs it
    // could not write) or what went wrong.
    std::string stop();

    // Removes the DDE open command when no logger of this test program has
    // it (one left behind by a test program that was killed), so that the
    // shell starts the open command for each URL.
    static void remove_stale_registration();

private:
    void start(DWORD delay_ms, const std::wstring& hang_on);
    void register_open_command() const;

    std::filesystem::path log_;
    std::wstring service_;
    HANDLE job_ = nullptr;
    PROCESS_INFORMATION process_{};
};

// One velvane.exe in a fresh program directory of its own, so that files the
// program writes beside itself (Setup.ini) never leak between tests. URLs the
// program opens go to a log file in the same directory, written by the
// browser's stand-in (see Browser; the environment variable
// VELVANE_E2E_BROWSER=per-url makes every test use urllog.exe). The
// destructor ends the process and the resident logger and removes the
// directory.
class Velvane {
public:
    // browser_delay_ms and browser_hangs_on: the resident logger's delay_ms
    // and hang_on (ResidentUrlLogger).
    explicit Velvane(Browser browser = Browser::ResidentLogger, DWORD browser_delay_ms = 0,
                     std::wstring browser_hangs_on = {});
    ~Velvane();
    Velvane(const Velvane&) = delete;
    Velvane& operator=(const Velvane&) = delete;

    // The program directory, for files to put there before start().
    const std::filesystem::path& program_dir() const { return program_dir_; }
    // An environment variable for the program (and the browsers it starts).
    void set_environment(const std::wstring& name, const std::wstring& value);
    // What follows the program's name on its command line, as written.
    void set_arguments(const std::wstring& arguments) { arguments_ = arguments; }

    // Starts the program and waits for its main window. A start that fails
    // (the process ends, or shows no main window within `timeout`) is said
    // with its cause on the output and made once more; a second failure
    // throws std::runtime_error with both causes.
    void start(Timeout timeout = 20s);
    // The two halves of start(), for a program expected to show no window
    // (a second instance): launch() starts the process, wait_for_window()
    // waits for its main window and says whether it came (`shown`: only a
    // visible one; else one that stays hidden in the tray will do).
    void launch();
    bool wait_for_window(Timeout timeout = 20s, bool shown = true);
    // WM_CLOSE, a bounded wait, then TerminateProcess. Returns the exit code
    // (that of its own end when the program has already ended).
    DWORD stop(Timeout timeout = kDefaultTimeout);
    bool running() const;
    DWORD process_id() const { return process_.dwProcessId; }

    HWND window() const { return window_; }
    HWND tab() const;
    // A control by id: a child of the main window (the tab control and the
    // page controls beside it), or of a group box on a page (Google's
    // language radios). Null when there is none, also for a page not yet shown.
    HWND control(int id) const;
    // The window that typed keys go to when it is one of the program's: the
    // focus of the foreground thread. Null while another program is in the
    // foreground, where a focus inside a background window would mislead (a
    // hover gives the keyword box the focus before a click has activated the
    // window, and keys typed then go elsewhere).
    HWND focus() const;

    // Complete lines of the URL log, in the order the browser got them.
    std::vector<std::string> urls() const;
    // Waits until at least `count` URLs have arrived; returns all of them.
    std::vector<std::string> wait_for_urls(std::size_t count, Timeout timeout = kDefaultTimeout) const;

    // The resident URL logger once launch() has started it; null with
    // Browser::LoggerPerUrl.
    ResidentUrlLogger* resident_logger() const { return logger_.get(); }

private:
    // Why the last launch shows no window, for the output.
    std::string failed_start_cause(Timeout timeout) const;

    Browser browser_;
    DWORD browser_delay_ms_;
    std::wstring browser_hangs_on_;
    std::unique_ptr<ResidentUrlLogger> logger_;
    std::filesystem::path root_;
    std::filesystem::path program_dir_;
    std::filesystem::path url_log_;
    std::map<std::wstring, std::wstring> environment_;
    std::wstring arguments_;
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// A test with a freshly started velvane.exe in `app`, which must end cleanly
// (exit code 0) when its window is closed at the end.
class VelvaneTest : public ::testing::Test {
protected:
    explicit VelvaneTest(Browser browser = Browser::ResidentLogger) : app(browser) {}
    void SetUp() override { app.start(); }
    void TearDown() override { EXPECT_EQ(app.stop(), 0u) << "velvane.exe did not end cleanly on WM_CLOSE"; }
    Velvane app;
};

// The URL logger's program, as the test prefix registered it for http URLs.
std::wstring url_logger_path();

// The test prefix's http and https handlers (the open command of each scheme
// under HKLM\Software\Classes) set to `command` for the life of this object,
// then put back as they were: e.g. the URL logger with an unquoted %1, as
// older browsers register themselves. Each launch reads the registration
// anew, so a program already running sees the change.
class BrowserRegistration {
public:
    explicit BrowserRegistration(const std::wstring& command);
    ~BrowserRegistration();
    BrowserRegistration(const BrowserRegistration&) = delete;
    BrowserRegistration& operator=(const BrowserRegistration&) = delete;

private:
    std::map<std::wstring, std::wstring> saved_;  // scheme -> command as it was
};

// ---- A person's input. ----

enum class Button { Left, Right };

// Moves the mouse to a screen point, as the hand does.
void move_mouse(POINT screen);
// Moves the mouse just outside a window: above and left of it where the
// screen has room, else below and right.
void move_mouse_off(HWND window);
// Moves the mouse to the centre of a window and presses and releases a button.
void click(HWND window, Button button = Button::Left);
// Types text as Unicode key strokes (Chinese too), one character at a time.
void type(std::wstring_view text);
// Presses and releases a key while holding the modifiers, e.g.
// press(VK_RETURN, {VK_SHIFT}) or press('W', {VK_MENU}).
void press(WORD key, std::initializer_list<WORD> modifiers = {});
// Presses a key combination until `done` holds, at most `presses` times, and
// returns how many presses it took (0: it never held). Wine re-reads the
// modifier keys from X whenever its desktop gets the X focus, and X knows
// nothing of keys sent with SendInput: a Ctrl or Alt held at that moment is
// let go and the key arrives alone ("Adjusting state for vkey" under
// WINEDEBUG=+keyboard). A person would press again; so does this, only when a
// press has changed nothing for two seconds.
int press_until(WORD key, std::initializer_list<WORD> modifiers, const std::function<bool()>& done, int presses = 3);
// Puts text on the clipboard and presses Ctrl+V: how a person enters a very
// long keyword.
void paste(std::wstring_view text);

// ---- What the window shows. ----

std::wstring text(HWND window);
bool checked(HWND button);
int selected_index(HWND combo_box);  // CB_ERR when nothing is selected
bool visible(HWND window);
// The notification area's balloon whose text passes `wanted`, or whose text
// is exactly `message`. Every tooltip of every program is asked for its
// text; one of another program that does not answer in time (seen once in a
// loaded run: a tooltip of the Wine desktop's programs) is said and looked at
// again at the next poll. One of Velvane's own that does not answer is its
// window thread hanging: that fails the test.
bool balloon_shown(const std::function<bool(const std::wstring&)>& wanted);
bool balloon_shown(std::wstring_view message);

// ---- Text. ----

using test_text::utf16;  // UTF-8 to UTF-16 (test_text.h)
using test_text::utf8;   // UTF-16 to UTF-8
// Text in code page 936, as Setup.ini holds it.
std::string gbk(std::wstring_view text);
inline bool contains(std::wstring_view text, std::wstring_view part) { return text.find(part) != text.npos; }

}  // namespace e2e
