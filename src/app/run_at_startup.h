// "开机自动运行": the value RimuSearch under the Run key, machine-wide where
// nobody but the system's own accounts and the administrators can change what
// would start and the user may write the machine's key, else for the user
// alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
    // True when the value was written.
    [[nodiscard]] virtual bool write(RunKeyScope scope, const std::wstring& value) = 0;
    virtual void remove(RunKeyScope scope) = 0;
};

// Who may change the program that a Run value would start.
class ProgramAccess {
public:
    virtual ~ProgramAccess() = default;
    // Whether anyone but SYSTEM, the Administrators and TrustedInstaller can
    // change what starts: the executable, the skin files beside it, its
    // folder, or a folder above it up to the root (whoever may rename one of
    // those can put another folder in its place). True when that cannot be
    // told.
    virtual bool changeable_by_others(std::wstring_view executable_path) const = 0;
};

// The value text: the executable's full path, quoted when it holds a blank so
// that Windows cannot start "C:\Program.exe" in its place.
std::wstring run_value_for(std::wstring_view executable_path);

// The folders that hold the executable, its own first, then each one above
// it up to the root ("C:\", "\\server\share\", "\\?\C:\"), which ends in a
// backslash ("C:" alone would be the current folder of drive C). Empty when
// the path has no root.
std::vector<std::wstring> folders_up_to_root(std::wstring_view executable_path);

// Whether starting with the system is on: the value exists in either key.
bool run_at_startup_enabled(const RunKeyStore& store);

// What "开机自动运行" is after a switch.
enum class RunAtStartup {
    Off,  // no value in either key
    On,   // a value in one of them
    // Switched off, but the machine-wide value could not be removed (only an
    // administrator may): still on, and the user needs to be told how.
    MachineValueStays,
};

// Switches it on or off (both keys). On writes the machine-wide value only
// for a program that nobody else can change (programs_access): every user's
// logon, administrators' included, starts that program and the skin library
// beside it. Otherwise, or when the machine-wide write is refused, it writes
// the user's value. Returns what the registry holds afterwards: that, and not
// the wish, is what the check mark shows.
[[nodiscard]] RunAtStartup set_run_at_startup(RunKeyStore& store, const ProgramAccess& program_access, bool on,
                                              std::wstring_view executable_path);

}  // namespace velvane
