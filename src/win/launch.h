// The launch operation: hands a finished URL to the user's default browser.
#pragma once

#include <string_view>

namespace velvane {

// Queues the URL and returns at once: the shell's work (which may start a
// browser, slowly) runs on a worker thread, in the order the URLs came, so the
// window never waits for it. The result is not looked at.
void launch_url(std::string_view utf8_url);

// Waits a little for URLs still queued, at exit, so that a search made just
// before closing is not lost.
void finish_launches();

}  // namespace velvane
