// The window procedure for a window object, written once (the window-side
// twin of dialog_procedure in modal_dialog_win.h): CreateWindowEx's last
// argument is the object. WM_NCCREATE binds it to its window and calls
// `bind(HWND)`; every message from then on goes to `handle(msg, wparam,
// lparam)`, which answers as a window procedure does (DefWindowProc for what
// it leaves). WM_NCDESTROY, the last message, unbinds the object first and
// then goes to `handle` as well: the object may outlive its window.
#pragma once

#include <windows.h>

namespace velvane {

template <typename Window>
LRESULT CALLBACK window_procedure(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->bind(hwnd);
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wparam, lparam);
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return self->handle(msg, wparam, lparam);
}

}  // namespace velvane
