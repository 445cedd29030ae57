#include "app/tray_icon.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <utility>

namespace velvane {
namespace {

constexpr UINT kIconId = 1;
constexpr wchar_t kTip[] = L"RimuVelvane";
constexpr wchar_t kBalloonTitle[] = L"Velvane";
// Right after logon the shell's notification area may take a while to come up.
constexpr int kAttempts = 20;
constexpr UINT kRetryPeriodMs = 500;

NOTIFYICONDATAW base_data(HWND owner) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = owner;
    data.uID = kIconId;
    return data;
}

template <std::size_t N>
void copy_text(wchar_t (&target)[N], std::wstring_view text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::wmemcpy(target, text.data(), n);
    target[n] = L'\0';
}

}  // namespace

void TrayIcon::show(HWND owner, HICON icon) {
    owner_ = owner;
    icon_ = icon;
    wanted_ = true;
    if (!taskbar_created_) taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
    attempts_ = 0;
    try_add();
}

void TrayIcon::try_add() {
    KillTimer(owner_, kRetryTimer);
    if (!wanted_ || !owner_) return;
    NOTIFYICONDATAW data = base_data(owner_);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_;
    copy_text(data.szTip, kTip);
    Shell_NotifyIconW(NIM_DELETE, &data);  // a stale icon of ours would make the add fail
    shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (!shown_) {
        if (++attempts_ < kAttempts) SetTimer(owner_, kRetryTimer, kRetryPeriodMs, nullptr);
        return;
    }
    // Version 4: the callbacks carry the event in lParam's low word and the
    // anchor point in wParam.
    data.uVersion = NOTIFYICON_VERSION_4;
    Shell_NotifyIconW(NIM_SETVERSION, &data);
    if (!waiting_.empty()) notify(std::exchange(waiting_, {}));
}

void TrayIcon::remove() {
    wanted_ = false;
    if (owner_) KillTimer(owner_, kRetryTimer);
    if (!shown_) return;
    NOTIFYICONDATAW data = base_data(owner_);
    Shell_NotifyIconW(NIM_DELETE, &data);
    shown_ = false;
}

void TrayIcon::notify(const std::wstring& text) {
    if (text.empty()) return;
    if (!shown_) {
        if (!waiting_.empty()) waiting_ += L"\n";
        waiting_ += text;
        return;
    }
    NOTIFYICONDATAW data = base_data(owner_);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    copy_text(data.szInfoTitle, kBalloonTitle);
    copy_text(data.szInfo, text);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

bool TrayIcon::on_owner_message(UINT msg, WPARAM wparam) {
    if (msg == WM_TIMER && wparam == kRetryTimer) {
        try_add();
        return true;
    }
    if (msg == taskbar_created_ && taskbar_created_ != 0) {
        // Explorer restarted: its notification area has forgotten the icon.
        // Until the new one takes it, the icon is offered again and again.
        if (wanted_) {
            attempts_ = 0;
            try_add();
        }
        return true;
    }
    return false;
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

POINT TrayIcon::anchor_of(WPARAM wparam) { return {GET_X_LPARAM(wparam), GET_Y_LPARAM(wparam)}; }

}  // namespace velvane
