// The selection hotkey ("划词搜索" in Setup.ini, off unless set): pressed in
// another program, it copies that program's selection, takes its text as the
// keyword and puts the clipboard back as it was.
//
// The work runs on a timer of the main window, never holding up its message
// loop: first it waits (briefly) until the person has let go of the hotkey's
// modifier keys, then it sends the copy shortcut and polls the clipboard's
// sequence number for a bounded time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hotkey/hotkey_keys.h"
#include "hotkey/hotkey_win.h"

namespace velvane {

class SelectionSearch {
public:
    // Called when a press has been dealt with: the keyword taken from the
    // selection, or nullopt when there was none (nothing selected, no text,
    // or Velvane's own window in front). Either way the window is to be shown.
    using Done = std::function<void(const std::optional<std::wstring>& keyword)>;

    SelectionSearch() = default;
    SelectionSearch(const SelectionSearch&) = delete;
    SelectionSearch& operator=(const SelectionSearch&) = delete;
    ~SelectionSearch() { stop(); }

    // Registers the hotkey for the window when Setup.ini turns it on.
    void start(HWND window, std::optional<Hotkey> hotkey, Done done);
    // Gives the registration back and drops a press under way.
    void stop();

    // The hotkey is on but the platform refused it (taken, or no valid hotkey).
    bool registration_failed() const { return hotkey_ && !hotkey_registration_.registered(); }
    const std::optional<Hotkey>& hotkey() const { return hotkey_; }

    // Whether a WM_HOTKEY with this identifier is the selection hotkey's.
    bool owns(int hotkey_id) const { return hotkey_ && hotkey_id == hotkey_registration_.id(); }
    void on_hotkey();

private:
    enum class Step { Idle, WaitingForKeysUp, WaitingForCopy };

    // One clipboard format as it was before the copy.
    struct SavedFormat {
        UINT format;
        std::string bytes;
    };

    static void CALLBACK on_timer(HWND window, UINT message, UINT_PTR id, DWORD time) noexcept;
    void tick();
    void send_copy_shortcut();
    bool save_clipboard();
    // Reads the copied text and puts the saved formats back; false while the
    // clipboard is still open in the program that copies.
    bool take_copied_text(std::optional<std::wstring>& keyword);
    void finish(const std::optional<std::wstring>& keyword);

    HWND window_ = nullptr;
    std::optional<Hotkey> hotkey_;
    GlobalHotkey hotkey_registration_{GlobalHotkey::kSelectionId};
    Done done_;

    Step step_ = Step::Idle;
    HWND target_ = nullptr;
    std::uint64_t step_started_ = 0;  // GetTickCount64
    DWORD sequence_before_copy_ = 0;
    std::vector<SavedFormat> saved_;
};

}  // namespace velvane
