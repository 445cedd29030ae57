#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "app/win_util.h"
#include "search/encoder.h"
#include "search/launch.h"

namespace velvane {
namespace {

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
            ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
