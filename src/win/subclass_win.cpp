#include "win/subclass_win.h"

#include <vector>

namespace velvane {
namespace {

struct Subclass {
    HWND window;
    WNDPROC before;
    SUBCLASSPROC procedure;  // null once taken away while another stood in front of it
    DWORD_PTR data;
};

// A handful of windows (a page's box, list and group box, the tab control,
// the list under the box), all on the window's thread.
std::vector<Subclass> subclasses;

Subclass* find(HWND window) {
    for (Subclass& entry : subclasses)
        if (entry.window == window) return &entry;
    return nullptr;
}

void forget(HWND window) {
    for (auto it = subclasses.begin(); it != subclasses.end(); ++it)
        if (it->window == window) {
            subclasses.erase(it);
            return;
        }
}

LRESULT CALLBACK in_front(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
    const Subclass* entry = find(window);
    if (!entry) return DefWindowProcW(window, msg, wparam, lparam);
    // Copied: the procedure may take the subclass away, which moves the table.
    const WNDPROC before = entry->before;
    const SUBCLASSPROC procedure = entry->procedure;
    const DWORD_PTR data = entry->data;
    const LRESULT result = procedure ? procedure(window, msg, wparam, lparam, 0, data)
                                     : CallWindowProcW(before, window, msg, wparam, lparam);
    // The window's last message: nothing of it may stay behind.
    if (msg == WM_NCDESTROY) forget(window);
    return result;
}

}  // namespace

bool subclass(HWND window, SUBCLASSPROC procedure, DWORD_PTR data) {
    if (!window || find(window)) return false;
    const auto before = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (!before) return false;
    subclasses.push_back({window, before, procedure, data});
    if (!SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&in_front))) {
        subclasses.pop_back();
        return false;
    }
    return true;
}

void unsubclass(HWND window, SUBCLASSPROC procedure) {
    Subclass* entry = find(window);
    if (!entry || entry->procedure != procedure) return;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == &in_front) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry->before));
        forget(window);
    } else {
        entry->procedure = nullptr;
    }
}

LRESULT call_before_subclass(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (const Subclass* entry = find(window)) return CallWindowProcW(entry->before, window, msg, wparam, lparam);
    return CallWindowProcW(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)), window, msg, wparam,
                           lparam);
}

}  // namespace velvane
