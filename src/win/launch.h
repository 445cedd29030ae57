// The launch operation: hands a finished URL to the user's default browser.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velvane {

// A browser of a page's own instead of the default one (engine_page.h,
// PageBrowser). It is started by its full path with the URL as one argument,
// as the default browser is for a long URL, never through the shell.
struct LaunchBrowser {
    std::wstring program;    // as written: a full path (environment variables expanded) or a name in PATH
    std::wstring arguments;  // {url} marks the URL's place; none: the URL goes last
    // Called on the launch's thread when the program is not there or does
    // not start; nothing else is opened in its place.
    std::function<void()> failed;
};

// Queues the URL and returns at once: the shell's work (which may start a
// browser, slowly) runs on a worker thread, in the order the URLs came, so the
// window never waits for it. The result is not looked at, but for `browser`'s
// failure.
void launch_url(std::string_view utf8_url, std::shared_ptr<const LaunchBrowser> browser = nullptr);

// Waits a little for URLs still queued, at exit, so that a search made just
// before closing is not lost.
void finish_launches();

}  // namespace velvane
