#include "app/tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>

namespace velvane {
namespace {

constexpr UINT kIconId = 1;
constexpr wchar_t kTip[] = L"RimuVelvane";

NOTIFYICONDATAW base_data(HWND owner) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = owner;
    data.uID = kIconId;
    return data;
}

template <std::size_t N>
void copy_text(wchar_t (&target)[N], const std::wstring& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::wmemcpy(target, text.c_str(), n);
    target[n] = L'\0';
}

}  // namespace

bool TrayIcon::add(HWND owner, HICON icon) {
    owner_ = owner;
    icon_ = icon;
    return re_add();
}

bool TrayIcon::re_add() {
    if (!owner_) return false;
    NOTIFYICONDATAW data = base_data(owner_);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_;
    copy_text(data.szTip, kTip);
    Shell_NotifyIconW(NIM_DELETE, &data);  // a stale icon of ours would make the add fail
    shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (shown_) {
        data.uVersion = NOTIFYICON_VERSION_4;
        Shell_NotifyIconW(NIM_SETVERSION, &data);
    }
    return shown_;
}

void TrayIcon::remove() {
    if (!shown_) return;
    NOTIFYICONDATAW data = base_data(owner_);
    Shell_NotifyIconW(NIM_DELETE, &data);
    shown_ = false;
}

void TrayIcon::notify(const std::wstring& title, const std::wstring& text) {
    if (!shown_) return;
    NOTIFYICONDATAW data = base_data(owner_);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    copy_text(data.szInfoTitle, title);
    copy_text(data.szInfo, text);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

TrayAction TrayIcon::action_of(LPARAM lparam) {
    // With NOTIFYICON_VERSION_4 the event is the low word of lParam.
    switch (LOWORD(lparam)) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
        return TrayAction::ToggleWindow;
    case WM_CONTEXTMENU:
        return TrayAction::PopUpMenu;
    default:
        return TrayAction::None;
    }
}

}  // namespace velvane
