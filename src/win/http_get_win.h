// A small HTTP GET from the network (WinHTTP), for the search suggestions:
// the requests run one after another on a worker thread, started with the
// first request and kept for the program's life, which posts each answer to
// a window, so that typing, the hotkey and searches never wait for a server.
// The worker keeps one WinHTTP session, so a connection to a server is kept
// open from one request to the next where the server allows it: a pause in
// typing costs no new connection (nor a TLS handshake).
//
// Each request goes to the address asked for and nowhere else: WinHTTP's
// redirects are off (a redirect is a failed request), no cookies are kept,
// and the system's proxy settings are used (the user's Internet Options:
// automatic detection, a configuration script or a named proxy). https is
// checked against the system's certificates. A request gives up after its
// time bound and beyond its byte bound.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velvane {

struct HttpAnswer {
    std::uint64_t id = 0;  // the id the request was started with
    bool ok = false;       // a 200 answer, read whole within the bounds
    std::string content_type;
    std::string body;  // empty unless ok
};

struct HttpRequest {
    std::wstring url;  // http:// or https://
    std::uint64_t id = 0;
    DWORD timeout_ms = 3000;
    std::size_t max_bytes = 64 * 1024;
};

// Queues the request for the worker. Its answer arrives at `window` as
// `message`, with lParam an answer to take with take_http_answer, whatever
// happened (ok is false on any failure) unless the request was cancelled.
// False when the worker could not be started or has been stopped: no answer
// comes.
[[nodiscard]] bool start_http_get(HttpRequest request, HWND window, UINT message);

// The answer carried by a message of start_http_get; owned by the caller.
std::unique_ptr<HttpAnswer> take_http_answer(LPARAM lparam);

// Gives up every request started with an id up to `id`, without waiting:
// those queued are dropped, the one on the wire is broken off (its handle
// closed) and none of them posts an answer.
void cancel_http_gets_up_to(std::uint64_t id);

// At the program's end: gives up every request and ends the worker, waiting
// for it at most `bound_ms`. No request starts after it.
void stop_http_gets(DWORD bound_ms);

}  // namespace velvane
