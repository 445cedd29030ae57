#include "harness.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cwctype>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring environment_variable(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

// Paths from the build arrive as Unix paths; Wine shows the root as Z:.
std::wstring windows_path(std::wstring path) {
    if (!path.empty() && path.front() == L'/') {
        std::replace(path.begin(), path.end(), L'/', L'\\');
        path.insert(0, L"Z:");
    }
    return path;
}

std::filesystem::path velvane_exe() {
    std::wstring path = environment_variable(L"VELVANE_EXE");
#ifdef VELVANE_EXE_PATH
    if (path.empty()) path = utf16(VELVANE_EXE_PATH);
#endif
    if (path.empty()) throw std::runtime_error("velvane.exe unknown: set VELVANE_EXE");
    return windows_path(path);
}

std::wstring lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// A prefix whose http handler is a real browser would swallow every URL and
// make each search test time out with no hint why.
void require_url_logger() {
    wchar_t command[1024] = {};
    DWORD size = sizeof command;
    RegGetValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, command, &size);
    if (lower(command).find(L"urllog") == std::wstring::npos)
        throw std::runtime_error("this Wine prefix opens http URLs with '" + utf8(command) +
                                 "', not the URL logger: prepare it with scripts/wine-prefix.sh --urllog");
}

std::filesystem::path fresh_directory() {
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring name = L"velvane-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    std::filesystem::path dir = std::filesystem::path(temp) / name;
    std::filesystem::create_directories(dir);
    return dir;
}

// The current environment with some variables replaced, as a block for
// CreateProcessW.
std::wstring environment_block(const std::map<std::wstring, std::wstring>& overrides) {
    std::wstring block;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            const std::wstring_view view(entry);
            const auto equals = view.find(L'=', 1);
            const std::wstring name = lower(std::wstring(view.substr(0, equals)));
            const bool replaced =
                std::any_of(overrides.begin(), overrides.end(), [&](const auto& o) { return lower(o.first) == name; });
            if (!replaced) block.append(view).push_back(L'\0');
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : overrides) block.append(name + L"=" + value).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

LRESULT send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result))
        ADD_FAILURE() << "window " << window << " did not answer message " << message;
    return static_cast<LRESULT>(result);
}

void send_input(std::vector<INPUT>& inputs) {
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size()) ADD_FAILURE() << "SendInput sent " << sent << " of " << inputs.size() << " events";
}

INPUT key_event(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_RCONTROL:
    case VK_RMENU:
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        break;
    default:
        break;
    }
    if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
    return input;
}

// Every program a test starts (and the URL loggers it starts in turn) ends
// with the test program, however that ends: a velvane.exe that outlived a
// killed or crashed test would keep its output pipe open, and ctest waiting.
HANDLE children_job() {
    static const HANDLE job = [] {
        const HANDLE created = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return created;
    }();
    return job;
}

POINT centre(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string read_whole(const std::wstring& path) {
    std::string content;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

std::string hex32(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// Every test may ask for plain urllog.exe instead of the resident logger
// (VELVANE_E2E_BROWSER=per-url).
Browser chosen_browser(Browser asked) {
    return environment_variable(L"VELVANE_E2E_BROWSER") == L"per-url" ? Browser::LoggerPerUrl : asked;
}

}  // namespace

std::optional<std::string> file_bytes(const std::filesystem::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool wait_until(const std::function<bool()>& done, Timeout timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= deadline) return done();
        std::this_thread::sleep_for(20ms);
    }
}

// ---- Velvane ----

Velvane::Velvane(Browser browser, DWORD browser_delay_ms, std::wstring browser_hangs_on)
    : browser_(chosen_browser(browser)),
      browser_delay_ms_(browser_delay_ms),
      browser_hangs_on_(std::move(browser_hangs_on)),
      root_(fresh_directory()),
      program_dir_(root_ / L"program"),
      url_log_(root_ / L"urls.log") {
    std::filesystem::create_directories(program_dir_);
    std::filesystem::copy_file(velvane_exe(), program_dir_ / L"velvane.exe");
    environment_[L"VELVANE_URL_LOG"] = url_log_.wstring();
}

Velvane::~Velvane() {
    stop();
    if (logger_ && logger_->running()) std::printf("[ harness  ] resident URL logger: %s\n", logger_->stop().c_str());
    logger_.reset();
    // Wine may hold the executable a moment after the process has gone.
    std::error_code error;
    wait_until([&] { return std::filesystem::remove_all(root_, error), !error; }, 2s);
}

void Velvane::set_environment(const std::wstring& name, const std::wstring& value) { environment_[name] = value; }

void Velvane::start(Timeout timeout) {
    std::string first_cause;
    for (int attempt = 1;; ++attempt) {
        launch();
        if (wait_for_window(timeout)) return;
        const std::string cause = failed_start_cause(timeout);
        stop(0ms);  // what is left of it
        if (attempt == 2)
            throw std::runtime_error("velvane.exe failed to start twice: first " + first_cause + ", then " + cause);
        first_cause = cause;
        std::printf("[ harness  ] velvane.exe failed to start: %s; starting it once more\n", cause.c_str());
        std::fflush(stdout);
    }
}

std::string Velvane::failed_start_cause(Timeout timeout) const {
    if (running())
        return "no main window within " + std::to_string(timeout.count() / 1000) + " s while the process ran";
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return "the process ended before its main window appeared, exit code " + std::to_string(code) + " (" + hex32(code) +
           ")";
}

void Velvane::launch() {
    require_url_logger();
    if (browser_ == Browser::ResidentLogger) {
        if (!logger_) logger_ = std::make_unique<ResidentUrlLogger>(url_log_, browser_delay_ms_, browser_hangs_on_);
        if (!logger_->running()) throw std::runtime_error("the resident URL logger is not running");
    } else {
        ResidentUrlLogger::remove_stale_registration();
    }
    // The pointer is left where the last test put it; parked in the far
    // corner it cannot give a keyword box the focus by hovering.
    move_mouse({GetSystemMetrics(SM_CXSCREEN) - 2, 2});

    const std::wstring exe = (program_dir_ / L"velvane.exe").wstring();
    std::wstring command_line = L"\"" + exe + L"\"";
    if (!arguments_.empty()) command_line += L" " + arguments_;
    std::wstring environment = environment_block(environment_);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // Started from another directory, as at system start, so the program has
    // to find its files by its own path. Suspended until it is in the job.
    // Wine reports a new process that ended while its loader was still
    // setting it up (before its first line) as ERROR_INTERNAL_ERROR from
    // CreateProcessW; seen about once in 250 starts on a busy machine. That
    // is a failed start, not the program's doing: said, and tried once more.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                           CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, environment.data(), root_.c_str(), &startup,
                           &process_))
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 2)
            throw std::runtime_error("cannot start " + utf8(exe) + ": error " + std::to_string(error));
        std::printf(
            "[ harness  ] velvane.exe failed to start: the process ended while Wine set it up "
            "(CreateProcessW error %lu); starting it once more\n",
            static_cast<unsigned long>(error));
        std::fflush(stdout);
    }
    AssignProcessToJobObject(children_job(), process_.hProcess);
    ResumeThread(process_.hThread);
}

bool Velvane::wait_for_window(Timeout timeout, bool shown) {
    WaitForInputIdle(process_.hProcess, static_cast<DWORD>(timeout.count()));
    return wait_until(
               [&] {
                   for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, VELVANE_MAIN_WINDOW_CLASS, L"Velvane"));) {
                       DWORD pid = 0;
                       GetWindowThreadProcessId(w, &pid);
                       if (pid == process_.dwProcessId && (IsWindowVisible(w) || !shown) &&
                           GetDlgItem(w, velvane::ids::kTabControl)) {
                           window_ = w;
                           return true;
                       }
                   }
                   return !running();
               },
               timeout) &&
           window_;
}

bool Velvane::running() const { return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

DWORD Velvane::stop(Timeout timeout) {
    if (!process_.hProcess) return 0;
    if (running() && window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    window_ = nullptr;
    return code;
}

HWND Velvane::tab() const { return GetDlgItem(window_, velvane::ids::kTabControl); }

HWND Velvane::control(int id) const {
    if (HWND direct = GetDlgItem(window_, id)) return direct;
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX) continue;
        wchar_t kind[16] = {};
        GetClassNameW(child, kind, 16);
        if (lower(kind) != L"button") continue;
        if (HWND grouped = GetDlgItem(child, id)) return grouped;
    }
    return nullptr;
}

HWND Velvane::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(0, &info) || !info.hwndFocus) return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(info.hwndFocus, &pid);
    return pid == process_.dwProcessId ? info.hwndFocus : nullptr;
}

std::vector<std::string> Velvane::urls() const {
    std::vector<std::string> lines;
    const HANDLE file =
        CreateFileW(url_log_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
    CloseHandle(file);
    // Only whole lines: a logger may be writing the next one right now.
    for (std::size_t start = 0, end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(content.substr(start, end - start));
    return lines;
}

std::vector<std::string> Velvane::wait_for_urls(std::size_t count, Timeout timeout) const {
    wait_until([&] { return urls().size() >= count; }, timeout);
    return urls();
}

// ---- BrowserRegistration ----

namespace {

std::wstring open_command_key(const std::wstring& scheme) {
    return L"Software\\Classes\\" + scheme + L"\\shell\\open\\command";
}

std::wstring open_command(const std::wstring& scheme) {
    wchar_t command[2048] = {};
    DWORD size = sizeof command;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, open_command_key(scheme).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, command,
                     &size) != ERROR_SUCCESS)
        return {};
    return command;
}

bool set_open_command(const std::wstring& scheme, const std::wstring& command) {
    const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, open_command_key(scheme).c_str(), nullptr, REG_SZ, command.c_str(),
                           bytes) == ERROR_SUCCESS;
}

}  // namespace

std::wstring url_logger_path() {
    // "Z:\...\urllog.exe" "%1", as scripts/wine-prefix.sh writes it.
    const std::wstring command = open_command(L"http");
    const auto program_end = command.find(L'"', 1);
    if (command.empty() || command.front() != L'"' || program_end == std::wstring::npos) {
        ADD_FAILURE() << "the prefix's http handler is not a quoted program: " << utf8(command);
        return {};
    }
    return command.substr(1, program_end - 1);
}

BrowserRegistration::BrowserRegistration(const std::wstring& command) {
    for (const std::wstring scheme : {L"http", L"https"}) {
        saved_[scheme] = open_command(scheme);
        if (!set_open_command(scheme, command)) ADD_FAILURE() << "cannot register " << utf8(command);
    }
}

BrowserRegistration::~BrowserRegistration() {
    for (const auto& [scheme, command] : saved_)
        if (!set_open_command(scheme, command)) ADD_FAILURE() << "cannot restore " << utf8(command);
}

// ---- ResidentUrlLogger ----

namespace {

constexpr std::array<const wchar_t*, 2> kDdeExecKeys = {L"Software\\Classes\\http\\shell\\open\\ddeexec",
                                                        L"Software\\Classes\\https\\shell\\open\\ddeexec"};

// The running loggers of this test program, oldest first: the last one has
// the registration.
std::vector<const ResidentUrlLogger*>& live_loggers() {
    static std::vector<const ResidentUrlLogger*> live;
    return live;
}

void unregister_dde_open_command() {
    for (const wchar_t* key : kDdeExecKeys) RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
}

}  // namespace

ResidentUrlLogger::ResidentUrlLogger(std::filesystem::path log, DWORD delay_ms, std::wstring hang_on)
    : log_(std::move(log)) {
    static int counter = 0;
    service_ = L"VelvaneUrlLog-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    if (live_loggers().empty()) unregister_dde_open_command();
    start(delay_ms, hang_on);
    if (process_.hProcess) {
        live_loggers().push_back(this);
        register_open_command();
    }
}

ResidentUrlLogger::~ResidentUrlLogger() {
    if (process_.hProcess) stop();
    if (job_) CloseHandle(job_);
}

bool ResidentUrlLogger::running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void ResidentUrlLogger::remove_stale_registration() {
    if (live_loggers().empty()) unregister_dde_open_command();
}

std::string ResidentUrlLogger::stop() {
    auto& live = live_loggers();
    const bool had_registration = !live.empty() && live.back() == this;
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (had_registration) {
        unregister_dde_open_command();
        if (!live.empty()) live.back()->register_open_command();
    }
    if (!process_.hProcess) return "not running";
    std::string outcome;
    DWORD code = 0;
    if (!running() && GetExitCodeProcess(process_.hProcess, &code))
        outcome = "ended by itself, exit code " + std::to_string(code) + "; ";
    PostThreadMessageW(process_.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
        outcome += "did not end on WM_QUIT; ";
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    std::string summary = read_whole(log_.wstring() + L".ddelog");
    while (!summary.empty() && (summary.back() == '\n' || summary.back() == '\r')) summary.pop_back();
    return outcome + (summary.empty() ? "no summary" : summary);
}

// A start that Wine fails ends the process before it runs a line of its own:
// that is said, and the logger started again. Its own failures (exit codes 2
// to 6, see ddelog.cpp) are not retried.
void ResidentUrlLogger::start(DWORD delay_ms, const std::wstring& hang_on) {
    // The logger ends with this test program, however that ends: it would
    // otherwise hold the output that ctest waits to see closed.
    job_ = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    const std::wstring exe = windows_path(utf16(VELVANE_DDELOG_EXE));
    const std::wstring delay = std::to_wstring(delay_ms);
    const std::map<std::wstring, std::wstring> overrides = {{L"VELVANE_URLLOG_DELAY_MS", delay},
                                                            {L"VELVANE_URLLOG_HANG_ON", hang_on}};
    std::wstring environment = environment_block(overrides);
    constexpr int kAttempts = 3;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        const std::wstring ready_name = L"VelvaneDdeLogReady-" + service_ + L"-" + std::to_wstring(attempt);
        const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
        std::wstring command_line = L"\"" + exe + L"\" \"" + log_.wstring() + L"\" " + ready_name + L" " + service_;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                            CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                            &process_)) {
            const DWORD error = GetLastError();
            CloseHandle(ready);
            // ERROR_INTERNAL_ERROR: Wine's word for a process that ended
            // while its loader set it up.
            if (error == ERROR_INTERNAL_ERROR && attempt < kAttempts) {
                std::printf("[ harness  ] the URL logger failed to start (CreateProcessW error %lu); once more\n",
                            static_cast<unsigned long>(error));
                std::fflush(stdout);
                continue;
            }
            ADD_FAILURE() << "cannot start " << utf8(exe) << ": error " << error;
            break;
        }
        AssignProcessToJobObject(job_, process_.hProcess);
        ResumeThread(process_.hThread);
        const std::array<HANDLE, 2> waits = {ready, process_.hProcess};
        const DWORD woke = WaitForMultipleObjects(2, waits.data(), FALSE, 30000);
        CloseHandle(ready);
        if (woke == WAIT_OBJECT_0) break;
        DWORD code = STILL_ACTIVE;
        if (woke == WAIT_OBJECT_0 + 1) GetExitCodeProcess(process_.hProcess, &code);
        if (code == STILL_ACTIVE) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        process_ = {};
        if (code == STILL_ACTIVE) {
            ADD_FAILURE() << "the resident URL logger was not ready after 30 s";
            break;
        }
        if ((code >= 2 && code <= 6) || attempt == kAttempts) {
            ADD_FAILURE() << "the resident URL logger ended with exit code " << code << " before it was ready";
            break;
        }
        std::printf(
            "[ harness  ] the resident URL logger's process ended before it was ready, exit code %lu (%s), "
            "none of its own: Wine failed to start it; starting it again\n",
            static_cast<unsigned long>(code), hex32(code).c_str());
        std::fflush(stdout);
    }
}

// http's and https's shell\open\ddeexec: the URL itself is the command;
// "started" follows a start of urllog.exe (which has logged the URL).
void ResidentUrlLogger::register_open_command() const {
    const std::array<std::pair<const wchar_t*, std::wstring>, 4> values = {{
        {nullptr, L"%1"},
        {L"application", service_},
        {L"topic", L"OpenURL"},
        {L"ifexec", L"started"},
    }};
    for (const wchar_t* key : kDdeExecKeys) {
        for (const auto& [subkey, value] : values) {
            std::wstring path = key;
            if (subkey) path += std::wstring(L"\\") + subkey;
            const LSTATUS status = RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, REG_SZ, value.c_str(),
                                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
            EXPECT_EQ(status, ERROR_SUCCESS) << "cannot write HKLM\\" << utf8(path);
        }
    }
}

// ---- Input ----

void move_mouse(POINT screen) {
    // Absolute positions are in 1/65536ths of the virtual screen, and the
    // pixel is the fraction rounded down: round up here to land on it.
    const auto normalise = [](int offset, int size) { return static_cast<LONG>((offset * 65536LL + size - 1) / size); };
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    std::vector<INPUT> move(1);
    move[0].type = INPUT_MOUSE;
    move[0].mi.dx = normalise(screen.x - left, width);
    move[0].mi.dy = normalise(screen.y - top, height);
    move[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    // The pointer must also stay there: a motion still on its way from the
    // X server (a desktop window appearing under the pointer) can move it
    // back a moment later, and a click would then land elsewhere.
    POINT at{};
    for (int attempt = 0; attempt < 3; ++attempt) {
        send_input(move);
        int steady = 0;
        if (wait_until(
                [&] {
                    const bool there = GetCursorPos(&at) && at.x == screen.x && at.y == screen.y;
                    steady = there ? steady + 1 : 0;
                    return steady >= 4;
                },
                1s))
            return;
    }
    ADD_FAILURE() << "the mouse went to (" << at.x << ", " << at.y << "), not (" << screen.x << ", " << screen.y << ")";
}

void move_mouse_off(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    move_mouse({r.left - 8 >= left ? r.left - 8 : r.right + 8, r.top - 8 >= top ? r.top - 8 : r.bottom + 8});
}

void click(HWND window, Button button) {
    if (!IsWindowVisible(window)) ADD_FAILURE() << "clicking window " << window << ", which is not visible";
    move_mouse(centre(window));
    std::vector<INPUT> press_release(2);
    for (auto& input : press_release) input.type = INPUT_MOUSE;
    const bool left = button == Button::Left;
    press_release[0].mi.dwFlags = left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    press_release[1].mi.dwFlags = left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    send_input(press_release);
}

void type(std::wstring_view text) {
    std::vector<INPUT> strokes;
    strokes.reserve(text.size() * 2);
    for (const wchar_t unit : text) {
        for (const bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = unit;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            strokes.push_back(input);
        }
    }
    if (!strokes.empty()) send_input(strokes);
}

void press(WORD key, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> strokes;
    for (const WORD modifier : modifiers) strokes.push_back(key_event(modifier, false));
    strokes.push_back(key_event(key, false));
    strokes.push_back(key_event(key, true));
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m) strokes.push_back(key_event(*m, true));
    send_input(strokes);
}

int press_until(WORD key, std::initializer_list<WORD> modifiers, const std::function<bool()>& done, int presses) {
    for (int n = 1; n <= presses; ++n) {
        press(key, modifiers);
        if (wait_until(done, 2s)) return n;
    }
    return 0;
}

void paste(std::wstring_view text) {
    // The clipboard may be open in another process for a moment.
    if (!wait_until([] { return OpenClipboard(nullptr) != FALSE; }, 2s)) {
        ADD_FAILURE() << "cannot open the clipboard";
        return;
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        auto* data = static_cast<wchar_t*>(GlobalLock(memory));
        std::copy(text.begin(), text.end(), data);
        data[text.size()] = L'\0';
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
    press('V', {VK_CONTROL});
}

// ---- What the window shows ----

std::wstring text(HWND window) {
    // WM_GETTEXT, not GetWindowTextW: for another process's edit box the
    // latter returns the caption it was created with, not what was typed.
    const auto length = static_cast<std::size_t>(send(window, WM_GETTEXTLENGTH));
    std::wstring result(length + 1, L'\0');
    const auto copied =
        static_cast<std::size_t>(send(window, WM_GETTEXT, result.size(), reinterpret_cast<LPARAM>(result.data())));
    result.resize(std::min(copied, length));
    return result;
}

bool checked(HWND button) { return send(button, BM_GETCHECK) == BST_CHECKED; }

int selected_index(HWND combo_box) { return static_cast<int>(send(combo_box, CB_GETCURSEL)); }

bool visible(HWND window) { return IsWindowVisible(window) != FALSE; }

namespace {

// The program a window belongs to, by its full path ("" when not known).
std::wstring program_of(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::wstring path(MAX_PATH, L'\0');
    if (const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
        DWORD size = static_cast<DWORD>(path.size());
        if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) size = 0;
        path.resize(size);
        CloseHandle(process);
    } else {
        path.clear();
    }
    return path;
}

}  // namespace

bool balloon_shown(const std::function<bool(const std::wstring&)>& wanted) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"tooltips_class32", nullptr));) {
        if (!visible(w)) continue;
        wchar_t buffer[1024] = {};
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(w, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                                 5000, &copied)) {
            const std::wstring program = program_of(w);
            const bool ours =
                program.size() >= 11 && _wcsicmp(program.c_str() + program.size() - 11, L"velvane.exe") == 0;
            if (ours) ADD_FAILURE() << "Velvane's tooltip " << w << " did not answer WM_GETTEXT";
            std::printf("[ harness  ] tooltip %p of %s did not answer WM_GETTEXT in 5 s\n", static_cast<void*>(w),
                        program.empty() ? "an unknown program" : utf8(program).c_str());
            std::fflush(stdout);
            continue;
        }
        if (wanted(std::wstring(buffer, std::min<std::size_t>(copied, std::size(buffer) - 1)))) return true;
    }
    return false;
}

bool balloon_shown(std::wstring_view message) {
    return balloon_shown([message](const std::wstring& shown) { return shown == message; });
}

// ---- Text ----

std::string gbk(std::wstring_view text) {
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(936, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(936, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace e2e
