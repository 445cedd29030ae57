// The notification-area icon: the main window's icon with the tip
// "RimuVelvane". It looks after itself: while the notification area is not
// there yet (right after logon) it offers itself again, it comes back after
// Explorer restarts ("TaskbarCreated"), and balloons asked for before it is
// shown wait for it. The main window only says what to show.
#pragma once

#include <windows.h>

#include <string>

namespace velvane {

// What a mouse action on the icon means to the window.
enum class TrayAction { None, ToggleWindow = 2, PopUpMenu = 3 };

class TrayIcon {
public:
    static constexpr UINT kCallbackMessage = WM_APP + 1;
    // The owner's timer the icon uses to offer itself again.
    static constexpr UINT_PTR kRetryTimer = 1;

    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon() { remove(); }

    // Shows `icon` for `owner` in the notification area, now or as soon as
    // the area takes it.
    void show(HWND owner, HICON icon);
    // Takes the icon away for good (no return after an Explorer restart).
    void remove();
    bool shown() const { return shown_; }

    // A balloon with `text`, now or once the icon is shown; texts that wait
    // for the icon come in one balloon, a line each.
    void notify(const std::wstring& text);

    // The owner hands every message to the icon first: true when it was the
    // icon's own (its retry timer, "TaskbarCreated"), which the owner then
    // leaves alone.
    [[nodiscard]] bool on_owner_message(UINT msg, WPARAM wparam);

    // The tray action of a callback message's lParam.
    static TrayAction action_of(LPARAM lparam);
    // Where the menu of a callback message goes, on the screen: the anchor
    // point the shell puts in its wParam (next to the icon, also when the
    // menu was asked for from the keyboard).
    static POINT anchor_of(WPARAM wparam);

private:
    void try_add();

    HWND owner_ = nullptr;
    HICON icon_ = nullptr;
    bool wanted_ = false;  // between show() and remove()
    bool shown_ = false;
    int attempts_ = 0;
    UINT taskbar_created_ = 0;
    std::wstring waiting_;  // balloon text waiting for the icon
};

}  // namespace velvane
