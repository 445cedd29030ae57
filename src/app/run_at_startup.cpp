#include "app/run_at_startup.h"

namespace velvane {
namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// How many characters of the path make its root, with the backslash after
// it; 0 when it has none.
std::size_t root_length(std::wstring_view path) {
    std::size_t start = 0;
    bool share = false;
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        start = 8;
        share = true;
    } else if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) {
        start = 4;
    } else if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        start = 2;
        share = true;
    }
    if (share) {
        // \\server\share\ : two names, each followed by a separator.
        std::size_t end = start;
        for (int name = 0; name < 2; ++name) {
            while (end < path.size() && !is_separator(path[end])) ++end;
            if (end == path.size() || end == start) return 0;
            start = ++end;
        }
        return end;
    }
    const bool drive = path.size() >= start + 3 && path[start + 1] == L':' && is_separator(path[start + 2]);
    return drive ? start + 3 : 0;
}

}  // namespace

std::wstring run_value_for(std::wstring_view executable_path) {
    if (executable_path.find(L' ') == std::wstring_view::npos) return std::wstring(executable_path);
    return L"\"" + std::wstring(executable_path) + L"\"";
}

std::vector<std::wstring> folders_up_to_root(std::wstring_view executable_path) {
    const std::size_t root = root_length(executable_path);
    if (root == 0) return {};
    std::vector<std::wstring> folders;
    std::size_t end = executable_path.size();
    while (true) {
        // The folder is what lies before the last separator beyond the root.
        while (end > root && !is_separator(executable_path[end - 1])) --end;
        if (end <= root) break;
        while (end > root && is_separator(executable_path[end - 1])) --end;
        if (end <= root) break;
        folders.emplace_back(executable_path.substr(0, end));
    }
    folders.emplace_back(executable_path.substr(0, root));
    return folders;
}

bool run_at_startup_enabled(const RunKeyStore& store) {
    return store.exists(RunKeyScope::Machine) || store.exists(RunKeyScope::User);
}

RunAtStartup set_run_at_startup(RunKeyStore& store, const ProgramAccess& program_access, bool on,
                                std::wstring_view executable_path) {
    if (on) {
        const std::wstring value = run_value_for(executable_path);
        const bool machine_wide = !program_access.changeable_by_others(executable_path);
        // Whether the user's value took is what the keys say afterwards.
        if (!machine_wide || !store.write(RunKeyScope::Machine, value))
            static_cast<void>(store.write(RunKeyScope::User, value));
    } else {
        store.remove(RunKeyScope::Machine);
        store.remove(RunKeyScope::User);
        if (store.exists(RunKeyScope::Machine)) return RunAtStartup::MachineValueStays;
    }
    return run_at_startup_enabled(store) ? RunAtStartup::On : RunAtStartup::Off;
}

}  // namespace velvane
