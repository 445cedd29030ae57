#include "win/http_get_win.h"

#include <winhttp.h>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace velvane {
namespace {

// WinHTTP is loaded with the first request, by the worker: a program that
// never asks for suggestions (they are off until the user turns them on)
// does not carry it (under Wine about 400 KB of memory more).
struct WinHttp {
    decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
    decltype(&::WinHttpConnect) Connect = nullptr;
    decltype(&::WinHttpCrackUrl) CrackUrl = nullptr;
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfigForCurrentUser = nullptr;
    decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
    decltype(&::WinHttpOpen) Open = nullptr;
    decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
    decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
    decltype(&::WinHttpReadData) ReadData = nullptr;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
    decltype(&::WinHttpSendRequest) SendRequest = nullptr;
    decltype(&::WinHttpSetOption) SetOption = nullptr;
    decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
};
WinHttp winhttp;  // filled by the worker before its first request, then only read

bool load_winhttp() {
    static bool loaded = false;
    if (loaded) return true;
    // From the system folder by its full path: never a copy beside the program.
    std::wstring path(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(path.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    path.resize(length);
    path += L"\\winhttp.dll";
    const HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return false;
    const auto found = [module](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            reinterpret_cast<void*>(GetProcAddress(module, name)));
        return function != nullptr;
    };
    loaded = found(winhttp.CloseHandle, "WinHttpCloseHandle") && found(winhttp.Connect, "WinHttpConnect") &&
             found(winhttp.CrackUrl, "WinHttpCrackUrl") &&
             found(winhttp.GetIEProxyConfigForCurrentUser, "WinHttpGetIEProxyConfigForCurrentUser") &&
             found(winhttp.GetProxyForUrl, "WinHttpGetProxyForUrl") && found(winhttp.Open, "WinHttpOpen") &&
             found(winhttp.OpenRequest, "WinHttpOpenRequest") && found(winhttp.QueryHeaders, "WinHttpQueryHeaders") &&
             found(winhttp.ReadData, "WinHttpReadData") && found(winhttp.ReceiveResponse, "WinHttpReceiveResponse") &&
             found(winhttp.SendRequest, "WinHttpSendRequest") && found(winhttp.SetOption, "WinHttpSetOption") &&
             found(winhttp.SetTimeouts, "WinHttpSetTimeouts");
    return loaded;
}

std::atomic<std::uint64_t> cancelled_up_to{0};

bool cancelled(std::uint64_t id) { return id <= cancelled_up_to.load(std::memory_order_relaxed); }

// The strings WinHTTP hands over in proxy settings are the caller's to free.
void free_global(LPWSTR& text) {
    if (text) GlobalFree(text);
    text = nullptr;
}

// How the user's proxy settings (Internet Options) say to reach a server: a
// configuration script or automatic detection where set, else a named
// proxy, else none. Windows 7's WinHTTP has no automatic proxy mode of its
// own.
struct ProxyChoice {
    std::wstring settings;  // the settings it was found under
    std::wstring origin;    // scheme://host:port
    ULONGLONG found_at = 0;
    bool set = false;  // false: WinHTTP's own default (no proxy)
    DWORD access_type = WINHTTP_ACCESS_TYPE_NO_PROXY;
    std::wstring proxy, bypass;
};

// Automatic detection, on in Internet Options unless the user turned it off,
// looks on the network for a configuration script (DHCP, then a DNS name)
// each time it is asked: tens of milliseconds where the network says no at
// once, seconds where it is slow to say it, on every pause in typing. The
// choice for the last server is kept for a few minutes, as long as the
// settings are the same; any change to them is seen at the next request.
constexpr ULONGLONG kProxyChoiceKeptMs = 5 * 60 * 1000;
SRWLOCK proxy_choice_lock = SRWLOCK_INIT;
ProxyChoice kept_proxy_choice;

std::wstring text_or_empty(LPCWSTR text) { return text ? std::wstring(text) : std::wstring(); }

bool kept_choice_for(const std::wstring& settings, const std::wstring& origin, ProxyChoice& choice) {
    AcquireSRWLockExclusive(&proxy_choice_lock);
    const ProxyChoice& kept = kept_proxy_choice;
    const bool found = kept.found_at != 0 && kept.settings == settings && kept.origin == origin &&
                       GetTickCount64() - kept.found_at < kProxyChoiceKeptMs;
    if (found) choice = kept;
    ReleaseSRWLockExclusive(&proxy_choice_lock);
    return found;
}

void keep_choice(const ProxyChoice& choice) {
    AcquireSRWLockExclusive(&proxy_choice_lock);
    kept_proxy_choice = choice;
    ReleaseSRWLockExclusive(&proxy_choice_lock);
}

ProxyChoice choose_proxy(HINTERNET session, const std::wstring& url, const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user) {
    ProxyChoice choice;
    if (user.fAutoDetect || user.lpszAutoConfigUrl) {
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        if (user.lpszAutoConfigUrl) {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = user.lpszAutoConfigUrl;
        }
        if (user.fAutoDetect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO info = {};
        if (winhttp.GetProxyForUrl(session, url.c_str(), &options, &info)) {
            choice.set = true;
            choice.access_type = info.dwAccessType;
            choice.proxy = text_or_empty(info.lpszProxy);
            choice.bypass = text_or_empty(info.lpszProxyBypass);
            free_global(info.lpszProxy);
            free_global(info.lpszProxyBypass);
        }
    }
    if (!choice.set && user.lpszProxy) {
        choice.set = true;
        choice.access_type = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        choice.proxy = user.lpszProxy;
        choice.bypass = text_or_empty(user.lpszProxyBypass);
    }
    return choice;
}

void use_system_proxy(HINTERNET session, HINTERNET request, const std::wstring& url, const std::wstring& origin) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user = {};
    if (!winhttp.GetIEProxyConfigForCurrentUser(&user)) return;
    const std::wstring settings = std::wstring(user.fAutoDetect ? L"1" : L"0") + L"\n" +
                                  text_or_empty(user.lpszAutoConfigUrl) + L"\n" + text_or_empty(user.lpszProxy) +
                                  L"\n" + text_or_empty(user.lpszProxyBypass);
    ProxyChoice choice;
    if (!kept_choice_for(settings, origin, choice)) {
        choice = choose_proxy(session, url, user);
        choice.settings = settings;
        choice.origin = origin;
        choice.found_at = GetTickCount64();
        keep_choice(choice);
    }
    if (choice.set) {
        WINHTTP_PROXY_INFO info = {};
        info.dwAccessType = choice.access_type;
        info.lpszProxy = choice.proxy.empty() ? nullptr : choice.proxy.data();
        info.lpszProxyBypass = choice.bypass.empty() ? nullptr : choice.bypass.data();
        winhttp.SetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info);
    }
    free_global(user.lpszAutoConfigUrl);
    free_global(user.lpszProxy);
    free_global(user.lpszProxyBypass);
}

std::string header_text(HINTERNET request, DWORD query) {
    DWORD size = 0;
    winhttp.QueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > 4096) return {};
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!winhttp.QueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                              WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    // Header values are ASCII; anything else is no charset we know.
    std::string ascii;
    for (const wchar_t c : text) ascii += c < 0x80 ? static_cast<char>(c) : '?';
    return ascii;
}

// The worker's kept WinHTTP state: one session for the program's life, so
// that WinHTTP keeps the connection to a server open from one request to the
// next, and the connection handle of the last server asked.
struct Kept {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    std::wstring host;
    INTERNET_PORT port = 0;
};

struct Job {
    HttpRequest request;
    HWND window;
    UINT message;
};

// What the window thread and the worker share, under `lock`.
SRWLOCK lock = SRWLOCK_INIT;
HANDLE worker = nullptr;  // started with the first request
HANDLE wake = nullptr;    // set when a job comes or the worker is to stop
std::deque<Job> jobs;
bool stopping = false;
// The request on the wire, for cancel_http_gets_up_to: closing its handle
// from another thread is how WinHTTP breaks off a call in progress. Whoever
// takes it out of here closes it.
HINTERNET running_request = nullptr;
std::uint64_t running_id = 0;

void close_running_up_to(std::uint64_t id) {
    AcquireSRWLockExclusive(&lock);
    HINTERNET const request = running_id <= id ? std::exchange(running_request, nullptr) : nullptr;
    ReleaseSRWLockExclusive(&lock);
    if (request) winhttp.CloseHandle(request);
}

bool open_session(Kept& kept) {
    if (kept.session) return true;
    kept.session =
        winhttp.Open(L"Velvane", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!kept.session) return false;
    // TLS 1.1 and 1.2 where the system has them (Windows 7 only with its
    // update for them); the system's defaults otherwise.
    DWORD protocols =
        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    winhttp.SetOption(kept.session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    return true;
}

void close_kept(Kept& kept) {
    if (kept.connection) winhttp.CloseHandle(kept.connection);
    if (kept.session) winhttp.CloseHandle(kept.session);
    kept = Kept{};
}

// The request's exchange with the server, once its handle is made.
void exchange(HINTERNET session, HINTERNET http, const HttpRequest& request, const std::wstring& origin,
              const std::function<bool()>& over, HttpAnswer& answer) {
    // The address asked for and nowhere else; no cookies kept between requests.
    DWORD features = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    winhttp.SetOption(http, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);
    // Each step within the bound, the wait for the answer's headers too
    // (which WinHttpSetTimeouts leaves at a minute and a half): a server that
    // takes no longer holds up the requests after it.
    const int bound = static_cast<int>(request.timeout_ms);
    winhttp.SetTimeouts(http, bound, bound, bound, bound);
    DWORD answer_bound = request.timeout_ms;
    winhttp.SetOption(http, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answer_bound, sizeof answer_bound);
    use_system_proxy(session, http, request.url, origin);
    if (over()) return;

    if (!winhttp.SendRequest(http, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) || over() ||
        !winhttp.ReceiveResponse(http, nullptr) || over())
        return;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!winhttp.QueryHeaders(http, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                              &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        status != 200)
        return;
    answer.content_type = header_text(http, WINHTTP_QUERY_CONTENT_TYPE);

    char buffer[8192];
    while (true) {
        DWORD read = 0;
        if (!winhttp.ReadData(http, buffer, sizeof buffer, &read) || over()) {
            answer.body.clear();
            return;
        }
        if (read == 0) break;
        if (answer.body.size() + read > request.max_bytes) {
            answer.body.clear();
            return;
        }
        answer.body.append(buffer, read);
    }
    answer.ok = true;
}

// The request from start to end on the worker; the answer's ok says
// whether it worked.
void run(Kept& kept, const HttpRequest& request, HttpAnswer& answer) {
    const ULONGLONG deadline = GetTickCount64() + request.timeout_ms;
    const std::function<bool()> over = [&] { return cancelled(request.id) || GetTickCount64() > deadline; };

    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    if (!load_winhttp() || !winhttp.CrackUrl(request.url.c_str(), 0, 0, &parts)) return;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    std::wstring origin = std::wstring(secure ? L"https://" : L"http://") + host + L":";
    const std::size_t port_at = origin.size();
    for (unsigned port = parts.nPort; port != 0 || origin.size() == port_at; port /= 10)
        origin.insert(port_at, 1, static_cast<wchar_t>(L'0' + port % 10));

    if (!open_session(kept) || over()) return;
    if (!kept.connection || kept.host != host || kept.port != parts.nPort) {
        if (kept.connection) winhttp.CloseHandle(kept.connection);
        kept.connection = winhttp.Connect(kept.session, host.c_str(), parts.nPort, 0);
        kept.host = kept.connection ? host : std::wstring();
        kept.port = kept.connection ? parts.nPort : 0;
    }
    if (!kept.connection || over()) return;
    HINTERNET const http = winhttp.OpenRequest(kept.connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    if (!http) return;
    AcquireSRWLockExclusive(&lock);
    running_request = http;
    running_id = request.id;
    ReleaseSRWLockExclusive(&lock);
    // A cancel that came before the handle was known here is seen by over().
    if (!over()) exchange(kept.session, http, request, origin, over, answer);
    AcquireSRWLockExclusive(&lock);
    HINTERNET const mine = std::exchange(running_request, nullptr);
    running_id = 0;
    ReleaseSRWLockExclusive(&lock);
    // Closed, a request that was read whole hands its connection back to the
    // session for the next one; one broken off was closed by its canceller.
    if (mine) winhttp.CloseHandle(mine);
}

void answer_job(Kept& kept, Job& job) {
    auto answer = std::make_unique<HttpAnswer>();
    answer->id = job.request.id;
    if (!cancelled(job.request.id)) run(kept, job.request, *answer);
    if (cancelled(job.request.id)) return;
    if (!answer->ok) {
        // One line for whoever watches the debug output; the user is not
        // told of every failed suggestion.
        // The address without its query: the typed text stays out of it.
        const std::wstring& url = job.request.url;
        const std::wstring line = L"Velvane: no suggestions from " + url.substr(0, url.find(L'?')) + L"\n";
        OutputDebugStringW(line.c_str());
    }
    if (PostMessageW(job.window, job.message, 0, reinterpret_cast<LPARAM>(answer.get()))) answer.release();
}

// The worker waits for jobs without a time limit: nothing wakes it while no
// request is asked for.
DWORD WINAPI worker_main(void*) {
    Kept kept;
    while (true) {
        WaitForSingleObject(wake, INFINITE);
        while (true) {
            AcquireSRWLockExclusive(&lock);
            if (stopping || jobs.empty()) {
                const bool stop = stopping;
                ReleaseSRWLockExclusive(&lock);
                if (!stop) break;
                close_kept(kept);
                return 0;
            }
            Job job = std::move(jobs.front());
            jobs.pop_front();
            ReleaseSRWLockExclusive(&lock);
            answer_job(kept, job);
        }
    }
}

}  // namespace

bool start_http_get(HttpRequest request, HWND window, UINT message) {
    AcquireSRWLockExclusive(&lock);
    bool started = !stopping;
    if (started && !worker) {
        wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        worker = wake ? CreateThread(nullptr, 0, &worker_main, nullptr, 0, nullptr) : nullptr;
        if (!worker && wake) {
            CloseHandle(wake);
            wake = nullptr;
        }
        started = worker != nullptr;
    }
    if (started) jobs.push_back(Job{std::move(request), window, message});
    ReleaseSRWLockExclusive(&lock);
    if (started) SetEvent(wake);
    return started;
}

std::unique_ptr<HttpAnswer> take_http_answer(LPARAM lparam) {
    return std::unique_ptr<HttpAnswer>(reinterpret_cast<HttpAnswer*>(lparam));
}

void cancel_http_gets_up_to(std::uint64_t id) {
    std::uint64_t current = cancelled_up_to.load();
    while (current < id && !cancelled_up_to.compare_exchange_weak(current, id)) {
    }
    AcquireSRWLockExclusive(&lock);
    while (!jobs.empty() && jobs.front().request.id <= id) jobs.pop_front();
    ReleaseSRWLockExclusive(&lock);
    close_running_up_to(id);
}

void stop_http_gets(DWORD bound_ms) {
    AcquireSRWLockExclusive(&lock);
    stopping = true;
    jobs.clear();
    HANDLE const thread = std::exchange(worker, nullptr);
    HANDLE const event = std::exchange(wake, nullptr);
    ReleaseSRWLockExclusive(&lock);
    cancelled_up_to.store(UINT64_MAX);
    if (!thread) return;
    // A request on the wire is broken off first: a server that hangs must not
    // hold the program's end.
    close_running_up_to(UINT64_MAX);
    SetEvent(event);
    // Past the bound the worker is left to the process's end.
    if (WaitForSingleObject(thread, bound_ms) == WAIT_OBJECT_0) CloseHandle(event);
    CloseHandle(thread);
}

}  // namespace velvane
