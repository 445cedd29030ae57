// Stands in for the web browser in the end-to-end tests: the test prefix's
// http and https handlers run `urllog.exe "%1"` (or, as older browsers
// register themselves, `urllog.exe %1`), and this appends the URL it was
// given, as UTF-8, plus a newline to a log file.
//
//   urllog.exe --log FILE URL   logs to FILE instead (a second browser, named
//                               by a page's own browser line)
//   VELVANE_URL_LOG          the log file (default: urls.log beside this program)
//   VELVANE_URLLOG_DELAY_MS  wait this long before logging (a slow browser)
//   VELVANE_URLLOG_FOLDER    when set, each line ends with a tab and the folder
//                            the logger was started in (an editor's working folder)
//
// Linked for the GUI subsystem: as a console program it would get a console
// window from Wine that takes the foreground and covers the window under test.
//
// It reads its command line as a browser does: split into arguments by the
// rules of CommandLineToArgvW. One argument is the URL. Any other count means
// the URL did not arrive whole (a blank, a quote or a backslash before a
// quote split it or ate a quote): the line then says how many arguments came
// and lists them separated by tabs, so no test mistakes it for the URL it
// expected.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "test_text.h"

namespace {

using test_text::utf8;

std::wstring environment(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

// The arguments after the program's name.
std::vector<std::wstring> arguments() {
    int count = 0;
    wchar_t** split = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> out;
    for (int i = 1; split && i < count; ++i) out.emplace_back(split[i]);
    if (split) LocalFree(split);
    return out;
}

// "--log FILE" first: the file, and the arguments without them.
std::wstring log_option(std::vector<std::wstring>& args) {
    if (args.size() < 2 || args[0] != L"--log") return {};
    std::wstring file = args[1];
    args.erase(args.begin(), args.begin() + 2);
    return file;
}

std::wstring log_path() {
    std::vector<std::wstring> args = arguments();
    if (std::wstring file = log_option(args); !file.empty()) return file;
    std::wstring path = environment(L"VELVANE_URL_LOG");
    if (!path.empty()) return path;
    path.assign(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    path.resize(n);
    path.erase(path.find_last_of(L'\\') + 1);
    return path + L"urls.log";
}

// The one argument after the program's name, or the count and every argument.
std::wstring logged_line() {
    std::vector<std::wstring> args = arguments();
    log_option(args);
    if (args.size() == 1) return args[0];
    std::wstring line = L"<" + std::to_wstring(args.size()) + L" arguments>";
    for (const std::wstring& argument : args) line += L'\t' + argument;
    return line;
}

}  // namespace

int wmain(int, wchar_t**) {
    if (const std::wstring delay = environment(L"VELVANE_URLLOG_DELAY_MS"); !delay.empty())
        Sleep(static_cast<DWORD>(_wtoi(delay.c_str())));

    std::wstring line = logged_line();
    if (!environment(L"VELVANE_URLLOG_FOLDER").empty()) {
        std::wstring folder(MAX_PATH, L'\0');
        folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
        line += L'\t' + folder;
    }
    const std::string bytes = utf8(line) + '\n';

    // Browsers may be started several at once: the file is opened for
    // appending without write sharing, so each line goes in whole, and a
    // logger that finds the file busy tries again.
    const std::wstring path = log_path();
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
        Sleep(10);
    }
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size() ? 0 : 1;
}
