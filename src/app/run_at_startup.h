// "开机自动运行": the value RimuSearch under the Run key, machine-wide where
// the user may write there, else for the user alone.
#pragma once

#include <string>
#include <string_view>

namespace velvane {

inline constexpr std::wstring_view kRunKeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::wstring_view kRunValueName = L"RimuSearch";

// Where the value may live: the machine's Run key first, then the user's.
enum class RunKeyScope { Machine, User };

// The registry as the command sees it, so that a refused write can be tested.
class RunKeyStore {
public:
    virtual ~RunKeyStore() = default;
    virtual bool exists(RunKeyScope scope) const = 0;
    virtual bool write(RunKeyScope scope, const std::wstring& value) = 0;
    virtual void remove(RunKeyScope scope) = 0;
};

// The value text: the executable's full path, quoted when it holds a blank so
// that Windows cannot start "C:\Program.exe" in its place.
std::wstring run_value_for(std::wstring_view executable_path);

// Whether starting with the system is on: the value exists in either key.
bool run_at_startup_enabled(const RunKeyStore& store);

// Switches it on (machine-wide, or for the user when the machine-wide write is
// refused) or off (both keys). Returns whether the value exists afterwards:
// that, and not the wish, is what the check mark shows.
bool set_run_at_startup(RunKeyStore& store, bool on, std::wstring_view executable_path);

}  // namespace velvane
