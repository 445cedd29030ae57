// Stands in for a web browser that is already running: the resident URL
// logger of the end-to-end tests and the soak. The shell hands it each URL
// through DDE, the way it talks to a running browser, so a search costs no
// process start. (Wine fails about one process start in ten thousand, before
// the started program runs a line; a logger started per URL then loses that
// URL through no fault of the program under test.)
//
//   ddelog.exe <log file> <ready event> [<service>]
//
// It serves the DDE application <service> (default "VelvaneUrlLog"), topic
// "OpenURL". The harness (ResidentUrlLogger) registers http's
// shell\open\ddeexec as "%1" with that application and topic: the shell
// connects and sends the URL, unchanged, as the execute command; this
// appends it, as UTF-8, plus a newline to the log file (in the same way as
// urllog.exe, which may write to the same file). The named event is set once
// its window is up.
//
// It speaks the DDE messages itself instead of through the DDE management
// library: Wine's library hands a Unicode server an execute command with a
// character above U+00FF (a raw 中 in a URL) as if it were ANSI text, which
// cuts it after its first letter ("h"; dlls/user32/dde_server.c,
// data_looks_unicode). Its window is a Unicode one, so the shell's Unicode
// client sends the command's UTF-16 as it is.
//
// When the shell finds no server it starts the open command (urllog.exe
// "%1", which logs the URL) and then sends the ifexec command: "started" is
// counted here and logs nothing, so the URL is logged once either way.
//
//   VELVANE_URLLOG_DELAY_MS  wait this long before logging each URL (a slow
//                            browser: the shell waits for the answer)
//   VELVANE_URLLOG_HANG_ON   a URL holding this text is logged and never
//                            answered (a browser that hangs: the shell waits
//                            until its own bound, half a minute in Wine),
//                            while later conversations are served as ever
//
// Ends on WM_QUIT (sent to its thread) and then writes a summary line to
// <log file>.ddelog: how many URLs it logged, how many "started" commands it
// got, and how many URLs it could not write.
#include <windows.h>
#include <dde.h>

#include <cwchar>
#include <string>

#include "test_text.h"

namespace {

using test_text::utf8;

constexpr wchar_t kDefaultService[] = L"VelvaneUrlLog";
constexpr wchar_t kTopic[] = L"OpenURL";
constexpr wchar_t kStarted[] = L"started";
constexpr wchar_t kWindowClass[] = L"VelvaneDdeLog";

struct State {
    std::wstring service;
    std::wstring log_path;
    DWORD delay_ms = 0;
    std::wstring hang_on;
    unsigned long logged = 0;
    unsigned long started = 0;
    unsigned long unwritten = 0;
};
State state;

std::wstring environment(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

// Appends bytes to a file that others append to as well: opened without
// write sharing, so each line goes in whole; a busy file is tried again.
bool append(const std::wstring& path, const std::string& bytes) {
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
        Sleep(10);
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring atom_name(ATOM atom) {
    wchar_t name[256] = {};
    const UINT n = GlobalGetAtomNameW(atom, name, 256);
    return std::wstring(name, n);
}

// The execute command as sent: the client's Unicode text, up to its end.
std::wstring command_text(HGLOBAL commands) {
    std::wstring text;
    if (const auto* data = static_cast<const wchar_t*>(GlobalLock(commands))) {
        const SIZE_T units = GlobalSize(commands) / sizeof(wchar_t);
        text.assign(data, wcsnlen(data, units));
        GlobalUnlock(commands);
    }
    return text;
}

// Logs one URL, or counts a "started"; true when it was taken.
bool take(const std::wstring& command) {
    if (command == kStarted) {
        ++state.started;
        return true;
    }
    if (state.delay_ms) Sleep(state.delay_ms);
    if (!append(state.log_path, utf8(command) + '\n')) {
        ++state.unwritten;
        return false;
    }
    ++state.logged;
    return true;
}

bool is_listener(HWND window) { return GetWindowLongPtrW(window, GWLP_USERDATA) == 0; }

// One window listens for WM_DDE_INITIATE; each conversation gets a window of
// its own (GWLP_USERDATA: the client's window), as DDE asks.
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_DDE_INITIATE: {
        if (!is_listener(window)) return 0;
        const auto client = reinterpret_cast<HWND>(wparam);
        const ATOM application = LOWORD(lparam), topic = HIWORD(lparam);
        if ((application && _wcsicmp(atom_name(application).c_str(), state.service.c_str()) != 0) ||
            (topic && _wcsicmp(atom_name(topic).c_str(), kTopic) != 0))
            return 0;
        const HWND conversation = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                                  GetModuleHandleW(nullptr), nullptr);
        if (!conversation) return 0;
        SetWindowLongPtrW(conversation, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(client));
        // The client deletes the atoms of the answer: new ones, not its own.
        const ATOM answer_application = GlobalAddAtomW(state.service.c_str());
        const ATOM answer_topic = GlobalAddAtomW(kTopic);
        SendMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(conversation),
                     MAKELPARAM(answer_application, answer_topic));
        return 0;
    }
    case WM_DDE_EXECUTE: {
        const auto client = reinterpret_cast<HWND>(wparam);
        UINT_PTR unused = 0, commands = 0;
        UnpackDDElParam(WM_DDE_EXECUTE, lparam, &unused, &commands);
        const std::wstring command = command_text(reinterpret_cast<HGLOBAL>(commands));
        const bool taken = take(command);
        if (!state.hang_on.empty() && command.find(state.hang_on) != std::wstring::npos) return 0;  // no answer
        const UINT_PTR status = taken ? 0x8000 : 0;                                                 // DDEACK's fAck
        if (!PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(window),
                          ReuseDDElParam(lparam, WM_DDE_EXECUTE, WM_DDE_ACK, status, commands)))
            GlobalFree(reinterpret_cast<HGLOBAL>(commands));
        return 0;
    }
    case WM_DDE_TERMINATE: {
        if (is_listener(window)) return 0;
        PostMessageW(reinterpret_cast<HWND>(wparam), WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window), 0);
        DestroyWindow(window);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 4) return 2;
    state.log_path = argv[1];
    state.service = argc == 4 ? argv[3] : kDefaultService;
    if (const std::wstring delay = environment(L"VELVANE_URLLOG_DELAY_MS"); !delay.empty())
        state.delay_ms = static_cast<DWORD>(_wtoi(delay.c_str()));
    state.hang_on = environment(L"VELVANE_URLLOG_HANG_ON");

    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kWindowClass;
    if (!RegisterClassW(&window_class)) return 3;
    // A top-level window (hidden): WM_DDE_INITIATE goes to those, not to
    // message-only windows.
    const HWND listener = CreateWindowExW(0, kWindowClass, state.service.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                                          nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!listener) return 4;

    const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready || !SetEvent(ready)) return 5;
    CloseHandle(ready);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    DestroyWindow(listener);
    const std::string summary = "logged " + std::to_string(state.logged) + ", started " +
                                std::to_string(state.started) + ", unwritten " + std::to_string(state.unwritten) + "\n";
    return append(state.log_path + L".ddelog", summary) ? 0 : 6;
}
