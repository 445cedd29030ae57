#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "text/encoder.h"
#include "win/handles.h"
#include "win/launch.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

// Short URLs go through the shell's open action, the ordinary way. Some shells
// (Wine's among them) keep the browser's command line in a fixed buffer of
// about a thousand characters and fail, or worse, on longer ones; those URLs
// are handed to the default browser's command directly.
constexpr std::size_t kShellSafeLength = 900;
// What a command line may hold, less room for the browser's own part.
constexpr std::size_t kCommandLineLimit = 32767;

// ASSOCF_IS_PROTOCOL (Windows 8 and later): look "http" up as a protocol,
// which follows the user's choice of default browser.
constexpr ASSOCF kIsProtocol = static_cast<ASSOCF>(0x00001000);

std::wstring query_command(ASSOCF flags) {
    DWORD length = 0;
    if (AssocQueryStringW(flags, ASSOCSTR_COMMAND, L"http", L"open", nullptr, &length) != S_FALSE || length == 0)
        return {};
    std::wstring command(length, L'\0');
    if (FAILED(AssocQueryStringW(flags, ASSOCSTR_COMMAND, L"http", L"open", command.data(), &length))) return {};
    command.resize(wcslen(command.c_str()));
    return command;
}

// The default browser's command for http URLs, e.g. "C:\b\browser.exe" "%1".
std::wstring browser_command() {
    std::wstring command = query_command(static_cast<ASSOCF>(kIsProtocol | ASSOCF_NOTRUNCATE));
    // Windows 7 knows no protocol flag; there "http" is looked up as a class.
    if (command.empty()) command = query_command(ASSOCF_NOTRUNCATE);
    return command;
}

// Starts the browser's command with the URL in place of %1 (or %L); false
// when there is no such command.
bool start_browser(std::wstring_view url) {
    std::wstring command = browser_command();
    std::size_t at = command.find(L"%1");
    if (at == std::wstring::npos) at = command.find(L"%L");
    if (at == std::wstring::npos) return false;
    const std::size_t room = kCommandLineLimit - 1 > command.size() ? kCommandLineLimit - 1 - command.size() : 0;
    const std::u16string_view whole(reinterpret_cast<const char16_t*>(url.data()), url.size());
    const std::u16string_view fitting = cut_url(whole, room);
    command.replace(at, 2, reinterpret_cast<const wchar_t*>(fitting.data()), fitting.size());

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    const UniqueHandle thread(process.hThread);
    const UniqueHandle started(process.hProcess);
    return true;
}

void open_in_browser(const std::wstring& url) {
    if (url.size() <= kShellSafeLength) {
        ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    if (start_browser(url)) return;
    // No command to start: the shell gets as much of the URL as it can take.
    const std::u16string_view whole(reinterpret_cast<const char16_t*>(url.data()), url.size());
    const std::u16string_view fitting = cut_url(whole, kShellSafeLength);
    const std::wstring cut(reinterpret_cast<const wchar_t*>(fitting.data()), fitting.size());
    ShellExecuteW(nullptr, L"open", cut.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

class Launcher {
public:
    void push(std::wstring url) {
        std::unique_lock lock(mutex_);
        queue_.push_back(std::move(url));
        if (!started_) {
            started_ = true;
            std::thread([this] { run(); }).detach();
        }
        wake_.notify_one();
    }

    void finish(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        drained_.wait_for(lock, limit, [this] { return queue_.empty() && !busy_; });
    }

private:
    void run() {
        // The shell's open action may use COM; it wants an apartment.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        for (;;) {
            std::wstring url;
            {
                std::unique_lock lock(mutex_);
                busy_ = false;
                if (queue_.empty()) drained_.notify_all();
                wake_.wait(lock, [this] { return !queue_.empty(); });
                url = std::move(queue_.front());
                queue_.pop_front();
                busy_ = true;
            }
            open_in_browser(url);
        }
        if (SUCCEEDED(com)) CoUninitialize();
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    std::deque<std::wstring> queue_;
    bool started_ = false;
    bool busy_ = false;
};

// Lives until the process ends; the worker thread is never joined.
Launcher& launcher() {
    static Launcher* instance = new Launcher();
    return *instance;
}

}  // namespace

void launch_url(std::string_view utf8_url) { launcher().push(to_wide(launch_safe_url(utf8_url))); }

void finish_launches() { launcher().finish(std::chrono::seconds(5)); }

}  // namespace velvane
