// The launch operation: hands a finished URL to the user's default browser.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velvane {

// Where a page's URLs go and whom the launch tells what went wrong. A
// browser of a page's own (engine_page.h, PageBrowser) is started by its full
// path with the URL as one argument, as the default browser is for a long
// URL, never through the shell.
struct LaunchBrowser {
    // As written: a full path (environment variables expanded) or a name in
    // PATH. None: the default browser.
    std::wstring program;
    std::wstring arguments;  // {url} marks the URL's place; none: the URL goes last
    // Called on the launch's thread when the program is not there or does
    // not start; nothing else is opened in its place.
    std::function<void()> failed;
    // Called on the launch's thread when a URL too long for the shell found
    // no default browser's program to take it whole: the shell got it cut.
    std::function<void()> shortened;
};

// Queues the URL and returns at once: the shell's work (which may start a
// browser, slowly) runs on a worker thread, in the order the URLs came, so the
// window never waits for it. The result is not looked at, but for what
// `browser` asks to hear.
void launch_url(std::string_view utf8_url, std::shared_ptr<const LaunchBrowser> browser = nullptr);

// Waits a little for URLs still queued, at exit, so that a search made just
// before closing is not lost; behind a launch that hangs, until the launch
// is given up on and a little longer.
void finish_launches();

}  // namespace velvane
