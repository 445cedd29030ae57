// The notification-area icon: the main window's icon with the tip "RimuVelvane".
#pragma once

#include <windows.h>

#include <string>

namespace velvane {

// What a mouse action on the icon means to the window.
enum class TrayAction { None, ToggleWindow = 2, PopUpMenu = 3 };

class TrayIcon {
public:
    static constexpr UINT kCallbackMessage = WM_APP + 1;

    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon() { remove(); }

    // Adds the icon; false while the shell's notification area is not there yet.
    [[nodiscard]] bool add(HWND owner, HICON icon);
    // After Explorer restarts ("TaskbarCreated") the icon has to be added anew.
    [[nodiscard]] bool re_add();
    void remove();
    bool shown() const { return shown_; }

    // A balloon with a message, once.
    void notify(const std::wstring& title, const std::wstring& text);

    // The tray action code of a callback message's lParam.
    static TrayAction action_of(LPARAM lparam);

private:
    HWND owner_ = nullptr;
    HICON icon_ = nullptr;
    bool shown_ = false;
};

}  // namespace velvane
