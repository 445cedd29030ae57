// Modal windows of the program (the hotkey settings dialog, the about window)
// are dialogs without a resource: an empty template is built here, and the
// dialog object creates its controls and gives itself its size in pixels
// when the dialog manager starts it. The dialog manager supplies the modal
// loop, the disabled owner, Esc and Alt+F4, and Tab between the controls.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace velvane {

// Shows a dialog modally with this procedure and returns the value passed to
// EndDialog (or -1 when it could not be created). `param` arrives as
// WM_INITDIALOG's lParam.
inline INT_PTR show_modal_dialog(HINSTANCE instance, HWND owner, DWORD style, DWORD ex_style, std::wstring_view caption,
                                 DLGPROC proc, LPARAM param) {
    // DLGTEMPLATE, then the menu (none), the class (the standard dialog
    // class) and the caption, all in 16-bit units; no controls. A vector of
    // WORDs starts at an address aligned for the DWORDs of the header.
    static_assert(sizeof(DLGTEMPLATE) % sizeof(WORD) == 0);
    std::vector<WORD> buffer(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(buffer.data());
    header->style = style;
    header->dwExtendedStyle = ex_style;
    buffer.push_back(0);  // no menu
    buffer.push_back(0);  // the dialog class
    for (const wchar_t c : caption) buffer.push_back(static_cast<WORD>(c));
    buffer.push_back(0);
    return DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(buffer.data()), owner, proc, param);
}

// The dialog procedure for a dialog object: WM_INITDIALOG binds the object
// to its window and calls `on_init(HWND)`, which sets the focus itself; every
// later message goes to `handle(msg, wparam, lparam)`, which answers as a
// dialog procedure does (TRUE when handled).
template <typename Dialog>
INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) noexcept {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        reinterpret_cast<Dialog*>(lparam)->on_init(dialog);
        return FALSE;  // the focus is set
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->handle(msg, wparam, lparam) : FALSE;
}

// Shows the dialog object modally (see dialog_procedure) and returns the
// value passed to EndDialog, or -1 when it could not be created.
template <typename Dialog>
INT_PTR show_modal_dialog(HINSTANCE instance, HWND owner, DWORD style, DWORD ex_style, std::wstring_view caption,
                          Dialog& dialog) {
    return show_modal_dialog(instance, owner, style, ex_style, caption, dialog_procedure<Dialog>,
                             reinterpret_cast<LPARAM>(&dialog));
}

// What a dialog procedure answers for messages whose result goes through
// DWLP_MSGRESULT.
inline INT_PTR dialog_result(HWND dialog, LRESULT result) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace velvane
