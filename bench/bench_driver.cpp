// Measures one run of a program under Wine, from inside the program's desktop,
// and prints the figures as key=value lines for bench/run.sh:
//
//   bench_driver --exe PATH --class WINDOW_CLASS --log URL_LOG
//                [--browser DDELOG_EXE] [--searches N] [--toggles N]
//                [--switches N] [--settle-ms N] [--idle-ms N]
//
// With --browser, the browser is that resident DDE logger
// (tests/e2e/ddelog.cpp), started here before the program and ended after it:
// the shell hands it each URL by DDE, as to a browser already running, so a
// search costs no process start, and a start that Wine holds up under load
// cannot stall the searches. Without it, whatever the prefix's http handler
// starts per URL.
//
//   start_ms        process start to the main window shown and painted: from
//                   just before CreateProcess until the window is visible, no
//                   part of it or of its visible child windows waits for
//                   WM_PAINT, and its thread answers WM_NULL
//   children_start, check_ms_start   the window's child windows after start,
//                   and what one such "painted" check costs then (the mean
//                   of 50, at rest): the measuring instrument's own weight
//   children_end, check_ms_end       the same after the page switches, when
//                   every page has been visited
//   peak_start_kb   peak working set after start (and after the settle time)
//   hotkey_ms       per toggle: Alt+W pressed (SendInput) while the window is
//                   hidden, until it is shown and painted again
//   hotkey_visible_ms  the same, until IsWindowVisible only
//   hotkey_missed   hiding presses that had to be repeated (the window stayed
//                   visible for 2 s)
//   switch_ms       per page switch: Ctrl+Tab pressed (SendInput) while the
//                   window is in front, until the tab control has selected the
//                   next page and the window is painted again; N switches,
//                   made up to whole rounds of the pages, so that the searches
//                   afterwards run on the first page as without them
//   switch_missed   Ctrl+Tab presses that had to be repeated (no switch within 2 s)
//   idle_ms, idle_cpu_ms, idle_wakeups   with --idle-ms: the window hidden by
//                   Alt+W and left alone for that long (after a second to
//                   settle), the CPU time the program's process used
//                   (utime + stime of /proc/<pid>/stat) and the times its
//                   threads were woken (voluntary + nonvoluntary context
//                   switches of every /proc/<pid>/task/*/status); the process
//                   is the program's own Linux process (Wine's preloader
//                   running it), found by its name and a mark in its
//                   environment. idle_pid says which it was.
//   ws_start_kb     working set after start
//   peak_early_kb   peak working set after the first tenth of the searches
//   peak_search_kb  peak working set after N searches (Enter in the keyword box)
//   ws_search_kb    working set then
//   urls            lines in the URL log after the searches (should be N)
//   echo_ms         with --echoes N: per keystroke, a letter typed (SendInput)
//                   at the end of the keyword box until the box holds it, has
//                   nothing left to paint and its thread answers WM_NULL
//   list_ms         with --suggestions N (Velvane only, in a run of its own):
//                   per keystroke, a letter typed in the keyword box of a page
//                   whose suggestions come from a server of this driver's on
//                   127.0.0.1 that answers at once, until the list under the
//                   box shows the answer for the new text and has nothing
//                   left to paint; list_request_ms from the keystroke until
//                   the request arrived (the program's pause after typing is
//                   in it), list_server_ms from then until the answer was
//                   sent, list_answer_ms from then until the list was painted;
//                   list_connections the connections the server accepted
//                   (it keeps each open, as a web server does)
//   exit_code       after WM_CLOSE
//
// Working sets come from GetProcessMemoryInfo; Wine answers it from the
// Linux side, with VmHWM (peak) and VmRSS of the process's /proc status.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <atomic>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Polls `done` every millisecond until it holds or `limit_ms` has passed.
template <class F>
bool wait_until(F done, double limit_ms) {
    const auto start = Clock::now();
    while (!done()) {
        if (ms_since(start) > limit_ms) return false;
        Sleep(1);
    }
    return true;
}

// The program under measurement: a failed run must not leave it holding the
// hotkey for the next one.
HANDLE g_program = nullptr;

// Where the resident browser is registered as http's and https's DDE target.
constexpr const wchar_t* kBrowserKeys[2] = {L"Software\\Classes\\http\\shell\\open\\ddeexec",
                                            L"Software\\Classes\\https\\shell\\open\\ddeexec"};
void unregister_browser() {
    for (const wchar_t* key : kBrowserKeys) RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
}

[[noreturn]] void fail(const char* what) {
    if (g_program) TerminateProcess(g_program, 99);
    unregister_browser();  // the browser itself ends with its job, as this process does
    std::printf("error=%s\n", what);
    std::fflush(stdout);
    std::exit(2);
}

struct Options {
    std::wstring exe, window_class, log, browser;
    int searches = 1000;
    int toggles = 20;
    int switches = 0;
    int settle_ms = 1000;
    int idle_ms = 0;
    int echoes = 0;
    int suggestions = 0;
};

Options parse(int argc, wchar_t** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring key = argv[i], value = argv[i + 1];
        if (key == L"--exe")
            o.exe = value;
        else if (key == L"--class")
            o.window_class = value;
        else if (key == L"--log")
            o.log = value;
        else if (key == L"--browser")
            o.browser = value;
        else if (key == L"--searches")
            o.searches = _wtoi(value.c_str());
        else if (key == L"--toggles")
            o.toggles = _wtoi(value.c_str());
        else if (key == L"--switches")
            o.switches = _wtoi(value.c_str());
        else if (key == L"--settle-ms")
            o.settle_ms = _wtoi(value.c_str());
        else if (key == L"--idle-ms")
            o.idle_ms = _wtoi(value.c_str());
        else if (key == L"--echoes")
            o.echoes = _wtoi(value.c_str());
        else if (key == L"--suggestions")
            o.suggestions = _wtoi(value.c_str());
        else
            fail("unknown option");
    }
    if (o.exe.empty() || o.window_class.empty() || o.log.empty()) fail("usage");
    return o;
}

HWND find_window(const std::wstring& window_class, DWORD process_id) {
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExW(nullptr, hwnd, window_class.c_str(), nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == process_id) return hwnd;
    }
    return nullptr;
}

// Whether a window of the program waits for WM_PAINT. Each question about
// another process's window is a round trip to the Wine server, so the check
// asks as few as it can: a child's own WS_VISIBLE style first (one question;
// a direct child of a visible window is visible when it has the style), and
// its update region only when it is visible. A hidden child costs the check
// one question (besides the enumeration's own), a visible one two.
struct PaintCheck {
    HWND top;
    bool pending;
};

BOOL CALLBACK child_needs_paint(HWND child, LPARAM data) {
    auto& check = *reinterpret_cast<PaintCheck*>(data);
    if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) return TRUE;
    // A grandchild (a language radio in its group box) is visible only when its parents are.
    if (GetAncestor(child, GA_PARENT) != check.top && !IsWindowVisible(child)) return TRUE;
    if (GetUpdateRect(child, nullptr, FALSE)) {
        check.pending = true;
        return FALSE;
    }
    return TRUE;
}

// Visible, nothing left to paint, and its thread is at its message loop.
bool shown_and_painted(HWND hwnd) {
    if (!IsWindowVisible(hwnd) || GetUpdateRect(hwnd, nullptr, FALSE)) return false;
    PaintCheck check = {hwnd, false};
    EnumChildWindows(hwnd, child_needs_paint, reinterpret_cast<LPARAM>(&check));
    if (check.pending) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

BOOL CALLBACK count_child(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The child windows, and the mean cost of one check, at rest.
void print_instrument(HWND hwnd, const char* children_key, const char* cost_key) {
    int children = 0;
    EnumChildWindows(hwnd, count_child, reinterpret_cast<LPARAM>(&children));
    constexpr int kChecks = 50;
    const auto start = Clock::now();
    for (int i = 0; i < kChecks; ++i) shown_and_painted(hwnd);
    std::printf("%s=%d\n%s=%.3f\n", children_key, children, cost_key, ms_since(start) / kChecks);
    std::fflush(stdout);
}

void send(std::vector<INPUT> inputs) {
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) fail("SendInput");
}

INPUT key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

void press_alt_w() { send({key(VK_MENU, false), key('W', false), key('W', true), key(VK_MENU, true)}); }

// Alt+W no sooner than 100 ms after the previous Alt+W, as fast as a hand
// repeats a chord: Wine loses now and then a MOD_NOREPEAT hotkey pressed a
// few milliseconds after the last one (the floor as much as Velvane).
void pace_alt_w() {
    static Clock::time_point last;
    constexpr auto kInterval = std::chrono::milliseconds(100);
    const auto since = Clock::now() - last;
    if (since < kInterval)
        Sleep(static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(kInterval - since).count()));
    press_alt_w();
    last = Clock::now();
}
void press_ctrl_tab() { send({key(VK_CONTROL, false), key(VK_TAB, false), key(VK_TAB, true), key(VK_CONTROL, true)}); }
void press_enter() { send({key(VK_RETURN, false), key(VK_RETURN, true)}); }

void type(std::wstring_view text) {
    std::vector<INPUT> inputs;
    for (const wchar_t c : text) {
        for (const bool up : {false, true}) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(in);
        }
    }
    send(std::move(inputs));
}

void click(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move = {}, down = {}, up = {};
    move.type = down.type = up.type = INPUT_MOUSE;
    // Absolute positions are in 1/65536ths of the screen.
    move.mi.dx = static_cast<LONG>(((r.left + r.right) / 2 * 65536LL + width - 1) / width);
    move.mi.dy = static_cast<LONG>(((r.top + r.bottom) / 2 * 65536LL + height - 1) / height);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    send({move, down, up});
}

BOOL CALLBACK find_visible_edit(HWND child, LPARAM result) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (_wcsicmp(name, L"Edit") == 0 && IsWindowVisible(child)) {
        *reinterpret_cast<HWND*>(result) = child;
        return FALSE;
    }
    return TRUE;
}

// GetWindowTextLength of another process's control gives the text it was
// created with, not what has been typed since: ask the control.
LRESULT text_length(HWND edit) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length);
    return static_cast<LRESULT>(length);
}

BOOL CALLBACK find_tab_control(HWND child, LPARAM result) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (_wcsicmp(name, WC_TABCONTROLW) == 0) {
        *reinterpret_cast<HWND*>(result) = child;
        return FALSE;
    }
    return TRUE;
}

// The window's tab control and its visible keyword box (null when none).
HWND tab_control_of(HWND window) {
    HWND tab = nullptr;
    EnumChildWindows(window, find_tab_control, reinterpret_cast<LPARAM>(&tab));
    return tab;
}

HWND visible_edit_of(HWND window) {
    HWND edit = nullptr;
    EnumChildWindows(window, find_visible_edit, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

// A message without pointers, answered by the program's thread once it is
// back at its message loop, so after the whole of a page switch.
LRESULT ask(HWND hwnd, UINT msg) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, 0, 0, SMTO_ABORTIFHUNG, 1000, &result)) return -1;
    return static_cast<LRESULT>(result);
}

HWND focus_of(HWND hwnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::size_t lines_in(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    std::size_t lines = 0;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        lines += static_cast<std::size_t>(std::count(buffer, buffer + got, '\n'));
    CloseHandle(file);
    return lines;
}

// A Linux file (Z: is the root), whole; procfs files say size 0, so read to the end.
std::string read_linux_file(const std::string& path) {
    std::wstring name = L"Z:";
    for (const char c : path) name += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::vector<std::string> numeric_entries(const std::string& folder) {
    std::vector<std::string> names;
    std::wstring pattern = L"Z:";
    for (const char c : folder) pattern += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    pattern += L"\\*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name;
        for (const wchar_t* c = found.cFileName; *c; ++c) name += static_cast<char>(*c);
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The program's own Linux process: the one named after its exe (Wine names
// the process so, cut to 15 characters) that runs in this Wine prefix.
std::string find_linux_process(const std::wstring& exe) {
    std::string name;
    for (const wchar_t c : exe.substr(exe.find_last_of(L"\\/") + 1)) name += static_cast<char>(c);
    name = name.substr(0, 15) + "\n";
    wchar_t prefix[1024] = {};
    GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024);
    std::string mark = "WINEPREFIX=";
    for (const wchar_t* c = prefix; *c; ++c) mark += static_cast<char>(*c);
    mark += '\0';
    for (const std::string& pid : numeric_entries("/proc")) {
        if (read_linux_file("/proc/" + pid + "/comm") != name) continue;
        const std::string environment = '\0' + read_linux_file("/proc/" + pid + "/environ");
        if (environment.find('\0' + mark) != std::string::npos) return pid;
    }
    return {};
}

struct LinuxCounters {
    unsigned long long cpu_ticks = 0;  // utime + stime, in clock ticks (1/100 s)
    unsigned long long switches = 0;   // voluntary + nonvoluntary, every thread
};

unsigned long long field_after(const std::string& text, const char* key) {
    const std::size_t at = text.find(key);
    return at == std::string::npos ? 0 : std::strtoull(text.c_str() + at + std::strlen(key), nullptr, 10);
}

LinuxCounters linux_counters(const std::string& pid) {
    LinuxCounters counters;
    const std::string stat = read_linux_file("/proc/" + pid + "/stat");
    // After the name in parentheses: state is field 3, utime and stime are 14 and 15.
    const std::size_t close = stat.rfind(')');
    if (close != std::string::npos) {
        const char* p = stat.c_str() + close + 1;
        char* end = nullptr;
        for (int field = 3; field <= 15; ++field) {
            while (*p == ' ') ++p;
            if (field == 3) {
                ++p;
                continue;
            }
            const unsigned long long value = std::strtoull(p, &end, 10);
            if (field >= 14) counters.cpu_ticks += value;
            p = end;
        }
    }
    for (const std::string& task : numeric_entries("/proc/" + pid + "/task")) {
        const std::string status = read_linux_file("/proc/" + pid + "/task/" + task + "/status");
        counters.switches +=
            field_after(status, "\nvoluntary_ctxt_switches:") + field_after(status, "\nnonvoluntary_ctxt_switches:");
    }
    return counters;
}

// No URL arrived for a minute: said with how far the searches got, never waited out.
[[noreturn]] void stalled(const std::wstring& log, int sent) {
    std::printf("stalled_after=%d\nurls=%zu\n", sent, lines_in(log));
    fail("searches stalled");
}

void print_list(const char* key, const std::vector<double>& values) {
    std::printf("%s=", key);
    for (std::size_t i = 0; i < values.size(); ++i) std::printf("%s%.2f", i ? "," : "", values[i]);
    std::printf("\n");
}

void print_memory(HANDLE process, const char* peak_key, const char* current_key) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) fail("GetProcessMemoryInfo");
    std::printf("%s=%llu\n%s=%llu\n", peak_key, static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024),
                current_key, static_cast<unsigned long long>(counters.WorkingSetSize / 1024));
}

// The suggestion service for --suggestions: HTTP on 127.0.0.1 on a thread of
// this driver's, so that a request's arrival and its answer are timed on the
// same clock as the keystroke. Each request for /su?q=TEXT&end is answered
// at once with the OpenSearch suggestions ["TEXT",["TEXTx"]], on a connection
// kept open for the next request. It takes at most kMaxRequests requests and
// stops by itself after kMaxSeconds, or when the driver ends.
class SuggestServer {
public:
    struct Request {
        std::string text;
        Clock::time_point arrived, answered;
    };

    SuggestServer() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) fail("WSAStartup");
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int size = sizeof(address);
        if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            fail("the suggestion server cannot listen on 127.0.0.1");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }

    ~SuggestServer() {
        stop_ = true;
        thread_.join();
        closesocket(listener_);
        WSACleanup();
    }

    SuggestServer(const SuggestServer&) = delete;
    SuggestServer& operator=(const SuggestServer&) = delete;

    int port() const { return port_; }
    // Connections accepted so far.
    int connections() const { return connections_; }

    bool find(const std::string& text, Request& found) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Request& request : requests_)
            if (request.text == text) {
                found = request;
                return true;
            }
        return false;
    }

private:
    static constexpr int kMaxRequests = 500;
    static constexpr std::size_t kMaxConnections = 8;
    static constexpr int kMaxSeconds = 300;

    // A connection is kept open after an answer, as a web server's is, and
    // serves the client's next request; at most kMaxConnections at a time.
    void serve() {
        const auto start = Clock::now();
        std::vector<SOCKET> clients;
        for (int served = 0; !stop_ && served < kMaxRequests && ms_since(start) < kMaxSeconds * 1000.0;) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener_, &ready);
            for (const SOCKET client : clients) FD_SET(client, &ready);
            timeval wait = {0, 100000};
            if (select(0, &ready, nullptr, nullptr, &wait) < 1) continue;
            for (std::size_t i = clients.size(); i-- > 0;) {
                if (!FD_ISSET(clients[i], &ready)) continue;
                if (answer(clients[i])) {
                    ++served;
                } else {
                    closesocket(clients[i]);
                    clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            if (FD_ISSET(listener_, &ready)) {
                const SOCKET client = accept(listener_, nullptr, nullptr);
                if (client == INVALID_SOCKET) continue;
                ++connections_;
                if (clients.size() < kMaxConnections) {
                    clients.push_back(client);
                } else {
                    closesocket(client);
                }
            }
        }
        for (const SOCKET client : clients) closesocket(client);
    }

    // One request of a connection and its answer; false when the connection
    // has ended (or sent something else).
    bool answer(SOCKET client) {
        DWORD bound_ms = 5000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&bound_ms), sizeof(bound_ms));
        std::string head;
        char buffer[2048];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            const int got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0) return false;
            head.append(buffer, static_cast<std::size_t>(got));
        }
        Request request;
        request.arrived = Clock::now();
        const std::size_t q = head.find("?q="), end = head.find("&end");
        if (q == std::string::npos || end == std::string::npos || end < q) return false;
        request.text = head.substr(q + 3, end - q - 3);
        const std::string body = "[\"" + request.text + "\",[\"" + request.text + "x\"]]";
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body;
        ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
        request.answered = Clock::now();
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        return true;
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
};

// Bytes of a text in a code page (UTF-8, or GBK: 936).
std::string encoded(std::wstring_view text, UINT code_page) {
    const int size =
        WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

void write_file(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
        fail("cannot write the program's settings");
    CloseHandle(file);
}

// Velvane's settings for --suggestions: a page of its own last among the
// tabs whose suggestions come from the driver's server, and suggestions
// turned on (with the hotkey Alt+W, as without the file).
void write_suggestion_settings(const std::wstring& dir, int port) {
    write_file(dir + L"\\Engines.ini",
               "\xEF\xBB\xBF" + encoded(L"[论坛]\r\nradio = 帖子 | http://bbs.example.cn/search.php?q={keyword}\r\n"
                                        L"suggest = http://127.0.0.1:" +
                                            std::to_wstring(port) + L"/su?q={keyword}&end\r\n",
                                        CP_UTF8));
    write_file(dir + L"\\Setup.ini",
               encoded(L"[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n[搜索建议]\r\n开启=1\r\n", 936));
}

// Nothing of the window left to paint, and its thread at its message loop.
bool painted(HWND hwnd) {
    DWORD_PTR result = 0;
    return !GetUpdateRect(hwnd, nullptr, FALSE) &&
           SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

// The list box of the program's list under the keyword box while it shows.
HWND shown_list(DWORD process_id) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"VelvaneKeywordList", nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process_id && IsWindowVisible(w)) return GetWindow(w, GW_CHILD);
    }
    return nullptr;
}

// The list's first entry (an empty text for none).
std::wstring first_entry(HWND list) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, 0, 0, SMTO_ABORTIFHUNG, 1000, &length) ||
        static_cast<LRESULT>(length) <= 0 || length > 1000)
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 1000, &copied);
    text.resize(static_cast<LRESULT>(copied) > 0 ? copied : 0);
    return text;
}

// The resident browser: the DDE logger, ended with this driver however that
// ends (a job that kills it on close), registered as http's and https's
// ddeexec target while it runs.
class ResidentBrowser {
public:
    static constexpr const wchar_t* kService = L"VelvaneBenchUrlLog";

    ResidentBrowser(const std::wstring& exe, const std::wstring& log) {
        job_ = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
        // Wine fails a process start now and then before the program runs a
        // line (ERROR_INTERNAL_ERROR, or an end before it was ready): tried
        // three times, each bounded.
        for (int attempt = 1; attempt <= 3 && !process_.hProcess; ++attempt) {
            const std::wstring ready_name = std::wstring(L"VelvaneBenchBrowserReady-") +
                                            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
            const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
            std::wstring command = L"\"" + exe + L"\" \"" + log + L"\" " + ready_name + L" " + kService;
            STARTUPINFOW startup = {};
            startup.cb = sizeof(startup);
            if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                nullptr, &startup, &process_)) {
                CloseHandle(ready);
                process_ = {};
                continue;
            }
            AssignProcessToJobObject(job_, process_.hProcess);
            ResumeThread(process_.hThread);
            const HANDLE waits[2] = {ready, process_.hProcess};
            const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 30000);
            CloseHandle(ready);
            if (woke == WAIT_OBJECT_0) break;
            TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
            process_ = {};
        }
        if (!process_.hProcess) fail("the resident browser (DDE logger) did not start");
        for (const wchar_t* key : kBrowserKeys) {
            set(key, nullptr, L"%1");
            set(key, L"application", kService);
            set(key, L"topic", L"OpenURL");
            set(key, L"ifexec", L"started");
        }
    }

    ~ResidentBrowser() {
        unregister_browser();
        PostThreadMessageW(process_.dwThreadId, WM_QUIT, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        CloseHandle(job_);
    }

    ResidentBrowser(const ResidentBrowser&) = delete;
    ResidentBrowser& operator=(const ResidentBrowser&) = delete;

private:
    static void set(const wchar_t* key, const wchar_t* subkey, const wchar_t* value) {
        std::wstring path = key;
        if (subkey) path += std::wstring(L"\\") + subkey;
        if (RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, REG_SZ, value,
                            static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            fail("cannot register the resident browser");
    }

    HANDLE job_ = nullptr;
    PROCESS_INFORMATION process_ = {};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const Options o = parse(argc, argv);
    DeleteFileW(o.log.c_str());
    // Inherited by the program and by the browsers it starts.
    SetEnvironmentVariableW(L"VELVANE_URL_LOG", o.log.c_str());
    std::unique_ptr<ResidentBrowser> browser;
    if (!o.browser.empty()) browser = std::make_unique<ResidentBrowser>(o.browser, o.log);

    std::wstring dir = o.exe.substr(0, o.exe.find_last_of(L"\\/"));
    std::unique_ptr<SuggestServer> suggest_server;
    if (o.suggestions > 0) {
        suggest_server = std::make_unique<SuggestServer>();
        write_suggestion_settings(dir, suggest_server->port());
    }
    std::wstring command = L"\"" + o.exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const auto started = Clock::now();
    if (!CreateProcessW(o.exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                        &process))
        fail("CreateProcess");
    g_program = process.hProcess;
    HWND hwnd = nullptr;
    if (!wait_until(
            [&] {
                return (hwnd || (hwnd = find_window(o.window_class, process.dwProcessId))) && shown_and_painted(hwnd);
            },
            30000))
        fail("no window");
    std::printf("start_ms=%.1f\n", ms_since(started));
    std::fflush(stdout);

    Sleep(static_cast<DWORD>(o.settle_ms));
    print_memory(process.hProcess, "peak_start_kb", "ws_start_kb");
    print_instrument(hwnd, "children_start", "check_ms_start");

    std::vector<double> toggles, visible;
    int missed_presses = 0;
    for (int i = 0; i < o.toggles; ++i) {
        pace_alt_w();
        if (!wait_until([&] { return !IsWindowVisible(hwnd); }, 2000)) {
            // Counted and reported: a press the program missed is a finding
            // of its own, but it should not cost the other figures.
            ++missed_presses;
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info);
            std::printf("missed_press=%d flags=0x%lx foreground=%d\n", i, info.flags, GetForegroundWindow() == hwnd);
            pace_alt_w();
            if (!wait_until([&] { return !IsWindowVisible(hwnd); }, 5000)) fail("hotkey did not hide the window");
        }
        pace_alt_w();
        const auto pressed = Clock::now();
        if (!wait_until([&] { return IsWindowVisible(hwnd) != FALSE; }, 5000)) fail("hotkey did not show the window");
        visible.push_back(ms_since(pressed));
        if (!wait_until([&] { return shown_and_painted(hwnd); }, 5000)) fail("the window was not painted");
        toggles.push_back(ms_since(pressed));
    }
    print_list("hotkey_ms", toggles);
    print_list("hotkey_visible_ms", visible);
    std::printf("hotkey_missed=%d\n", missed_presses);
    std::fflush(stdout);

    if (o.switches > 0) {
        const HWND tab = tab_control_of(hwnd);
        const LRESULT pages = tab ? ask(tab, TCM_GETITEMCOUNT) : 0;
        if (pages < 2) fail("no second page");
        // The hotkey has just brought the window to the front.
        if (!wait_until([&] { return GetForegroundWindow() == hwnd && focus_of(hwnd) != nullptr; }, 5000))
            fail("window not in front for the page switch");
        const int switches = static_cast<int>((o.switches + pages - 1) / pages * pages);
        std::vector<double> switched;
        int missed_switches = 0;
        for (int i = 0; i < switches; ++i) {
            const LRESULT next = (ask(tab, TCM_GETCURSEL) + 1) % pages;
            Sleep(50);  // as a hand repeats it, and the previous switch's keys are all through
            auto pressed = Clock::now();
            press_ctrl_tab();
            if (!wait_until([&] { return ask(tab, TCM_GETCURSEL) == next; }, 2000)) {
                // Wine loses a chord now and then (see pace_alt_w): counted
                // and reported, pressed again, and timed from the new press.
                ++missed_switches;
                std::printf("missed_switch=%d foreground=%d\n", i, GetForegroundWindow() == hwnd);
                pressed = Clock::now();
                press_ctrl_tab();
                if (!wait_until([&] { return ask(tab, TCM_GETCURSEL) == next; }, 5000)) fail("page switch");
            }
            if (!wait_until([&] { return shown_and_painted(hwnd); }, 5000)) fail("page switch not painted");
            switched.push_back(ms_since(pressed));
        }
        print_list("switch_ms", switched);
        std::printf("switch_missed=%d\n", missed_switches);
        std::fflush(stdout);
        print_instrument(hwnd, "children_end", "check_ms_end");
    }

    if (o.idle_ms > 0) {
        const std::string pid = find_linux_process(o.exe);
        if (pid.empty()) fail("the program's Linux process was not found");
        pace_alt_w();
        if (!wait_until([&] { return !IsWindowVisible(hwnd); }, 2000)) {
            pace_alt_w();
            if (!wait_until([&] { return !IsWindowVisible(hwnd); }, 5000)) fail("hotkey did not hide the window");
        }
        Sleep(1000);  // whatever the hiding itself set off is over
        const LinuxCounters before = linux_counters(pid);
        const auto idle_start = Clock::now();
        Sleep(static_cast<DWORD>(o.idle_ms));
        const LinuxCounters after = linux_counters(pid);
        const double idle = ms_since(idle_start);
        std::printf("idle_pid=%s\nidle_ms=%.0f\nidle_cpu_ms=%llu\nidle_wakeups=%llu\n", pid.c_str(), idle,
                    (after.cpu_ticks - before.cpu_ticks) * 10, after.switches - before.switches);
        std::fflush(stdout);
        pace_alt_w();
        if (!wait_until([&] { return shown_and_painted(hwnd); }, 5000)) fail("hotkey did not show the window again");
    }

    if (o.searches > 0) {
        HWND edit = visible_edit_of(hwnd);
        if (!edit) fail("no keyword box");
        click(edit);
        // Keys typed before the click has made the window the foreground one
        // would go to the previous foreground window.
        if (!wait_until([&] { return GetForegroundWindow() == hwnd && focus_of(hwnd) == edit; }, 5000))
            fail("keyword box has no focus");
        type(L"velvane");
        if (!wait_until([&] { return text_length(edit) == 7; }, 5000)) fail("typing");
        // A few searches in flight: the browser takes them one by one (or,
        // without --browser, each starts a process, which the machine cannot
        // start a thousand of at once).
        constexpr std::size_t kInFlight = 4;
        // The peak after the first tenth of the searches, once their URLs
        // arrived: what the rest add to it says whether the memory stays flat.
        const int early = o.searches / 10;
        for (int i = 0; i < o.searches; ++i) {
            const auto sent = static_cast<std::size_t>(i);
            if (i == early && early > 0) {
                if (!wait_until([&] { return lines_in(o.log) >= sent; }, 60000)) stalled(o.log, i);
                print_memory(process.hProcess, "peak_early_kb", "ws_early_kb");
                std::printf("early_searches=%d\n", early);
            }
            if (!wait_until([&] { return sent < lines_in(o.log) + kInFlight; }, 60000)) stalled(o.log, i);
            press_enter();
        }
        const auto total = static_cast<std::size_t>(o.searches);
        wait_until([&] { return lines_in(o.log) >= total; }, 120000);
        Sleep(static_cast<DWORD>(o.settle_ms));
        std::printf("urls=%zu\n", lines_in(o.log));
        print_memory(process.hProcess, "peak_search_kb", "ws_search_kb");
    }

    if (o.echoes > 0) {
        HWND edit = visible_edit_of(hwnd);
        if (!edit) fail("no keyword box");
        if (GetForegroundWindow() != hwnd || focus_of(hwnd) != edit) click(edit);
        if (!wait_until([&] { return GetForegroundWindow() == hwnd && focus_of(hwnd) == edit; }, 5000))
            fail("keyword box has no focus");
        std::vector<double> echoes;
        for (int i = 0; i < o.echoes; ++i) {
            // At the end of what the box holds.
            SendMessageTimeoutW(edit, EM_SETSEL, 0x7fffffff, 0x7fffffff, SMTO_ABORTIFHUNG, 1000, nullptr);
            const LRESULT before = text_length(edit);
            Sleep(50);  // as a hand types, and the previous key is all through
            const auto pressed = Clock::now();
            type(std::wstring(1, static_cast<wchar_t>(L'a' + i % 26)));
            if (!wait_until([&] { return text_length(edit) == before + 1 && painted(edit); }, 5000))
                fail("the typed letter was not echoed");
            echoes.push_back(ms_since(pressed));
        }
        print_list("echo_ms", echoes);
        std::fflush(stdout);
    }

    if (o.suggestions > 0) {
        const HWND tab = tab_control_of(hwnd);
        const LRESULT pages = tab ? ask(tab, TCM_GETITEMCOUNT) : 0;
        if (pages < 2) fail("no page with suggestions");
        HWND edit = visible_edit_of(hwnd);
        if (!edit) fail("no keyword box");
        click(edit);
        if (!wait_until([&] { return GetForegroundWindow() == hwnd && focus_of(hwnd) == edit; }, 5000))
            fail("keyword box has no focus");
        // The page with suggestions is the last: Ctrl+Shift+Tab goes round to it.
        for (int attempt = 0; ask(tab, TCM_GETCURSEL) != pages - 1; ++attempt) {
            if (attempt == 3) fail("the page with suggestions did not come to the front");
            send({key(VK_CONTROL, false), key(VK_SHIFT, false), key(VK_TAB, false), key(VK_TAB, true),
                  key(VK_SHIFT, true), key(VK_CONTROL, true)});
            wait_until([&] { return ask(tab, TCM_GETCURSEL) == pages - 1; }, 2000);
        }
        if (!wait_until(
                [&] {
                    edit = visible_edit_of(hwnd);
                    return edit && focus_of(hwnd) == edit && shown_and_painted(hwnd);
                },
                5000))
            fail("the keyword box of the page with suggestions has no focus");
        std::vector<double> total, request, server, answer;
        std::string typed;
        for (int i = 0; i < o.suggestions; ++i) {
            const char letter = static_cast<char>('a' + i % 26);
            typed += letter;
            const std::wstring expected(typed.begin(), typed.end());
            Sleep(50);
            const auto pressed = Clock::now();
            type(std::wstring(1, static_cast<wchar_t>(letter)));
            HWND list = nullptr;
            if (!wait_until(
                    [&] {
                        return (list = shown_list(process.dwProcessId)) && first_entry(list) == expected + L"x" &&
                               painted(list) && painted(GetParent(list));
                    },
                    10000))
                fail("the list did not show the suggestion");
            const auto shown = Clock::now();
            SuggestServer::Request asked;
            if (!suggest_server->find(typed, asked)) fail("the suggestion was not asked for");
            const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
            total.push_back(ms(shown - pressed));
            request.push_back(ms(asked.arrived - pressed));
            server.push_back(ms(asked.answered - asked.arrived));
            answer.push_back(ms(shown - asked.answered));
        }
        print_list("list_ms", total);
        print_list("list_request_ms", request);
        print_list("list_server_ms", server);
        print_list("list_answer_ms", answer);
        std::printf("list_connections=%d\n", suggest_server->connections());
        std::fflush(stdout);
    }

    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit_code=%lu\n", code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
