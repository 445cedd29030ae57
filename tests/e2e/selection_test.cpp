// The selection hotkey ("划词搜索" in Setup.ini): pressed while another
// program shows selected text, Velvane comes up with that text in the keyword
// box and the clipboard holds what it held before. The other program is
// selection_source.exe, driven with real key presses.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <optional>
#include <string>

#include "harness.h"

namespace e2e {
namespace {

using velvane::ids::edit;

constexpr wchar_t kSourceClass[] = L"VelvaneTestSelectionSource";
// Ctrl+Alt+W as the README's example turns it on.
const std::wstring kCtrlAltWSection = L"[划词搜索]\r\n功能键=5\r\n键代码=87\r\n";

void write_bytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path.string();
}

std::filesystem::path source_exe() {
    std::wstring path = utf16(VELVANE_SELECTION_SOURCE_EXE);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return L"Z:" + path;
}

// ---- The clipboard as the test sees it ----

UINT custom_format() {
    static const UINT format = RegisterClipboardFormatW(L"Velvane.Test.Custom");
    return format;
}

// Text and a format of another program's own, with bytes no text conversion
// would keep.
struct Clipboard {
    std::wstring text;
    std::string custom;
    friend bool operator==(const Clipboard&, const Clipboard&) = default;
};

const Clipboard kBefore{L"剪贴板里原来的文字", std::string("\x01\x00\xFFVelvane custom\x80", 18)};

bool open_clipboard() {
    return wait_until([] { return OpenClipboard(nullptr) != FALSE; }, 2s);
}

// Written by the test's own process, owned by `owner` (a window of this
// process) or by no window.
void set_clipboard(const Clipboard& content, HWND owner = nullptr) {
    ASSERT_TRUE(wait_until([&] { return OpenClipboard(owner) != FALSE; }, 2s)) << "cannot open the clipboard";
    EmptyClipboard();
    auto put = [](UINT format, const void* data, std::size_t size) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(memory), data, size);
        GlobalUnlock(memory);
        if (!SetClipboardData(format, memory)) GlobalFree(memory);
    };
    put(CF_UNICODETEXT, content.text.c_str(), (content.text.size() + 1) * sizeof(wchar_t));
    put(custom_format(), content.custom.data(), content.custom.size());
    CloseClipboard();
}

std::optional<std::string> format_bytes(UINT format) {
    HANDLE data = GetClipboardData(format);
    if (!data) return std::nullopt;
    const auto* bytes = static_cast<const char*>(GlobalLock(data));
    if (!bytes) return std::nullopt;
    std::string copy(bytes, GlobalSize(data));
    GlobalUnlock(data);
    return copy;
}

std::optional<Clipboard> read_clipboard() {
    if (!open_clipboard()) return std::nullopt;
    Clipboard content;
    if (const auto text = format_bytes(CF_UNICODETEXT)) {
        content.text.assign(reinterpret_cast<const wchar_t*>(text->data()), text->size() / sizeof(wchar_t));
        content.text.resize(wcsnlen(content.text.c_str(), content.text.size()));
    }
    // A block may come back rounded up to a multiple of its allocation unit.
    if (auto custom = format_bytes(custom_format())) content.custom = custom->substr(0, kBefore.custom.size());
    CloseClipboard();
    return content;
}

std::string describe(const std::optional<Clipboard>& content) {
    if (!content) return "(clipboard not readable)";
    return "text '" + utf8(content->text) + "', custom format of " + std::to_string(content->custom.size()) + " bytes";
}

// ---- The other program ----

class SelectionSource {
public:
    // `options`: more of the command line (--copy-after MS, --class NAME).
    SelectionSource(const std::wstring& text, bool selected, const std::wstring& options = L"",
                    const wchar_t* class_name = kSourceClass) {
        const std::wstring exe = source_exe().wstring();
        std::wstring command_line =
            L"\"" + exe + L"\" " + (selected ? L"" : L"--nothing-selected ") + options + L" \"" + text + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            ADD_FAILURE() << "cannot start " << utf8(exe) << ": error " << GetLastError();
            return;
        }
        wait_until([&] {
            for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, class_name, nullptr));) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                if (pid == process_.dwProcessId && IsWindowVisible(w)) window_ = w;
            }
            return window_ != nullptr;
        });
    }
    ~SelectionSource() {
        if (!process_.hProcess) return;
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    SelectionSource(const SelectionSource&) = delete;
    SelectionSource& operator=(const SelectionSource&) = delete;

    HWND window() const { return window_; }

    // In front, its box focused: a click in the middle of the window, below
    // the box, leaves the box's selection as it is.
    void activate() {
        ASSERT_NE(window_, nullptr) << "the selection source did not open";
        click(window_);
        ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == window_; })) << "the source is not in front";
    }

    // The letter keys it received, with their modifiers ("C+A+W", "C+C").
    std::wstring keys() const { return text(window_); }
    bool got(std::wstring_view combination) const {
        return keys().find(L" " + std::wstring(combination)) != std::wstring::npos;
    }

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

bool in_front(const Velvane& app) { return GetForegroundWindow() == app.window(); }

std::pair<DWORD, DWORD> selection_of(HWND box) {
    DWORD start = 0, end = 0;
    SendMessageTimeoutW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    return {start, end};
}

// The UTF-8 bytes of a keyword as the page's search URL carries them.
std::string percent_encoded(std::wstring_view keyword) {
    std::string out;
    for (const unsigned char byte : utf8(keyword)) {
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", byte);
        out += escape;
    }
    return out;
}

// Ctrl+Alt+W with the source in front until `done`, at most three times. A
// press that loses Ctrl on its way (see press_until) arrives as Alt+W: that
// hides a Velvane visible behind the source, and the next press finds the
// source still in front; or it shows a hidden Velvane in front, which is
// hidden again and the source brought back before the next press.
bool press_selection_hotkey(const Velvane& app, SelectionSource& source, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (GetForegroundWindow() != source.window()) {
            if (in_front(app) && press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }) == 0) return false;
            source.activate();
        }
        press('W', {VK_CONTROL, VK_MENU});
        if (wait_until(done, 2s)) return true;
    }
    return false;
}

TEST(SelectionHotkey, PutsTheSelectedTextIntoTheKeywordBoxSelectedAndFocusedAndTheClipboardBack) {
    Velvane app;
    write_bytes(app.program_dir() / L"Setup.ini", gbk(kCtrlAltWSection));
    app.start();
    const HWND keyword_box = app.control(edit(0));
    ASSERT_TRUE(wait_until([&] { return app.focus() == keyword_box; }));
    type(L"旧词");
    ASSERT_TRUE(wait_until([&] { return text(keyword_box) == L"旧词"; }));

    set_clipboard(kBefore);
    const std::wstring selected = L"选中的文字 Velvane";
    SelectionSource source(L"  " + selected + L"\u3000", true);
    source.activate();

    ASSERT_TRUE(
        press_selection_hotkey(app, source, [&] { return visible(app.window()) && text(keyword_box) == selected; }))
        << "the keyword box holds '" << utf8(text(keyword_box)) << "'; the source got '" << utf8(source.keys()) << "'";
    EXPECT_TRUE(wait_until([&] { return in_front(app); })) << "Velvane is not in front";
    EXPECT_TRUE(wait_until([&] { return app.focus() == keyword_box; })) << "the keyword box has not the focus";
    EXPECT_EQ(selection_of(keyword_box), (std::pair<DWORD, DWORD>{0, static_cast<DWORD>(selected.size())}));
    // The copy shortcut reached the source clean, without the hotkey's Alt.
    EXPECT_TRUE(source.got(L"C+C")) << utf8(source.keys());
    EXPECT_FALSE(source.got(L"C+A+C")) << utf8(source.keys());

    // Velvane puts the clipboard back before it shows the keyword.
    const std::optional<Clipboard> after = read_clipboard();
    EXPECT_TRUE(after == kBefore) << describe(after);

    // Enter searches it, as any typed keyword.
    press(VK_RETURN);
    const auto urls = app.wait_for_urls(1);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_NE(urls[0].find("wd=" + percent_encoded(selected) + "&"), std::string::npos) << urls[0];
    EXPECT_EQ(app.stop(), 0u);
}

TEST(SelectionHotkey, WithNothingSelectedShowsVelvaneAndLeavesTheKeywordBoxAndTheClipboardAlone) {
    Velvane app;
    write_bytes(app.program_dir() / L"Setup.ini", gbk(kCtrlAltWSection));
    app.start();
    const HWND keyword_box = app.control(edit(0));
    ASSERT_TRUE(wait_until([&] { return app.focus() == keyword_box; }));
    type(L"原来的关键词");
    ASSERT_TRUE(wait_until([&] { return text(keyword_box) == L"原来的关键词"; }));
    // With only the 划词搜索 section in Setup.ini, Alt+W still hides and shows.
    ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0) << "Alt+W did not hide Velvane";

    set_clipboard(kBefore);
    const DWORD sequence = GetClipboardSequenceNumber();
    SelectionSource source(L"没有选中的文字", false);
    source.activate();

    // Shown only once the copy shortcut has gone to the source and the
    // clipboard stayed as it was for the whole wait.
    ASSERT_TRUE(press_selection_hotkey(app, source, [&] { return visible(app.window()) && source.got(L"C+C"); }))
        << "Velvane visible: " << visible(app.window()) << "; the source got '" << utf8(source.keys()) << "'";
    EXPECT_TRUE(wait_until([&] { return in_front(app); })) << "Velvane is not in front";
    EXPECT_TRUE(wait_until([&] { return app.focus() == keyword_box; }));
    EXPECT_EQ(text(keyword_box), L"原来的关键词");
    // Not even written back: the clipboard was never changed.
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    const std::optional<Clipboard> after = read_clipboard();
    EXPECT_TRUE(after == kBefore) << describe(after);

    // In Velvane's own window the hotkey keeps what the box holds, neither
    // replaced nor selected: a key typed afterwards goes to its end. A press
    // that lost a modifier on its way (Alt+W hides the window, a bare W is
    // typed) is pressed again from the same start, as a person would.
    bool kept = false;
    for (int attempt = 0; attempt < 3 && !kept; ++attempt) {
        if (!visible(app.window())) {
            ASSERT_NE(press_until('W', {VK_MENU}, [&] { return visible(app.window()) && in_front(app); }), 0);
        }
        const std::wstring start = L"原来的关键词";
        SendMessageTimeoutW(keyword_box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(start.c_str()), SMTO_ABORTIFHUNG, 5000,
                            nullptr);
        SendMessageTimeoutW(keyword_box, EM_SETSEL, start.size(), start.size(), SMTO_ABORTIFHUNG, 5000, nullptr);
        ASSERT_TRUE(wait_until([&] { return app.focus() == keyword_box; }));
        press('W', {VK_CONTROL, VK_MENU});
        type(L"词");
        kept = wait_until([&] { return text(keyword_box) == L"原来的关键词词"; }, 2s);
    }
    EXPECT_TRUE(kept) << utf8(text(keyword_box));
    EXPECT_TRUE(visible(app.window()));
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(app.stop(), 0u);
}

// A program that copies late, and another program writing the clipboard
// meanwhile: the person's clipboard comes back byte for byte, or the other
// program's write stays; it is never taken for the copy.
TEST(SelectionHotkey, LateCopyAndAnotherProgramsWriteKeepTheClipboard) {
    const Clipboard other{L"另一个程序写的", std::string("\x02\x00\xFEother program\x7F", 17)};
    struct Case {
        const char* what;
        const wchar_t* copy_after;
        bool other_writes;     // while the source has not copied yet
        bool keyword_arrives;  // or the window came up first and the box stays
    };
    const Case cases[] = {
        {"the source copies 800 ms after the copy key", L"800", false, true},
        {"another program writes before the late copy", L"800", true, true},
        {"the copy comes after the window came up", L"2500", false, false},
    };
    // The other program's window, as a clipboard owner.
    const HWND writer =
        CreateWindowExW(0, L"STATIC", L"writer", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(writer, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Velvane app;
        write_bytes(app.program_dir() / L"Setup.ini", gbk(kCtrlAltWSection));
        app.start();
        const HWND keyword_box = app.control(edit(0));
        ASSERT_TRUE(wait_until([&] { return app.focus() == keyword_box; }));
        type(L"旧词");
        ASSERT_TRUE(wait_until([&] { return text(keyword_box) == L"旧词"; }));
        ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);

        set_clipboard(kBefore);
        const std::wstring selected = L"晚到的选中文字";
        SelectionSource source(selected, true, std::wstring(L"--copy-after ") + c.copy_after);
        source.activate();
        ASSERT_TRUE(press_selection_hotkey(app, source, [&] { return source.got(L"C+C"); }))
            << "the source got '" << utf8(source.keys()) << "'";
        if (c.other_writes) {
            set_clipboard(other, writer);
            ASSERT_EQ(source.keys().find(L"copied"), std::wstring::npos)
                << "the source copied before the other program";
        }
        ASSERT_TRUE(wait_until([&] { return source.keys().find(L"copied") != std::wstring::npos; }, 5s));
        const Clipboard& expected = c.other_writes ? other : kBefore;
        std::optional<Clipboard> after;
        EXPECT_TRUE(wait_until([&] { return (after = read_clipboard()) == expected; }, 3s)) << describe(after);
        EXPECT_TRUE(wait_until([&] { return visible(app.window()); }));
        const std::wstring keyword = c.keyword_arrives ? selected : L"旧词";
        EXPECT_TRUE(wait_until([&] { return text(keyword_box) == keyword; })) << utf8(text(keyword_box));
        EXPECT_EQ(app.stop(), 0u);
    }
    DestroyWindow(writer);
}

// Terminals get Ctrl+Insert, which copies there and interrupts nothing;
// a remote desktop window gets no key: Velvane just comes up.
TEST(SelectionHotkey, TerminalsGetCtrlInsertAndRemoteDesktopWindowsNoKey) {
    struct Case {
        const wchar_t* window_class;
        bool remote;
    };
    for (const Case& c : {Case{L"mintty", false}, Case{L"TscShellContainerClass", true}}) {
        SCOPED_TRACE(utf8(c.window_class));
        Velvane app;
        write_bytes(app.program_dir() / L"Setup.ini", gbk(kCtrlAltWSection));
        app.start();
        const HWND keyword_box = app.control(edit(0));
        ASSERT_TRUE(wait_until([&] { return app.focus() == keyword_box; }));
        type(L"旧词");
        ASSERT_TRUE(wait_until([&] { return text(keyword_box) == L"旧词"; }));
        ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);

        set_clipboard(kBefore);
        const DWORD sequence = GetClipboardSequenceNumber();
        const std::wstring selected = L"终端里选中的";
        SelectionSource source(selected, true, std::wstring(L"--class ") + c.window_class, c.window_class);
        source.activate();
        const std::wstring keyword = c.remote ? L"旧词" : selected;
        ASSERT_TRUE(
            press_selection_hotkey(app, source, [&] { return visible(app.window()) && text(keyword_box) == keyword; }))
            << "the keyword box holds '" << utf8(text(keyword_box)) << "'; the source got '" << utf8(source.keys())
            << "'";
        EXPECT_FALSE(source.got(L"C+C")) << utf8(source.keys());
        EXPECT_EQ(source.got(L"C+Ins"), !c.remote) << utf8(source.keys());
        const std::optional<Clipboard> after = read_clipboard();
        EXPECT_TRUE(after == kBefore) << describe(after);
        if (c.remote) {
            EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
        }
        EXPECT_EQ(app.stop(), 0u);
    }
}

TEST(SelectionHotkey, WithoutTheSectionTheCombinationReachesTheProgramInFront) {
    for (const char* file : {"none", "switched off"}) {
        SCOPED_TRACE(file);
        Velvane app;
        if (std::string(file) == "switched off")
            write_bytes(app.program_dir() / L"Setup.ini", gbk(L"[划词搜索]\r\n功能键=5\r\n键代码=0\r\n"));
        app.start();
        ASSERT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);

        set_clipboard(kBefore);
        const DWORD sequence = GetClipboardSequenceNumber();
        SelectionSource source(L"选中的文字", true);
        source.activate();
        ASSERT_NE(press_until('W', {VK_CONTROL, VK_MENU}, [&] { return source.got(L"C+A+W"); }), 0)
            << "Ctrl+Alt+W never reached the source whole: " << utf8(source.keys());
        EXPECT_FALSE(visible(app.window()));
        EXPECT_FALSE(source.got(L"C+C")) << "something sent the copy shortcut";
        EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
        EXPECT_EQ(app.stop(), 0u);
    }
}

TEST(SelectionHotkey, TakenCombinationGivesTheBalloonWithItsName) {
    struct HeldHotkey {
        HeldHotkey() : held(RegisterHotKey(nullptr, 0x5EEE, MOD_CONTROL | MOD_ALT, 'W') != FALSE) {}
        ~HeldHotkey() {
            if (held) UnregisterHotKey(nullptr, 0x5EEE);
        }
        bool held;
    } taken;
    ASSERT_TRUE(taken.held) << "Ctrl+Alt+W is already taken on this desktop";
    Velvane app;
    write_bytes(app.program_dir() / L"Setup.ini", gbk(kCtrlAltWSection));
    app.start();
    EXPECT_TRUE(wait_until([] { return balloon_shown(L"划词搜索快捷键 Ctrl+Alt+W 注册失败，可能已被其他程序占用。"); }))
        << "no balloon about the taken selection hotkey";
    // Alt+W is not concerned.
    EXPECT_NE(press_until('W', {VK_MENU}, [&] { return !visible(app.window()); }), 0);
    EXPECT_EQ(app.stop(), 0u);
}

}  // namespace
}  // namespace e2e
