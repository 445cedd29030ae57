// The list under the keyword box on the real window: search suggestions
// from a loopback server this test starts (Python's standard library,
// 127.0.0.1 only, stopping by itself), and recent searches kept across a
// restart, with the tray menu's three switches.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "page_actions.h"

namespace e2e {
namespace {

using namespace pages;

constexpr int kBaidu = 0;
constexpr int kForum = 7;  // the one page of the test's Engines.ini, after the seven built-in ones

// The tray menu's entries, as the arrow keys reach them from the top.
enum class Entry { RememberHistory = 3, ClearHistory = 4, ShowSuggestions = 5 };

void write_bytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

// The Unix path of a Windows one: Wine's own kernel32 export.
std::string unix_path(const std::filesystem::path& path) {
    using Fn = char*(CDECL*)(LPCWSTR);
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return {};
    char* name = fn(path.c_str());
    if (!name) return {};
    std::string out(name);
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// One answer of the server: the first rule whose `match` is part of a
// request's path answers it.
struct Rule {
    std::string match;
    std::string content_type;
    std::string body;
    double delay = 0;
};

// tests/e2e/suggest_server.py, started for the test. Wine starts a Linux
// program by fork and exec and hands back no process to wait for, so the
// server and the test talk through files in a folder of their own; the
// server ends when told to, and by itself after a bound.
class SuggestServer {
public:
    SuggestServer() {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        dir_ = std::filesystem::path(temp) / (L"velvane-suggest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                              std::to_wstring(GetTickCount64()));
        std::filesystem::create_directories(dir_);
        const char* python = std::getenv("VELVANE_PYTHON");
        std::wstring program = L"Z:" + utf16(python && *python ? python : "/usr/bin/python3");
        for (wchar_t& c : program)
            if (c == L'/') c = L'\\';
        std::wstring command =
            L"python3 \"" + utf16(VELVANE_SUGGEST_SERVER) + L"\" \"" + utf16(unix_path(dir_)) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            ADD_FAILURE() << "cannot start the suggestion server " << utf8(program);
        if (process.hProcess) CloseHandle(process.hProcess);
        if (process.hThread) CloseHandle(process.hThread);
        std::optional<std::string> port;
        if (!wait_until([&] { return (port = file_bytes(dir_ / L"port")).has_value() && !port->empty(); }, 20s))
            ADD_FAILURE() << "the suggestion server did not start";
        port_ = port ? std::stoi(*port) : 0;
    }

    ~SuggestServer() {
        write_bytes(dir_ / L"stop", "");
        wait_until([&] { return std::filesystem::exists(dir_ / L"stopped"); }, 5s);
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
    }

    int port() const { return port_; }

    void answer(const std::vector<Rule>& rules) {
        std::string json = "[";
        for (const Rule& rule : rules) {
            if (json.size() > 1) json += ",";
            json += "{\"match\":\"" + rule.match + "\",\"content_type\":\"" + rule.content_type + "\",\"body_hex\":\"" +
                    hex(rule.body) + "\",\"delay\":" + std::to_string(rule.delay) + "}";
        }
        write_bytes(dir_ / L"plan.json", json + "]");
    }

    // The paths asked for, in order, as they arrived (still percent-encoded).
    std::vector<std::string> requests() const {
        std::vector<std::string> lines;
        std::istringstream in(file_bytes(dir_ / L"requests.log").value_or(""));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::filesystem::path dir_;
    int port_ = 0;
};

// The list under the box while it shows: its list box; null otherwise.
HWND keyword_list(const Velvane& app) {
    DWORD app_pid = 0;
    GetWindowThreadProcessId(app.window(), &app_pid);
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, VELVANE_KEYWORD_LIST_CLASS, nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == app_pid && IsWindowVisible(w)) return GetDlgItem(w, velvane::ids::kKeywordList);
    }
    return nullptr;
}

// What the list shows, top to bottom; nothing while it is closed.
std::vector<std::wstring> entries(const Velvane& app) {
    std::vector<std::wstring> out;
    const HWND list = keyword_list(app);
    if (!list) return out;
    const auto count = static_cast<int>(send_message(list, LB_GETCOUNT));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = send_message(list, LB_GETTEXTLEN, static_cast<WPARAM>(i));
        if (length < 0) continue;
        std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied =
            send_message(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        out.push_back(entry);
    }
    return out;
}

using Entries = std::vector<std::wstring>;

// Waits until the file holds these bytes (nullopt: until there is none).
bool file_holds(const std::filesystem::path& path, const std::optional<std::string>& expected) {
    const bool holds = wait_until([&] { return file_bytes(path) == expected; });
    if (!holds)
        ADD_FAILURE() << utf8(path.filename().wstring()) << " holds " << testing::PrintToString(file_bytes(path));
    return holds;
}

bool list_shows(const Velvane& app, const Entries& expected) {
    const bool shown = wait_until([&] { return entries(app) == expected; });
    if (!shown) {
        std::string seen;
        for (const std::wstring& entry : entries(app)) seen += " '" + utf8(entry) + "'";
        ADD_FAILURE() << "the list shows" << (seen.empty() ? " nothing" : seen);
    }
    return shown;
}

// Opens the menu by a right press on the tab strip and picks an entry.
void pick(const Velvane& app, Entry entry) {
    // Two right presses at one spot in quick succession would make a double
    // press, which opens no menu: every other pick presses further right.
    static int picks = 0;
    RECT r{};
    GetWindowRect(app.tab(), &r);
    click_point({r.left + 12 + (++picks % 2) * 20, r.top + 10}, Button::Right);
    HWND menu = nullptr;
    ASSERT_TRUE(wait_until([&] { return (menu = open_popup_menu(app)) != nullptr; })) << "the menu did not open";
    // A pointer event on the menu (Wine sends one when the menu comes up under
    // the pointer, sometimes late) would take the highlight off the entry the
    // arrow keys reached; outside the menu it leaves it alone.
    move_mouse_off(menu);
    for (int i = 0; i < static_cast<int>(entry); ++i) press(VK_DOWN);
    // An Enter after which the menu is still open a while later was lost
    // (Wine, under load): pressed again.
    ASSERT_GT(press_until(VK_RETURN, {}, [&] { return !in_menu(app); }), 0) << "the menu stayed open";
}

std::string engines_ini(int port) {
    // UTF-8 with a byte order mark. The suggestion address ends in a marker,
    // so that a rule for "a" does not answer "ab" too.
    return "\xEF\xBB\xBF[论坛]\r\n"
           "radio = 帖子 | http://bbs.example.cn/search.php?srchtxt={keyword:gbk}\r\n"
           "suggest = http://127.0.0.1:" +
           std::to_string(port) + "/su?q={keyword:gbk}&end\r\n";
}

const std::string kSuggestionsOn = gbk(L"[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n[搜索建议]\r\n开启=1\r\n");
const std::string kForumSearch = "http://bbs.example.cn/search.php?srchtxt=";

// A started velvane.exe on the forum page of the test's Engines.ini, whose
// suggestions come from the test's server.
class Suggestions : public ::testing::Test {
protected:
    void start(bool suggestions_on) {
        write_bytes(app.program_dir() / L"Engines.ini", engines_ini(server.port()));
        if (suggestions_on) write_bytes(app.program_dir() / L"Setup.ini", kSuggestionsOn);
        app.start();
        // Ctrl+Shift+Tab from the first page goes round to the last.
        ASSERT_GT(press_until(VK_TAB, {VK_CONTROL, VK_SHIFT}, [&] { return current_page(app) == kForum; }), 0);
        ASSERT_TRUE(wait_until([&] { return app.control(edit(kForum)) && app.focus() == box(); }));
    }
    void TearDown() override { EXPECT_EQ(app.stop(), 0u) << "velvane.exe did not end cleanly on WM_CLOSE"; }

    HWND box() const { return app.control(edit(kForum)); }
    bool box_holds(std::wstring_view keyword) {
        const bool holds = wait_until([&] { return text(box()) == keyword; });
        if (!holds) ADD_FAILURE() << "the box holds '" << utf8(text(box())) << "'";
        return holds;
    }
    bool requests_are(const std::vector<std::string>& expected) {
        const bool arrived = wait_until([&] { return server.requests() == expected; });
        if (!arrived) {
            std::string seen;
            for (const std::string& request : server.requests()) seen += " " + request;
            ADD_FAILURE() << "the server was asked for" << (seen.empty() ? " nothing" : seen);
        }
        return arrived;
    }

    SuggestServer server;
    Velvane app;
};

TEST_F(Suggestions, OffTheyAskNothingUntilTurnedOnInTheMenu) {
    server.answer({{"/su", "", R"(["x",[]])"}});
    start(false);
    type(L"ab");
    ASSERT_TRUE(box_holds(L"ab"));
    // Nothing may come while suggestions are off, however long one waits.
    EXPECT_FALSE(wait_until([&] { return !server.requests().empty(); }, 1500ms));

    pick(app, Entry::ShowSuggestions);
    // Stored in a section of its own, with the hotkey Alt+W the file had
    // meant while there was none.
    EXPECT_TRUE(file_holds(app.program_dir() / L"Setup.ini", kSuggestionsOn));
    click_on(box());
    ASSERT_TRUE(wait_until([&] { return app.focus() == box(); }));
    press(VK_END);
    type(L"c");
    EXPECT_TRUE(requests_are({"/su?q=abc&end"}));
    // History stays off: no file for it.
    EXPECT_FALSE(std::filesystem::exists(app.program_dir() / L"History.txt"));
}

TEST_F(Suggestions, OneRequestForTheFinalTextInThePagesEncodingAndAGbkAnswer) {
    // 中文 is D6 D0 CE C4 in GBK; the answer is GBK, as its Content-Type says.
    server.answer(
        {{"/su", "text/javascript; charset=GBK", gbk(L"[\"中文abcd\",[\"中文abcd翻译\",\"中文abcd输入法\"]]")}});
    start(true);
    type(L"中文abcd");  // six characters at once, then a pause
    EXPECT_TRUE(list_shows(app, {L"中文abcd翻译", L"中文abcd输入法"}));
    EXPECT_TRUE(requests_are({"/su?q=%D6%D0%CE%C4abcd&end"}));
    // The next character asks again: the six before asked only once.
    type(L"e");
    EXPECT_TRUE(requests_are({"/su?q=%D6%D0%CE%C4abcd&end", "/su?q=%D6%D0%CE%C4abcde&end"}));
}

TEST_F(Suggestions, ADelayedFirstAnswerNeverReplacesTheSecond) {
    server.answer({{"q=a&", "application/json", R"(["a",["first"]])", 1.5},
                   {"q=ab&", "application/json", R"(["ab",["second"]])"}});
    start(true);
    type(L"a");
    ASSERT_TRUE(requests_are({"/su?q=a&end"}));
    type(L"b");
    bool first_seen = false;
    const bool second_shown = wait_until([&] {
        const Entries shown = entries(app);
        for (const std::wstring& entry : shown) first_seen = first_seen || entry == L"first";
        return shown == Entries{L"second"};
    });
    EXPECT_TRUE(second_shown);
    EXPECT_FALSE(first_seen);
    EXPECT_TRUE(requests_are({"/su?q=a&end", "/su?q=ab&end"}));
}

TEST_F(Suggestions, AHangingServerLeavesTheHotkeyAndSearchesWorking) {
    server.answer({{"/su", "application/json", R"(["x",["never"]])", 60}});
    start(true);
    type(L"ab");
    ASSERT_TRUE(requests_are({"/su?q=ab&end"}));
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{kForumSearch + "ab"});
    press_until('W', {VK_MENU}, [&] { return !visible(app.window()); });
    ASSERT_FALSE(visible(app.window()));
    press_until('W', {VK_MENU}, [&] { return visible(app.window()); });
    ASSERT_TRUE(wait_until([&] { return app.focus() == box(); }));
    // Given up after its bound, the request makes way for the next one.
    press(VK_END);
    type(L"c");
    EXPECT_TRUE(requests_are({"/su?q=ab&end", "/su?q=abc&end"}));
    EXPECT_TRUE(entries(app).empty());
}

TEST_F(Suggestions, DownEnterAndAClickSearchAnEntryAsTyped) {
    server.answer({{"/su", "", R"(["ab",["abc","ab \u4E2D"]])"}});
    start(true);
    type(L"ab");
    ASSERT_TRUE(list_shows(app, {L"abc", L"ab 中"}));
    press(VK_DOWN);
    EXPECT_TRUE(box_holds(L"abc"));
    press(VK_DOWN);
    EXPECT_TRUE(box_holds(L"ab 中"));
    EXPECT_EQ(send_message(keyword_list(app), LB_GETCURSEL), 1);
    press(VK_RETURN);
    EXPECT_EQ(app.wait_for_urls(1), std::vector<std::string>{kForumSearch + "ab%20%D6%D0"});
    EXPECT_TRUE(wait_until([&] { return keyword_list(app) == nullptr; }));

    // A click on an entry: searched at once, the box keeps the focus.
    ASSERT_TRUE(enter_keyword(app, kForum, L"ab"));
    ASSERT_TRUE(list_shows(app, {L"abc", L"ab 中"}));
    RECT r{};
    ASSERT_NE(send_message(keyword_list(app), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)), LB_ERR);
    MapWindowPoints(keyword_list(app), nullptr, reinterpret_cast<POINT*>(&r), 2);
    click_point(centre_of(r));
    EXPECT_EQ(app.wait_for_urls(2), (std::vector<std::string>{kForumSearch + "ab%20%D6%D0", kForumSearch + "abc"}));
    EXPECT_TRUE(box_holds(L"abc"));
    EXPECT_EQ(app.focus(), box());
}

TEST_F(Suggestions, EscClosesTheListAndLeavesTheWindow) {
    server.answer({{"/su", "", R"(["ab",["abc"]])"}});
    start(true);
    type(L"ab");
    ASSERT_TRUE(list_shows(app, {L"abc"}));
    press(VK_ESCAPE);
    EXPECT_TRUE(wait_until([&] { return keyword_list(app) == nullptr; }));
    EXPECT_TRUE(visible(app.window()));
    EXPECT_EQ(text(box()), L"ab");
    // The list closed, Esc does what it did before: nothing.
    press(VK_ESCAPE);
    type(L"c");
    EXPECT_TRUE(box_holds(L"abc"));
    EXPECT_TRUE(visible(app.window()));
}

using History = VelvaneTest;

bool search(const Velvane& app, std::wstring_view keyword, std::size_t urls_before) {
    if (!enter_keyword(app, kBaidu, keyword)) return false;
    press(VK_RETURN);
    return app.wait_for_urls(urls_before + 1).size() == urls_before + 1;
}

TEST_F(History, OffByDefaultOnItSurvivesARestartAndClearingRemovesIt) {
    const auto history = app.program_dir() / L"History.txt";
    const auto settings = app.program_dir() / L"Setup.ini";
    ASSERT_TRUE(search(app, L"旧的", 0));
    EXPECT_FALSE(std::filesystem::exists(history));
    EXPECT_FALSE(std::filesystem::exists(settings));

    pick(app, Entry::RememberHistory);
    EXPECT_TRUE(file_holds(settings, gbk(L"[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n[搜索记录]\r\n开启=1\r\n")));
    ASSERT_TRUE(search(app, L"first", 1));
    ASSERT_TRUE(search(app, L"中文", 2));
    ASSERT_TRUE(search(app, L"first", 3));
    EXPECT_TRUE(file_holds(history,
                           "\xEF\xBB\xBF"
                           "first\r\n中文\r\n"));

    // After a restart Down in the empty box lists them, newest first.
    ASSERT_EQ(app.stop(), 0u);
    app.start();
    const HWND box = app.control(edit(kBaidu));
    ASSERT_TRUE(wait_until([&] { return app.focus() == box; }));
    press(VK_DOWN);
    ASSERT_TRUE(list_shows(app, {L"first", L"中文"}));
    press(VK_DOWN);
    press(VK_DOWN);
    ASSERT_TRUE(wait_until([&] { return text(box) == L"中文"; }));
    press(VK_RETURN);
    ASSERT_EQ(app.wait_for_urls(5).size(), 5u);
    EXPECT_TRUE(file_holds(history, "\xEF\xBB\xBF中文\r\nfirst\r\n"));

    // Typing filters them: by their start, Chinese anywhere inside.
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"f"));
    EXPECT_TRUE(list_shows(app, {L"first"}));
    ASSERT_TRUE(enter_keyword(app, kBaidu, L"文"));
    EXPECT_TRUE(list_shows(app, {L"中文"}));

    pick(app, Entry::ClearHistory);
    EXPECT_TRUE(file_holds(history, std::nullopt));
    ASSERT_TRUE(enter_keyword(app, kBaidu, L""));
    press(VK_DOWN);
    EXPECT_FALSE(wait_until([&] { return keyword_list(app) != nullptr; }, 500ms));

    // Turned off, it deletes its file and keeps nothing more.
    ASSERT_TRUE(search(app, L"again", 5));
    // (Written before the search's URL goes, or by a try again a moment later.)
    EXPECT_TRUE(file_holds(history,
                           "\xEF\xBB\xBF"
                           "again\r\n"));
    pick(app, Entry::RememberHistory);
    EXPECT_TRUE(file_holds(history, std::nullopt));
    EXPECT_TRUE(file_holds(settings, gbk(L"[快捷键设置]\r\n功能键=4\r\n键代码=87\r\n[搜索记录]\r\n开启=0\r\n")));
    ASSERT_TRUE(search(app, L"not kept", 6));
    EXPECT_FALSE(std::filesystem::exists(history));
}

// A history file that another program holds for a moment (a virus scanner,
// the indexer) is written once it is let go, and nothing is said.
TEST(HistoryFile, HeldForAMomentIsWrittenOnceLetGo) {
    Velvane app;
    const auto history = app.program_dir() / L"History.txt";
    write_bytes(app.program_dir() / L"Setup.ini", gbk(L"[搜索记录]\r\n开启=1\r\n"));
    write_bytes(history, "\xEF\xBB\xBFold\r\n");
    app.start();
    const HANDLE held = CreateFileW(history.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(search(app, L"new", 0));
    CloseHandle(held);
    EXPECT_TRUE(file_holds(history, "\xEF\xBB\xBFnew\r\nold\r\n"));
    EXPECT_FALSE(balloon_shown(L"无法在 Velvane 所在的文件夹里保存搜索记录，这次运行不再保存。"));
    EXPECT_EQ(app.stop(), 0u);
}

// A history file that cannot be written (here a folder stands in its
// place): one balloon, and the program goes on with the searches in memory.
TEST(HistoryFile, ThatCannotBeWrittenGivesABalloonAndTheSearchesGoOn) {
    Velvane app;
    std::filesystem::create_directories(app.program_dir() / L"History.txt");
    write_bytes(app.program_dir() / L"Setup.ini", gbk(L"[搜索记录]\r\n开启=1\r\n"));
    app.start();
    ASSERT_TRUE(search(app, L"a", 0));
    const auto told = [] {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"tooltips_class32", nullptr));)
            if (visible(w) && text(w).find(L"无法在 Velvane 所在的文件夹里保存搜索记录") != std::wstring::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(wait_until(told)) << "no balloon about the history file";
    ASSERT_TRUE(search(app, L"b", 1));
    ASSERT_TRUE(enter_keyword(app, kBaidu, L""));
    press(VK_DOWN);
    EXPECT_TRUE(list_shows(app, {L"b", L"a"}));
    EXPECT_TRUE(std::filesystem::is_directory(app.program_dir() / L"History.txt"));
    EXPECT_EQ(app.stop(), 0u);
}

}  // namespace
}  // namespace e2e
