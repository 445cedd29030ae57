#include "win/http_get_win.h"

#include <winhttp.h>

#include <atomic>
#include <utility>

#include "win/handles.h"

namespace velvane {
namespace {

std::atomic<std::uint64_t> cancelled_up_to{0};

bool cancelled(std::uint64_t id) { return id <= cancelled_up_to.load(std::memory_order_relaxed); }

struct InternetDeleter {
    void operator()(HINTERNET h) const { WinHttpCloseHandle(h); }
};
using UniqueInternet = Unique<HINTERNET, InternetDeleter>;

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
        if (WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) {
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
    if (!WinHttpGetIEProxyConfigForCurrentUser(&user)) return;
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
        WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info);
    }
    free_global(user.lpszAutoConfigUrl);
    free_global(user.lpszProxy);
    free_global(user.lpszProxyBypass);
}

std::string header_text(HINTERNET request, DWORD query) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > 4096) return {};
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size, WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    // Header values are ASCII; anything else is no charset we know.
    std::string ascii;
    for (const wchar_t c : text) ascii += c < 0x80 ? static_cast<char>(c) : '?';
    return ascii;
}

// The request from start to end on this thread; the answer's ok says
// whether it worked.
void run(const HttpRequest& request, HttpAnswer& answer) {
    const ULONGLONG deadline = GetTickCount64() + request.timeout_ms;
    const auto over = [&] { return cancelled(request.id) || GetTickCount64() > deadline; };

    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(request.url.c_str(), 0, 0, &parts)) return;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    const UniqueInternet session(
        WinHttpOpen(L"Velvane", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return;
    // TLS 1.1 and 1.2 where the system has them (Windows 7 only with its
    // update for them); the system's defaults otherwise.
    DWORD protocols =
        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    const int bound = static_cast<int>(request.timeout_ms);
    WinHttpSetTimeouts(session.get(), bound, bound, bound, bound);

    const UniqueInternet connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection || over()) return;
    const UniqueInternet http(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                 WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
    if (!http) return;
    // The address asked for and nowhere else; no cookies kept between requests.
    DWORD features = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    WinHttpSetOption(http.get(), WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);
    std::wstring origin = std::wstring(secure ? L"https://" : L"http://") + host + L":";
    const std::size_t port_at = origin.size();
    for (unsigned port = parts.nPort; port != 0 || origin.size() == port_at; port /= 10)
        origin.insert(port_at, 1, static_cast<wchar_t>(L'0' + port % 10));
    use_system_proxy(session.get(), http.get(), request.url, origin);
    if (over()) return;

    if (!WinHttpSendRequest(http.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) || over() ||
        !WinHttpReceiveResponse(http.get(), nullptr) || over())
        return;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(http.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        status != 200)
        return;
    answer.content_type = header_text(http.get(), WINHTTP_QUERY_CONTENT_TYPE);

    char buffer[8192];
    while (true) {
        DWORD read = 0;
        if (!WinHttpReadData(http.get(), buffer, sizeof buffer, &read) || over()) {
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

struct Job {
    HttpRequest request;
    HWND window;
    UINT message;
};

DWORD WINAPI job_main(void* data) {
    const std::unique_ptr<Job> job(static_cast<Job*>(data));
    auto answer = std::make_unique<HttpAnswer>();
    answer->id = job->request.id;
    run(job->request, *answer);
    if (!answer->ok) {
        // One line for whoever watches the debug output; the user is not
        // told of every failed suggestion.
        // The address without its query: the typed text stays out of it.
        const std::wstring& url = job->request.url;
        const std::wstring line = L"Velvane: no suggestions from " + url.substr(0, url.find(L'?')) + L"\n";
        OutputDebugStringW(line.c_str());
    }
    if (cancelled(job->request.id)) return 0;
    if (PostMessageW(job->window, job->message, 0, reinterpret_cast<LPARAM>(answer.get()))) answer.release();
    return 0;
}

}  // namespace

bool start_http_get(HttpRequest request, HWND window, UINT message) {
    auto job = std::make_unique<Job>(Job{std::move(request), window, message});
    const UniqueHandle thread(CreateThread(nullptr, 0, &job_main, job.get(), 0, nullptr));
    if (!thread) return false;
    job.release();  // the thread's now
    return true;
}

std::unique_ptr<HttpAnswer> take_http_answer(LPARAM lparam) {
    return std::unique_ptr<HttpAnswer>(reinterpret_cast<HttpAnswer*>(lparam));
}

void cancel_http_gets_up_to(std::uint64_t id) {
    std::uint64_t current = cancelled_up_to.load();
    while (current < id && !cancelled_up_to.compare_exchange_weak(current, id)) {
    }
}

}  // namespace velvane
