// The selection hotkey ("划词搜索" in Setup.ini, off unless set): pressed in
// another program, it takes that program's selection as the keyword, without
// losing what the person had on the clipboard.
//
// The control with the focus is asked first, through UI Automation, for the
// text it has selected; where it cannot say, the program's copy key is sent
// (Ctrl+C, Ctrl+Insert in terminals, none at all to remote desktop and
// virtual machine windows, see selection_target.h) and the clipboard is put
// back as it was once that program's copy has been seen. A copy that comes
// after the window was shown without it is put back all the same, until a
// generous deadline; another program's clipboard write is never taken for
// the copy nor overwritten. The work runs on a timer and the clipboard
// format listener of the main window, never holding up its message loop.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "hotkey/hotkey_keys.h"
#include "hotkey/hotkey_win.h"
#include "hotkey/selection_automation_win.h"
#include "hotkey/selection_target.h"

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
    // Gives the registration back; a press under way puts the clipboard
    // back first when the program in front has copied over it.
    void stop();

    // The hotkey is on but the platform refused it (taken, or no valid hotkey).
    bool registration_failed() const { return hotkey_ && !hotkey_registration_.registered(); }
    const std::optional<Hotkey>& hotkey() const { return hotkey_; }

    // Whether a WM_HOTKEY with this identifier is the selection hotkey's.
    bool owns(int hotkey_id) const { return hotkey_ && hotkey_id == hotkey_registration_.id(); }
    void on_hotkey();
    // WM_CLIPBOARDUPDATE of the window.
    void on_clipboard_update();

private:
    enum class Step { Idle, WaitingForKeysUp, WaitingForCopy };

    // The clipboard's formats as they were before the copy, each a copy of
    // its own that the clipboard takes over when it is put back. Sized before
    // anything is copied; nothing here throws or ends the program when memory
    // is short: the clipboard is then not put aside, and not copied over.
    class SavedClipboard {
    public:
        SavedClipboard() = default;
        SavedClipboard(const SavedClipboard&) = delete;
        SavedClipboard& operator=(const SavedClipboard&) = delete;
        ~SavedClipboard() { clear(); }
        // With the clipboard open: false (and nothing kept) when it is too
        // large, has too many formats or memory ran short.
        [[nodiscard]] bool save();
        // With the clipboard open and emptied.
        void put_back();
        void clear();

    private:
        struct Format {
            UINT format;
            HANDLE data;  // HGLOBAL, or HENHMETAFILE for CF_ENHMETAFILE
        };
        std::array<Format, 64> formats_{};
        std::size_t count_ = 0;
    };

    // What a look at the changed clipboard found: not yet (open elsewhere),
    // no change, the target's copy put back, another program's write put
    // aside in place of what was, or such a write too large to put aside.
    enum class Change { NotYet, None, Restored, Foreign, Unkept };

    static void CALLBACK on_timer(HWND window, UINT message, UINT_PTR id, DWORD time) noexcept;
    void tick();
    void schedule(std::uint64_t delay_ms);
    // Puts the clipboard aside, listens to it and sends the copy key; false
    // when the clipboard cannot be put aside.
    [[nodiscard]] bool start_copy();
    void send_copy_shortcut();
    // Looks at the clipboard after a change: the target's copy is read (into
    // `keyword`, when asked) and the saved formats go back; another
    // program's write becomes what is put back later.
    Change look_at_clipboard(std::optional<std::wstring>* keyword);
    // The press is over: the listener and the timer stop, the saved formats go.
    void end_press();
    void finish(const std::optional<std::wstring>& keyword);

    HWND window_ = nullptr;
    std::optional<Hotkey> hotkey_;
    GlobalHotkey hotkey_registration_{GlobalHotkey::kSelectionId};
    Done done_;

    Step step_ = Step::Idle;
    HWND target_ = nullptr;
    DWORD target_process_ = 0;
    CopyKey copy_key_ = CopyKey::CtrlC;
    SelectionQuestion question_;
    bool asked_ = false;            // this press's question is under way
    std::uint64_t pressed_at_ = 0;  // GetTickCount64
    std::uint64_t copy_sent_at_ = 0;
    bool shown_ = false;           // the window came up without the copy
    bool listening_ = false;       // the clipboard format listener is on
    bool change_pending_ = false;  // a change not looked at yet (the clipboard was open elsewhere)
    DWORD sequence_seen_ = 0;      // the clipboard's sequence number when it was put aside
    SavedClipboard saved_;
};

}  // namespace velvane
