#include "hotkey/settings_dialog_win.h"

#include <commctrl.h>

#include <array>
#include <utility>

#include "hotkey/hotkey_keys.h"
#include "hotkey/settings_dialog_ids.h"
#include "hotkey/settings_store_win.h"
#include "win/control_layout_win.h"
#include "win/dpi_win.h"
#include "win/handles.h"
#include "win/modal_dialog_win.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

namespace cid = settings_dialog_ids;
static_assert(cid::kStoreButton == IDOK);

constexpr wchar_t kCaption[] = L"快捷键设置";

// The outer frame at 96 DPI.
constexpr int kWidth = 150;
constexpr int kHeight = 99;
constexpr FontChoice kButtonFont = simsun(12);
// Keys the dropped-down list shows before it scrolls.
constexpr int kVisibleKeys = 12;

// The lists and the label use the window's default font (the system's
// message font), the buttons 宋体.
enum class Kind { List, Label, Button };

// A control and its place in the client area at 96 DPI. A closed list is as
// high as its font needs, about its height here.
struct DialogControl {
    int id;
    Kind kind;
    const wchar_t* text;
    DWORD style;
    int left, top, width, height;
};

constexpr DWORD kListStyle = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP;

constexpr std::array<DialogControl, 5> kControls{{
    {cid::kModifierList, Kind::List, L"", kListStyle, 8, 8, 56, 20},
    {cid::kPlusLabel, Kind::Label, L"+", SS_CENTER | SS_CENTERIMAGE, 64, 8, 16, 20},
    {cid::kKeyList, Kind::List, L"", kListStyle, 80, 8, 56, 20},
    {cid::kStoreButton, Kind::Button, L"确定", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 16, 40, 48, 24},
    {cid::kResetButton, Kind::Button, L"复原", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 80, 40, 48, 24},
}};

ControlRecipe recipe_of(const DialogControl& entry) {
    const wchar_t* window_class = entry.kind == Kind::List    ? WC_COMBOBOXW
                                  : entry.kind == Kind::Label ? WC_STATICW
                                                              : WC_BUTTONW;
    return {window_class,
            entry.text,
            WS_VISIBLE | entry.style,
            0,
            entry.id,
            entry.kind == Kind::Button ? kButtonFont : kMessageFont};
}

class SettingsDialog {
public:
    explicit SettingsDialog(const std::wstring& settings_path) : settings_path_(settings_path) {}

    void on_init(HWND dialog);
    INT_PTR handle(UINT msg, WPARAM wparam, LPARAM lparam);

private:
    void on_store();
    void on_reset();
    // Places the window and its controls and makes the fonts for this DPI;
    // `frame` is the window's new rectangle, or null to centre it on its screen.
    void lay_out(UINT dpi, const RECT* frame);
    HWND control(int id) const { return GetDlgItem(dialog_, id); }

    std::wstring settings_path_;
    HWND dialog_ = nullptr;
    ControlLayout layout_;
};

INT_PTR SettingsDialog::handle(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wparam) != BN_CLICKED) break;
        switch (LOWORD(wparam)) {
        case cid::kStoreButton:
            on_store();
            return TRUE;
        case cid::kResetButton:
            on_reset();
            return TRUE;
        case IDCANCEL:  // Esc and the close box store nothing
            EndDialog(dialog_, IDCANCEL);
            return TRUE;
        default:
            break;
        }
        break;
    case WM_DPICHANGED:
        lay_out(LOWORD(wparam), reinterpret_cast<const RECT*>(lparam));
        return dialog_result(dialog_, 0);
    default:
        break;
    }
    return FALSE;
}

void SettingsDialog::on_init(HWND dialog) {
    dialog_ = dialog;
    layout_ = ControlLayout(dpi_for_window(dialog));
    for (const DialogControl& entry : kControls)
        layout_.make(dialog, recipe_of(entry), {entry.left, entry.top, entry.width, entry.height});
    // The dialog always opens on Alt + W, whatever Setup.ini holds.
    for (const ModifierChoice& choice : kModifierChoices) {
        SendMessageW(control(cid::kModifierList), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(to_wide(choice.name).c_str()));
    }
    for (const KeyChoice& choice : kKeyChoices) {
        SendMessageW(control(cid::kKeyList), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(choice.name).c_str()));
    }
    SendMessageW(control(cid::kModifierList), CB_SETCURSEL, kModifierChoiceAtOpening, 0);
    SendMessageW(control(cid::kKeyList), CB_SETCURSEL, kKeyChoiceAtOpening, 0);

    lay_out(layout_.dpi(), nullptr);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(cid::kModifierList)), TRUE);
    // Opened from the tray while the main window is hidden, the dialog must
    // still come to the front.
    SetForegroundWindow(dialog);
}

void SettingsDialog::lay_out(UINT dpi, const RECT* frame) {
    if (dpi != layout_.dpi()) layout_.set_dpi(dpi);
    auto px = [this](int value) { return layout_.px(value); };

    if (frame) {
        move_to_suggested_rect(dialog_, *frame);
    } else {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(dialog_, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& work = monitor.rcWork;
        SetWindowPos(dialog_, nullptr, (work.left + work.right - px(kWidth)) / 2,
                     (work.top + work.bottom - px(kHeight)) / 2, px(kWidth), px(kHeight),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    for (const DialogControl& entry : kControls) {
        if (entry.kind != Kind::List) continue;
        // The window's height includes the dropped-down list; the closed box
        // takes the height its font needs. Without a smaller minimum the list
        // shows 30 entries and, that high, opens upwards over the box.
        HWND list = control(entry.id);
        const auto item = static_cast<int>(SendMessageW(list, CB_GETITEMHEIGHT, 0, 0));
        const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        const int shown = count < kVisibleKeys ? count : kVisibleKeys;
        SendMessageW(list, CB_SETMINVISIBLE, static_cast<WPARAM>(shown), 0);
        SetWindowPos(list, nullptr, 0, 0, px(entry.width),
                     px(entry.height) + shown * (item > 0 ? item : px(16)) + px(2),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(dialog_, nullptr, TRUE);
}

void SettingsDialog::on_store() {
    const auto modifier = static_cast<int>(SendMessageW(control(cid::kModifierList), CB_GETCURSEL, 0, 0));
    const auto key = static_cast<int>(SendMessageW(control(cid::kKeyList), CB_GETCURSEL, 0, 0));
    // The hotkey in force stays in force: the new one counts from the next start.
    if (write_hotkey_settings(settings_path_, modifier, key)) {
        MessageBoxW(dialog_, L"快捷键设置成功，请重新启动本程序！", L"设置成功！", MB_OK);
    } else {
        MessageBoxW(dialog_, L"快捷键设置保存失败，请检查程序目录是否可写！", L"设置失败！", MB_OK | MB_ICONWARNING);
    }
    EndDialog(dialog_, IDOK);
}

void SettingsDialog::on_reset() {
    if (reset_hotkey_settings(settings_path_)) {
        MessageBoxW(dialog_, L"快捷键恢复为 Alt+W", L"设置成功！", MB_OK);
    } else {
        MessageBoxW(dialog_, L"快捷键恢复失败，请检查程序目录是否可写！", L"设置失败！", MB_OK | MB_ICONWARNING);
    }
    EndDialog(dialog_, cid::kResetButton);
}

}  // namespace

void show_hotkey_settings_dialog(HINSTANCE instance, HWND owner, const std::wstring& settings_path) {
    SettingsDialog dialog(settings_path);
    // A fixed frame with a caption and a close box; the modal frame keeps the
    // caption free of an icon.
    show_modal_dialog(instance, owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND, 0,
                      kCaption, dialog);
}

}  // namespace velvane
