#include "app/app_path.h"

#include <algorithm>

namespace velvane {
namespace {

wchar_t lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring_view unquoted(std::wstring_view path) {
    while (!path.empty() && path.front() == L' ') path.remove_prefix(1);
    while (!path.empty() && path.back() == L' ') path.remove_suffix(1);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    return path;
}

bool same_path(std::wstring_view a, std::wstring_view b) {
    a = unquoted(a);
    b = unquoted(b);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return lower(x == L'/' ? L'\\' : x) == lower(y == L'/' ? L'\\' : y);
           });
}

}  // namespace

bool app_path_enabled(const AppPathStore& store, std::wstring_view executable_path) {
    const std::optional<std::wstring> registered = store.read();
    return registered && same_path(*registered, executable_path);
}

bool set_app_path(AppPathStore& store, bool on, std::wstring_view executable_path) {
    if (on) {
        // What counts is what the key says afterwards, read back below.
        static_cast<void>(store.write(std::wstring(executable_path)));
    } else if (app_path_enabled(store, executable_path)) {
        store.remove();
    }
    return app_path_enabled(store, executable_path);
}

void follow_moved_executable(AppPathStore& store, std::wstring_view executable_path,
                             const std::function<bool(const std::wstring&)>& file_exists) {
    const std::optional<std::wstring> registered = store.read();
    if (!registered || same_path(*registered, executable_path)) return;
    const std::wstring old_path(unquoted(*registered));
    if (!old_path.empty() && file_exists(old_path)) return;  // another copy's
    // A key that cannot be written keeps naming the old place; the menu's
    // check mark reads the key, so it shows the truth either way.
    static_cast<void>(store.write(std::wstring(executable_path)));
}

}  // namespace velvane
