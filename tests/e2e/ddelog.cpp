// Stands in for a web browser that is already running: the soak's URL logger.
// The shell hands it each URL through DDE, the way it talks to a running
// browser, so a search costs no process start. (Wine fails about one process
// start in ten thousand, before the started program runs a line; a soak of
// ten thousand searches with a logger started per URL loses one now and then
// through no fault of the program under test.)
//
//   ddelog.exe <log file> <ready event>
//
// It serves the DDE service "VelvaneUrlLog", topic "OpenURL". The soak
// registers http's shell\open\ddeexec as "%1" with that application and
// topic: the shell connects and sends the URL, unchanged, as the execute
// command; this appends it, as UTF-8, plus a newline to the log file (in the
// same way as urllog.exe, which may write to the same file). The named event
// is set once the service is registered.
//
// When the shell finds no server it starts the open command (urllog.exe
// "%1", which logs the URL) and then sends the ifexec command: "started" is
// counted here and logs nothing, so the URL is logged once either way.
//
//   VELVANE_URLLOG_DELAY_MS  wait this long before logging each URL (a slow
//                            browser: the shell waits for the answer)
//
// Ends on WM_QUIT (sent to its thread) and then writes a summary line to
// <log file>.ddelog: how many URLs it logged, how many "started" commands it
// got, and how many URLs it could not write.
#include <windows.h>
#include <ddeml.h>

#include <string>

namespace {

constexpr wchar_t kService[] = L"VelvaneUrlLog";
constexpr wchar_t kTopic[] = L"OpenURL";
constexpr wchar_t kStarted[] = L"started";

struct State {
    DWORD instance = 0;
    HSZ service = nullptr;
    HSZ topic = nullptr;
    std::wstring log_path;
    DWORD delay_ms = 0;
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

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
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

// The execute command as sent: the shell's Unicode text, up to its end.
std::wstring command_text(HDDEDATA data) {
    const DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!text.empty()) DdeGetData(data, reinterpret_cast<LPBYTE>(text.data()), size, 0);
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

HDDEDATA CALLBACK serve(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DdeCmpStringHandles(topic, state.topic) == 0));
    case XTYP_EXECUTE: {
        const std::wstring command = command_text(data);
        if (command == kStarted) {
            ++state.started;
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
        }
        if (state.delay_ms) Sleep(state.delay_ms);
        if (!append(state.log_path, utf8(command) + '\n')) {
            ++state.unwritten;
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FNOTPROCESSED));
        }
        ++state.logged;
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
    }
    default:
        return nullptr;
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    state.log_path = argv[1];
    if (const std::wstring delay = environment(L"VELVANE_URLLOG_DELAY_MS"); !delay.empty())
        state.delay_ms = static_cast<DWORD>(_wtoi(delay.c_str()));

    constexpr DWORD kFlags = APPCLASS_STANDARD | APPCMD_FILTERINITS | CBF_FAIL_ADVISES | CBF_FAIL_POKES |
                             CBF_FAIL_REQUESTS | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
    if (DdeInitializeW(&state.instance, serve, kFlags, 0) != DMLERR_NO_ERROR) return 3;
    state.service = DdeCreateStringHandleW(state.instance, kService, CP_WINUNICODE);
    state.topic = DdeCreateStringHandleW(state.instance, kTopic, CP_WINUNICODE);
    if (!state.service || !state.topic || !DdeNameService(state.instance, state.service, nullptr, DNS_REGISTER))
        return 4;

    const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready || !SetEvent(ready)) return 5;
    CloseHandle(ready);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    DdeNameService(state.instance, state.service, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(state.instance, state.service);
    DdeFreeStringHandle(state.instance, state.topic);
    DdeUninitialize(state.instance);
    const std::string summary = "logged " + std::to_string(state.logged) + ", started " +
                                std::to_string(state.started) + ", unwritten " + std::to_string(state.unwritten) + "\n";
    return append(state.log_path + L".ddelog", summary) ? 0 : 6;
}
