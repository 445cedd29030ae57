#include "hotkey/selection_search_win.h"

#include <cwchar>
#include <iterator>
#include <utility>

#include "hotkey/selection_keyword.h"

namespace velvane {
namespace {

// How often the timer looks at the keys and the clipboard.
constexpr UINT kTickMs = 15;
// A person lets go of the hotkey well within this; past it the modifiers
// still down are let go by us, so that the copy shortcut arrives clean.
constexpr std::uint64_t kKeysUpWaitMs = 400;
// A program that has a selection copies it within this; with nothing
// selected the clipboard never changes and the window shows after it.
constexpr std::uint64_t kCopyWaitMs = 500;
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

// Terminals read Ctrl+C as "interrupt the running program" when nothing is
// selected; Ctrl+Insert copies there and does no harm without a selection.
bool is_terminal(HWND window) {
    wchar_t name[64] = {};
    if (!GetClassNameW(window, name, static_cast<int>(std::size(name)))) return false;
    for (const wchar_t* terminal :
         {L"ConsoleWindowClass", L"CASCADIA_HOSTING_WINDOW_CLASS", L"mintty", L"PuTTY", L"VirtualConsoleClass"}) {
        if (wcscmp(name, terminal) == 0) return true;
    }
    return false;
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

std::optional<std::string> global_bytes(HANDLE data) {
    const SIZE_T size = GlobalSize(data);
    const void* bytes = size ? GlobalLock(data) : nullptr;
    if (!bytes) return std::nullopt;
    std::string copy(static_cast<const char*>(bytes), size);
    GlobalUnlock(data);
    return copy;
}

// Puts one saved format back; the clipboard owns what it accepts.
void put_back(UINT format, const std::string& bytes) {
    if (format == CF_ENHMETAFILE) {
        HENHMETAFILE metafile =
            SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), reinterpret_cast<const BYTE*>(bytes.data()));
        if (metafile && !SetClipboardData(format, metafile)) DeleteEnhMetaFile(metafile);
        return;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!memory) return;
    if (void* target = GlobalLock(memory)) {
        if (!bytes.empty()) memcpy(target, bytes.data(), bytes.size());
        GlobalUnlock(memory);
        if (SetClipboardData(format, memory)) return;
    }
    GlobalFree(memory);
}

}  // namespace

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
    if (step_ != Step::Idle && window_) KillTimer(window_, reinterpret_cast<UINT_PTR>(this));
    step_ = Step::Idle;
    saved_.clear();
}

void SelectionSearch::on_hotkey() {
    if (step_ != Step::Idle) return;  // the press before is still being dealt with
    target_ = GetForegroundWindow();
    DWORD target_process = 0;
    if (target_) GetWindowThreadProcessId(target_, &target_process);
    // In Velvane's own window the keyword box already holds what the person
    // is working on: it stays as it is. With no window in front there is
    // nothing to copy from.
    if (!target_ || target_process == GetCurrentProcessId()) {
        finish(std::nullopt);
        return;
    }
    // What the clipboard holds now is put aside first; if that cannot be done
    // completely, nothing is copied over it.
    if (!save_clipboard()) {
        finish(std::nullopt);
        return;
    }
    // Alt (or the Windows key) let go with no other key after it opens the
    // program's menu (or the Start menu), which would then take the copy
    // shortcut; a key that means nothing, pressed now, prevents that.
    if (key_down(VK_LMENU) || key_down(VK_RMENU) || key_down(VK_LWIN) || key_down(VK_RWIN)) {
        INPUT mask[2] = {key_input(kMaskKey, false), key_input(kMaskKey, true)};
        SendInput(2, mask, sizeof(INPUT));
    }
    step_ = Step::WaitingForKeysUp;
    step_started_ = GetTickCount64();
    SetTimer(window_, reinterpret_cast<UINT_PTR>(this), kTickMs, on_timer);
    tick();
}

void CALLBACK SelectionSearch::on_timer(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    reinterpret_cast<SelectionSearch*>(id)->tick();
}

void SelectionSearch::tick() {
    const std::uint64_t waited = GetTickCount64() - step_started_;
    switch (step_) {
    case Step::Idle:
        KillTimer(window_, reinterpret_cast<UINT_PTR>(this));
        return;
    case Step::WaitingForKeysUp:
        if (any_modifier_down() && waited < kKeysUpWaitMs) return;
        if (GetForegroundWindow() != target_) {
            // The person moved on to another window meanwhile: copy nothing there.
            finish(std::nullopt);
            return;
        }
        sequence_before_copy_ = GetClipboardSequenceNumber();
        send_copy_shortcut();
        step_ = Step::WaitingForCopy;
        step_started_ = GetTickCount64();
        return;
    case Step::WaitingForCopy: {
        const bool timed_out = waited >= kCopyWaitMs;
        if (GetClipboardSequenceNumber() == sequence_before_copy_) {
            // Nothing was selected: the clipboard is as it was, untouched.
            if (timed_out) finish(std::nullopt);
            return;
        }
        std::optional<std::wstring> keyword;
        // Still open in the program that copies: the next tick tries again,
        // for a while longer than the wait for the copy itself.
        if (!take_copied_text(keyword) && waited < 2 * kCopyWaitMs) return;
        finish(keyword);
        return;
    }
    }
}

bool SelectionSearch::save_clipboard() {
    saved_.clear();
    const ClipboardOpen clipboard(window_, true);
    if (!clipboard) return false;
    std::size_t total = 0;
    for (UINT format = 0; (format = EnumClipboardFormats(format)) != 0;) {
        if (!can_be_kept(format)) continue;
        HANDLE data = GetClipboardData(format);
        if (!data) continue;  // the program that owns it could not make it
        std::optional<std::string> bytes;
        if (format == CF_ENHMETAFILE) {
            auto* metafile = static_cast<HENHMETAFILE>(data);
            const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
            bytes.emplace(size, '\0');
            if (!size || GetEnhMetaFileBits(metafile, size, reinterpret_cast<BYTE*>(bytes->data())) != size)
                bytes.reset();
        } else {
            bytes = global_bytes(data);
        }
        if (!bytes) continue;
        total += bytes->size();
        if (total > kMaxSavedBytes) {
            saved_.clear();
            return false;
        }
        saved_.push_back({format, std::move(*bytes)});
    }
    return true;
}

void SelectionSearch::send_copy_shortcut() {
    // The person may still hold the hotkey's modifiers: Ctrl goes down
    // first, so that letting go of an Alt cannot open the program's menu,
    // then every other modifier still down is let go.
    std::vector<INPUT> keys;
    const bool ctrl_held = key_down(VK_LCONTROL) || key_down(VK_RCONTROL);
    if (!ctrl_held) keys.push_back(key_input(VK_LCONTROL, false));
    for (const int key : {VK_LMENU, VK_RMENU, VK_LSHIFT, VK_RSHIFT, VK_LWIN, VK_RWIN}) {
        if (key_down(key)) keys.push_back(key_input(static_cast<WORD>(key), true));
    }
    const WORD copy_key = is_terminal(target_) ? VK_INSERT : 'C';
    keys.push_back(key_input(copy_key, false));
    keys.push_back(key_input(copy_key, true));
    if (key_down(VK_RCONTROL)) keys.push_back(key_input(VK_RCONTROL, true));
    keys.push_back(key_input(VK_LCONTROL, true));
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

bool SelectionSearch::take_copied_text(std::optional<std::wstring>& keyword) {
    const ClipboardOpen clipboard(window_, false);
    if (!clipboard) return false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const SIZE_T size = GlobalSize(data);
        if (const auto* text = static_cast<const wchar_t*>(size ? GlobalLock(data) : nullptr)) {
            // The text ends at its terminating zero, or with the block.
            const std::size_t length = wcsnlen(text, size / sizeof(wchar_t));
            const std::u16string cleaned =
                selection_keyword(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
            GlobalUnlock(data);
            if (!cleaned.empty()) keyword.emplace(cleaned.begin(), cleaned.end());
        }
    }
    // The clipboard goes back to what it held before the copy.
    EmptyClipboard();
    for (const SavedFormat& saved : saved_) put_back(saved.format, saved.bytes);
    return true;
}

void SelectionSearch::finish(const std::optional<std::wstring>& keyword) {
    if (step_ != Step::Idle) KillTimer(window_, reinterpret_cast<UINT_PTR>(this));
    step_ = Step::Idle;
    saved_.clear();
    target_ = nullptr;
    if (done_) done_(keyword);
}

}  // namespace velvane
