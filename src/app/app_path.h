// "从“运行”对话框搜索": Velvane under the user's App Paths, so that the Run
// box (Win+R) and the shell find "velvane" by name:
//   HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\App Paths\velvane.exe
// its default value the executable's full path. No Path value: the program
// loads nothing by name from its folder, and a folder of its own at the head
// of its PATH would let a program planted beside it pass for a browser that
// is looked up by name.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velvane {

inline constexpr std::wstring_view kAppPathKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\velvane.exe";

// The key as the command sees it, so that the rules can be tested.
class AppPathStore {
public:
    virtual ~AppPathStore() = default;
    // The key's default value; nothing when there is no key (or no value).
    virtual std::optional<std::wstring> read() const = 0;
    // Creates the key with the path as its default value.
    [[nodiscard]] virtual bool write(const std::wstring& executable_path) = 0;
    // Deletes the key, and only that key.
    virtual void remove() = 0;
};

// On: the key is there and names this executable (paths compared as Windows
// does, without regard to case or quotes around them).
bool app_path_enabled(const AppPathStore& store, std::wstring_view executable_path);

// Switches it on or off; returns whether it is on afterwards, which is what
// the check mark shows. Off removes the key only when it names this
// executable: another copy's registration stays that copy's.
[[nodiscard]] bool set_app_path(AppPathStore& store, bool on, std::wstring_view executable_path);

// At start: the key names an executable that is no longer there (Velvane's
// folder was moved or renamed), so this one takes its place.
void follow_moved_executable(AppPathStore& store, std::wstring_view executable_path,
                             const std::function<bool(const std::wstring&)>& file_exists);

}  // namespace velvane
