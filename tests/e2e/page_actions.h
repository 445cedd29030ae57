// What a person does on the engine pages of the main window: click a tab, a
// radio, an item of a drop-down list, and type a keyword. Shared by the page
// tests; each action waits, with a bound, until the window shows its effect.
#pragma once

#include <string>
#include <string_view>

#include "harness.h"  // <windows.h> first

#include <commctrl.h>

namespace e2e::pages {

using velvane::ids::edit;
using velvane::ids::extra_button;
using velvane::ids::group_box;
using velvane::ids::language;
using velvane::ids::list;
using velvane::ids::radio;

inline LRESULT send_message(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result))
        ADD_FAILURE() << "window " << window << " did not answer message " << message;
    return static_cast<LRESULT>(result);
}

// A block of memory in the program's process. The tab control's messages
// answer through a pointer that Wine, like Windows, passes to the other
// process as it is: it must point into that process.
class RemoteMemory {
public:
    RemoteMemory(HWND window, std::size_t size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!address_) ADD_FAILURE() << "no memory in the program's process: error " << GetLastError();
    }
    ~RemoteMemory() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    LPARAM address(std::size_t offset = 0) const {
        return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset);
    }
    bool write(const void* data, std::size_t size, std::size_t offset = 0) {
        return address_ && WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }
    bool read(void* data, std::size_t size, std::size_t offset = 0) const {
        return address_ && ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// A tab header's rectangle on the screen.
inline RECT tab_header(const Velvane& app, int page) {
    RECT r{};
    RemoteMemory memory(app.tab(), sizeof r);
    if (!send_message(app.tab(), TCM_GETITEMRECT, static_cast<WPARAM>(page), memory.address()) ||
        !memory.read(&r, sizeof r))
        ADD_FAILURE() << "no header for page " << page;
    MapWindowPoints(app.tab(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline std::wstring tab_caption(const Velvane& app, int page) {
    constexpr std::size_t kChars = 64;
    RemoteMemory memory(app.tab(), sizeof(TCITEMW) + kChars * sizeof(wchar_t));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(memory.address(sizeof item));
    item.cchTextMax = kChars;
    wchar_t caption[kChars] = {};
    if (!memory.write(&item, sizeof item) ||
        !send_message(app.tab(), TCM_GETITEMW, static_cast<WPARAM>(page), memory.address()) ||
        !memory.read(caption, sizeof caption, sizeof item))
        ADD_FAILURE() << "cannot read the caption of page " << page;
    caption[kChars - 1] = L'\0';
    return caption;
}

inline int current_page(const Velvane& app) { return static_cast<int>(send_message(app.tab(), TCM_GETCURSEL)); }

inline POINT centre_of(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// The absolute form of a screen point for mouse input: 1/65536ths of the
// virtual screen, rounded up so that the pixel reached is the point itself.
inline INPUT mouse_at(POINT screen, DWORD flags) {
    const auto normalise = [](LONG offset, int size) {
        return static_cast<LONG>((offset * 65536LL + size - 1) / size);
    };
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = normalise(screen.x - GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    input.mi.dy = normalise(screen.y - GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    return input;
}

// Moves the mouse to a screen point and presses and releases a button there.
// The press and the release carry the point too: under Wine's virtual desktop
// a late pointer motion from X can put the cursor back where it was a moment
// ago, and a bare press would land there.
inline void click_point(POINT screen, Button button = Button::Left) {
    move_mouse(screen);
    const bool left = button == Button::Left;
    INPUT inputs[2] = {mouse_at(screen, left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN),
                       mouse_at(screen, left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP)};
    if (SendInput(2, inputs, sizeof(INPUT)) != 2) ADD_FAILURE() << "SendInput failed";
}

// Clicks at the centre of a window.
inline void click_on(HWND window, Button button = Button::Left) {
    if (!IsWindowVisible(window)) ADD_FAILURE() << "clicking window " << window << ", which is not visible";
    RECT r{};
    GetWindowRect(window, &r);
    click_point({(r.left + r.right) / 2, (r.top + r.bottom) / 2}, button);
}

// Clicks the page's tab header; true once the page's keyword box shows.
inline bool select_page(const Velvane& app, int page) {
    click_point(centre_of(tab_header(app, page)));
    // A page's controls are made when it first comes up.
    const bool shown = wait_until([&] {
        const HWND keyword = app.control(edit(page));
        return current_page(app) == page && keyword && visible(keyword);
    });
    if (!shown) ADD_FAILURE() << "page " << page << " did not come up";
    return shown;
}

// Clicks a category radio (or a language radio) and waits until it is checked.
inline bool check_radio(HWND radio_button) {
    click_on(radio_button);
    const bool done = wait_until([&] { return checked(radio_button); });
    if (!done) ADD_FAILURE() << "the radio was not checked by a click";
    return done;
}

// The index of the page's checked category radio, -1 when none is.
inline int checked_radio(const Velvane& app, int page) {
    int found = -1;
    for (int r = 0; HWND control = app.control(radio(page, r)); ++r) {
        if (!checked(control)) continue;
        if (found >= 0) ADD_FAILURE() << "radios " << found << " and " << r << " of page " << page << " both checked";
        found = r;
    }
    return found;
}

// The visible drop-down part of a combo box of the program.
inline HWND dropped_list(const Velvane& app) {
    DWORD app_pid = 0;
    GetWindowThreadProcessId(app.window(), &app_pid);
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"ComboLBox", nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == app_pid && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// Opens the page's drop-down list with a click and clicks the item, as a
// person picks one: the list tells the window once (CBN_SELCHANGE).
inline bool pick_list_item(const Velvane& app, int page, int index) {
    const HWND combo = app.control(list(page));
    click_on(combo);
    HWND items = nullptr;
    if (!wait_until([&] { return (items = dropped_list(app)) != nullptr; })) {
        ADD_FAILURE() << "the drop-down list of page " << page << " did not open";
        return false;
    }
    RECT r{};  // LB_GETITEMRECT is carried across processes by the system
    if (send_message(items, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
        ADD_FAILURE() << "no item " << index << " in the list of page " << page;
        return false;
    }
    MapWindowPoints(items, nullptr, reinterpret_cast<POINT*>(&r), 2);
    click_point(centre_of(r));
    const bool done = wait_until([&] { return !visible(items) && selected_index(combo) == index; });
    if (!done) ADD_FAILURE() << "item " << index << " of page " << page << " was not picked";
    return done;
}

// Clicks into the page's keyword box, selects whatever it holds and types the
// keyword over it; true once the box holds exactly the keyword.
inline bool enter_keyword(const Velvane& app, int page, std::wstring_view keyword) {
    const HWND box = app.control(edit(page));
    click_on(box);
    if (!wait_until([&] { return app.focus() == box; })) {
        ADD_FAILURE() << "the keyword box of page " << page << " did not take the focus";
        return false;
    }
    press(VK_HOME);
    press(VK_END, {VK_SHIFT});
    press(VK_DELETE);
    type(keyword);
    const bool done = wait_until([&] { return text(box) == keyword; });
    if (!done) ADD_FAILURE() << "the keyword box of page " << page << " holds '" << utf8(text(box)) << "'";
    return done;
}

// The program's pop-up menu, while it is open (Wine's menus cannot be read
// from another process, but their window can be seen).
inline HWND open_popup_menu(const Velvane& app) {
    DWORD app_pid = 0;
    GetWindowThreadProcessId(app.window(), &app_pid);
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == app_pid && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// The program's thread is in a menu's loop: from the menu's opening until
// its loop has ended, a moment after its window has gone.
inline bool in_menu(const Velvane& app) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(app.window(), nullptr), &info);
    return (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0;
}

}  // namespace e2e::pages
