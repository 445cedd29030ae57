// "开机自动运行": the value RimuSearch under the Run key, machine-wide where
// only administrators can change the program's folder and the user may write
// the machine's key, else for the user alone.
#pragma once

#include <string>
#include <string_view>

namespace velvane {

inline constexpr std::wstring_view kRunKeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::wstring_view kRunValueName = L"RimuSearch";

// Where the value may live: the machine's Run key, or the user's.
enum class RunKeyScope { Machine, User };

// The registry as the command sees it, so that a refused write can be tested.
class RunKeyStore {
public:
    virtual ~RunKeyStore() = default;
    virtual bool exists(RunKeyScope scope) const = 0;
    virtual bool write(RunKeyScope scope, const std::wstring& value) = 0;
    virtual void remove(RunKeyScope scope) = 0;
};

// Who may change the files of a folder, as the command needs to know it.
class FolderAccess {
public:
    virtual ~FolderAccess() = default;
    // Whether a user without administrator rights can put, replace or delete
    // files in the folder; true when that cannot be told.
    virtual bool writable_by_ordinary_users(const std::wstring& folder) const = 0;
};

// The value text: the executable's full path, quoted when it holds a blank so
// that Windows cannot start "C:\Program.exe" in its place.
std::wstring run_value_for(std::wstring_view executable_path);

// The folder that holds the executable: its path up to the last backslash.
std::wstring folder_of(std::wstring_view executable_path);

// Whether starting with the system is on: the value exists in either key.
bool run_at_startup_enabled(const RunKeyStore& store);

// Switches it on or off (both keys). On writes the machine-wide value only for
// a program whose folder ordinary users cannot change: every user's logon,
// administrators' included, starts that program and the skin library beside
// it. Otherwise, or when the machine-wide write is refused, it writes the
// user's value. Returns whether the value exists afterwards: that, and not the
// wish, is what the check mark shows.
bool set_run_at_startup(RunKeyStore& store, const FolderAccess& folders, bool on, std::wstring_view executable_path);

}  // namespace velvane
