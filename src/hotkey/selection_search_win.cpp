#include "hotkey/selection_search_win.h"

#include <cwchar>
#include <iterator>
#include <string_view>
#include <utility>

#include "hotkey/selection_keyword.h"
#include "win/handles.h"

namespace velvane {
namespace {

// How often the timer looks at the keys and at UI Automation's answer.
constexpr UINT kTickMs = 15;
// A person lets go of the hotkey well within this; past it the modifiers
// still down are let go by us, so that the copy key arrives clean.
constexpr std::uint64_t kKeysUpWaitMs = 400;
// UI Automation answers within this or is not waited for (from the press).
constexpr std::uint64_t kAskWaitMs = 400;
// The window comes up after this without the copy: with nothing selected
// the clipboard never changes. A program that copies later still gets its
// copy put back, until the deadline.
constexpr std::uint64_t kShowWaitMs = 1200;
constexpr std::uint64_t kCopyDeadlineMs = 8000;
// While the clipboard is open elsewhere it is looked at again this often.
constexpr std::uint64_t kRetryMs = 20;
// A clipboard larger than this is not put aside (and so not copied over).
constexpr std::size_t kMaxSavedBytes = 256u * 1024 * 1024;

// A virtual-key code that no keyboard sends and no program reads.
constexpr WORD kMaskKey = 0xE8;

bool key_down(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

constexpr int kModifierKeys[] = {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_LWIN, VK_RWIN};

bool any_modifier_down() {
    for (const int key : kModifierKeys)
        if (key_down(key)) return true;
    return false;
}

INPUT key_input(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    if (key == VK_INSERT || key == VK_RCONTROL || key == VK_RMENU || key == VK_RWIN || key == VK_LWIN)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
    return input;
}

std::u16string_view class_of(HWND window, wchar_t (&name)[64]) {
    name[0] = L'\0';
    const int length = window ? GetClassNameW(window, name, static_cast<int>(std::size(name))) : 0;
    return {reinterpret_cast<const char16_t*>(name), static_cast<std::size_t>(length > 0 ? length : 0)};
}

// The copy key for the window in front, by its class, its focused control's
// class and its program's file name.
CopyKey copy_key_of(HWND window, DWORD process_id) {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    HWND focus = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) ? thread.hwndFocus : nullptr;
    wchar_t window_class[64], focus_class[64];
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    std::u16string_view program;
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    if (process && QueryFullProcessImageNameW(process.get(), 0, path, &length)) {
        const std::u16string_view full(reinterpret_cast<const char16_t*>(path), length);
        const std::size_t slash = full.find_last_of(u"\\/");
        program = slash == std::u16string_view::npos ? full : full.substr(slash + 1);
    }
    return copy_key_for(class_of(window, window_class), class_of(focus, focus_class), program);
}

// Formats whose data is no memory block that can be copied: GDI handles and
// owner-drawn display formats. CF_BITMAP and CF_METAFILEPICT come back all
// the same, as the platform makes them from the CF_DIB and CF_ENHMETAFILE
// that are kept.
bool can_be_kept(UINT format) {
    switch (format) {
    case CF_BITMAP:
    case CF_METAFILEPICT:
    case CF_PALETTE:
    case CF_OWNERDISPLAY:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
        return false;
    default:
        break;
    }
    if (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) return false;
    if (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST) return false;
    return true;
}

// The clipboard is open in another program for moments at a time.
bool open_clipboard(HWND owner) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(5);
    }
    return false;
}

class ClipboardOpen {
public:
    ClipboardOpen(HWND owner, bool retry) : open_(retry ? open_clipboard(owner) : OpenClipboard(owner) != FALSE) {}
    ~ClipboardOpen() {
        if (open_) CloseClipboard();
    }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

// The process whose window owns the clipboard's content; 0 when no window does.
DWORD clipboard_owner_process() {
    DWORD process = 0;
    if (HWND owner = GetClipboardOwner()) GetWindowThreadProcessId(owner, &process);
    return process;
}

}  // namespace

bool SelectionSearch::SavedClipboard::save() {
    clear();
    std::size_t total = 0;
    for (UINT format = 0; (format = EnumClipboardFormats(format)) != 0;) {
        if (!can_be_kept(format)) continue;
        HANDLE data = GetClipboardData(format);
        if (!data) continue;  // the program that owns it could not make it
        // The size first; then one allocation, which may fail without throwing.
        const bool metafile = format == CF_ENHMETAFILE;
        const std::size_t size =
            metafile ? GetEnhMetaFileBits(static_cast<HENHMETAFILE>(data), 0, nullptr) : GlobalSize(data);
        if (size == 0) continue;  // nothing behind it to keep
        if (size > kMaxSavedBytes - total || count_ == formats_.size()) {
            clear();
            return false;
        }
        total += size;
        HANDLE copy = nullptr;
        if (metafile) {
            copy = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr);
        } else {
            const LockedGlobal source(data);
            if (!source) continue;
            if ((copy = GlobalAlloc(GMEM_MOVEABLE, size)) != nullptr) {
                const LockedGlobal target(copy);
                if (target) memcpy(target.get(), source.get(), size);
                if (!target) copy = GlobalFree(copy);
            }
        }
        if (!copy) {
            clear();
            return false;
        }
        formats_[count_++] = {format, copy};
    }
    return true;
}

void SelectionSearch::SavedClipboard::put_back() {
    for (std::size_t i = 0; i < count_; ++i) {
        // The clipboard owns what it accepts; what it refuses stays ours to free.
        if (SetClipboardData(formats_[i].format, formats_[i].data)) formats_[i].data = nullptr;
    }
    clear();
}

void SelectionSearch::SavedClipboard::clear() {
    for (std::size_t i = 0; i < count_; ++i) {
        HANDLE data = std::exchange(formats_[i].data, nullptr);
        if (!data) continue;
        if (formats_[i].format == CF_ENHMETAFILE) {
            DeleteEnhMetaFile(static_cast<HENHMETAFILE>(data));
        } else {
            GlobalFree(data);
        }
    }
    count_ = 0;
}

void SelectionSearch::start(HWND window, std::optional<Hotkey> hotkey, Done done) {
    stop();
    window_ = window;
    hotkey_ = hotkey;
    done_ = std::move(done);
    // Whether the platform took it is asked later (registration_failed()), when the tray can say so.
    if (hotkey_) static_cast<void>(hotkey_registration_.register_for(window, *hotkey_));
}

void SelectionSearch::stop() {
    hotkey_registration_.unregister();
    if (step_ == Step::WaitingForCopy) {
        // Velvane ends in the middle of a press: a copy already made goes
        // back first (the clipboard may be open elsewhere for a moment).
        for (int attempt = 0; attempt < 25; ++attempt) {
            if (look_at_clipboard(nullptr) != Change::NotYet) break;
            Sleep(20);
        }
    }
    end_press();
}

void SelectionSearch::on_hotkey() {
    // A press whose window is already up only waits for a late copy: a new
    // press starts afresh. Otherwise the press before is still being dealt with.
    if (step_ == Step::WaitingForCopy && shown_) {
        end_press();
    } else if (step_ != Step::Idle) {
        return;
    }
    target_ = GetForegroundWindow();
    target_process_ = 0;
    if (target_) GetWindowThreadProcessId(target_, &target_process_);
    // In Velvane's own window the keyword box already holds what the person
    // is working on: it stays as it is. With no window in front there is
    // nothing to copy from.
    if (!target_ || target_process_ == GetCurrentProcessId()) {
        finish(std::nullopt);
        return;
    }
    // A remote desktop or virtual machine window gets no key at all: the
    // window just shows, as with the show hotkey.
    copy_key_ = copy_key_of(target_, target_process_);
    if (copy_key_ == CopyKey::None) {
        finish(std::nullopt);
        return;
    }
    // A question still hanging from a press before is not this press's answer.
    asked_ = question_.ask(target_process_);
    // Alt (or the Windows key) let go with no other key after it opens the
    // program's menu (or the Start menu), which would then take the copy
    // key; a key that means nothing, pressed now, prevents that.
    if (key_down(VK_LMENU) || key_down(VK_RMENU) || key_down(VK_LWIN) || key_down(VK_RWIN)) {
        INPUT mask[2] = {key_input(kMaskKey, false), key_input(kMaskKey, true)};
        SendInput(2, mask, sizeof(INPUT));
    }
    step_ = Step::WaitingForKeysUp;
    pressed_at_ = GetTickCount64();
    schedule(kTickMs);
    tick();
}

void SelectionSearch::on_clipboard_update() {
    if (step_ != Step::WaitingForCopy) return;
    change_pending_ = true;
    tick();
}

void CALLBACK SelectionSearch::on_timer(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    reinterpret_cast<SelectionSearch*>(id)->tick();
}

void SelectionSearch::schedule(std::uint64_t delay_ms) {
    SetTimer(window_, reinterpret_cast<UINT_PTR>(this), static_cast<UINT>(delay_ms < 10 ? 10 : delay_ms), on_timer);
}

void SelectionSearch::tick() {
    const std::uint64_t now = GetTickCount64();
    switch (step_) {
    case Step::Idle:
        KillTimer(window_, reinterpret_cast<UINT_PTR>(this));
        return;
    case Step::WaitingForKeysUp: {
        if (any_modifier_down() && now - pressed_at_ < kKeysUpWaitMs) return;
        if (GetForegroundWindow() != target_) {
            // The person moved on to another window meanwhile: copy nothing there.
            finish(std::nullopt);
            return;
        }
        const SelectionQuestion::Answer answer = asked_ ? question_.answer() : SelectionQuestion::Answer::Unavailable;
        if (answer == SelectionQuestion::Answer::Selection) {
            // The control said what it has selected: the clipboard is not touched.
            const std::u16string keyword = selection_keyword(question_.text());
            std::optional<std::wstring> taken;
            if (!keyword.empty()) taken.emplace(keyword.begin(), keyword.end());
            finish(taken);
            return;
        }
        if (answer == SelectionQuestion::Answer::Pending && now - pressed_at_ < kAskWaitMs) return;
        // A clipboard that cannot be put aside is not copied over.
        if (!start_copy()) finish(std::nullopt);
        return;
    }
    case Step::WaitingForCopy: {
        if (change_pending_) {
            std::optional<std::wstring> keyword;
            switch (look_at_clipboard(shown_ ? nullptr : &keyword)) {
            case Change::Restored:
                // A copy after the window came up leaves the keyword box alone.
                if (shown_) {
                    end_press();
                } else {
                    finish(keyword);
                }
                return;
            case Change::Unkept:
                // Another program's write too large to put aside: nothing is
                // put back over it any more.
                if (shown_) {
                    end_press();
                } else {
                    finish(std::nullopt);
                }
                return;
            case Change::Foreign:
            case Change::NotYet:
            case Change::None:
                break;
            }
        }
        const std::uint64_t waited = now - copy_sent_at_;
        if (!shown_ && waited >= kShowWaitMs) {
            shown_ = true;
            if (done_) done_(std::nullopt);
            if (step_ != Step::WaitingForCopy) return;
        }
        if (waited >= kCopyDeadlineMs) {
            end_press();
            return;
        }
        if (!listening_ && GetClipboardSequenceNumber() != sequence_seen_) change_pending_ = true;
        std::uint64_t next = shown_ ? kCopyDeadlineMs - waited : kShowWaitMs - waited;
        if (change_pending_ || !listening_) next = kRetryMs;
        schedule(next);
        return;
    }
    }
}

bool SelectionSearch::start_copy() {
    {
        const ClipboardOpen clipboard(window_, true);
        if (!clipboard || !saved_.save()) return false;
        sequence_seen_ = GetClipboardSequenceNumber();
    }
    listening_ = AddClipboardFormatListener(window_) != FALSE;
    send_copy_shortcut();
    step_ = Step::WaitingForCopy;
    copy_sent_at_ = GetTickCount64();
    shown_ = false;
    change_pending_ = GetClipboardSequenceNumber() != sequence_seen_;
    schedule(change_pending_ || !listening_ ? kRetryMs : kShowWaitMs);
    return true;
}

void SelectionSearch::send_copy_shortcut() {
    // The person may still hold the hotkey's modifiers: Ctrl goes down
    // first, so that letting go of an Alt cannot open the program's menu,
    // then every other modifier still down is let go.
    INPUT keys[12];
    UINT count = 0;
    const bool ctrl_held = key_down(VK_LCONTROL) || key_down(VK_RCONTROL);
    if (!ctrl_held) keys[count++] = key_input(VK_LCONTROL, false);
    for (const int key : {VK_LMENU, VK_RMENU, VK_LSHIFT, VK_RSHIFT, VK_LWIN, VK_RWIN}) {
        if (key_down(key)) keys[count++] = key_input(static_cast<WORD>(key), true);
    }
    const WORD copy_key = copy_key_ == CopyKey::CtrlInsert ? VK_INSERT : 'C';
    keys[count++] = key_input(copy_key, false);
    keys[count++] = key_input(copy_key, true);
    if (key_down(VK_RCONTROL)) keys[count++] = key_input(VK_RCONTROL, true);
    keys[count++] = key_input(VK_LCONTROL, true);
    SendInput(count, keys, sizeof(INPUT));
}

SelectionSearch::Change SelectionSearch::look_at_clipboard(std::optional<std::wstring>* keyword) {
    const ClipboardOpen clipboard(window_, false);
    if (!clipboard) {
        change_pending_ = true;
        return Change::NotYet;
    }
    change_pending_ = false;
    const DWORD sequence = GetClipboardSequenceNumber();
    if (sequence == sequence_seen_) return Change::None;
    if (clipboard_owner_process() != target_process_) {
        // Another program wrote the clipboard (or a program that does not
        // say who it is): that is what goes back after the copy now, and it
        // is never taken for the copy.
        sequence_seen_ = sequence;
        return saved_.save() ? Change::Foreign : Change::Unkept;
    }
    if (keyword) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            const SIZE_T size = GlobalSize(data);
            const LockedGlobal locked(size ? data : nullptr);
            if (const auto* text = static_cast<const wchar_t*>(locked.get())) {
                // The text ends at its terminating zero, or with the block.
                const std::size_t length = wcsnlen(text, size / sizeof(wchar_t));
                const std::u16string cleaned =
                    selection_keyword(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
                if (!cleaned.empty()) keyword->emplace(cleaned.begin(), cleaned.end());
            }
        }
    }
    // The clipboard goes back to what it held before the copy.
    EmptyClipboard();
    saved_.put_back();
    return Change::Restored;
}

void SelectionSearch::end_press() {
    if (step_ != Step::Idle && window_) KillTimer(window_, reinterpret_cast<UINT_PTR>(this));
    if (listening_) RemoveClipboardFormatListener(window_);
    listening_ = false;
    change_pending_ = false;
    step_ = Step::Idle;
    saved_.clear();
    target_ = nullptr;
}

void SelectionSearch::finish(const std::optional<std::wstring>& keyword) {
    end_press();
    if (done_) done_(keyword);
}

}  // namespace velvane
