#include "app/run_at_startup.h"

namespace velvane {

std::wstring run_value_for(std::wstring_view executable_path) {
    if (executable_path.find(L' ') == std::wstring_view::npos) return std::wstring(executable_path);
    return L"\"" + std::wstring(executable_path) + L"\"";
}

std::wstring folder_of(std::wstring_view executable_path) {
    const std::size_t slash = executable_path.find_last_of(L"\\/");
    return std::wstring(executable_path.substr(0, slash == std::wstring_view::npos ? 0 : slash));
}

bool run_at_startup_enabled(const RunKeyStore& store) {
    return store.exists(RunKeyScope::Machine) || store.exists(RunKeyScope::User);
}

bool set_run_at_startup(RunKeyStore& store, const FolderAccess& folders, bool on, std::wstring_view executable_path) {
    if (on) {
        const std::wstring value = run_value_for(executable_path);
        const bool machine_wide = !folders.writable_by_ordinary_users(folder_of(executable_path));
        if (!machine_wide || !store.write(RunKeyScope::Machine, value)) store.write(RunKeyScope::User, value);
    } else {
        store.remove(RunKeyScope::Machine);
        store.remove(RunKeyScope::User);
    }
    return run_at_startup_enabled(store);
}

}  // namespace velvane
