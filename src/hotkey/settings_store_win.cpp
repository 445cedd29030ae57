#include "hotkey/settings_store_win.h"

#include <windows.h>

#include <optional>
#include <string>

#include "hotkey/settings_file.h"
#include "win/handles.h"

namespace velvane {
namespace {

// Far beyond any real Setup.ini; a file this big is not ours to rewrite.
constexpr LONGLONG kMaxSettingsBytes = 16 * 1024 * 1024;

// The current content: empty bytes when there is no file, nullopt when the
// file is there but cannot be read (rewriting it from nothing would lose what
// else it holds).
std::optional<std::string> read_existing(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::string();
        return std::nullopt;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxSettingsBytes) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr))
            return std::nullopt;
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

bool write_new_file(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    // On disk before it takes Setup.ini's place: a power cut must not leave
    // an empty file behind the move.
    return FlushFileBuffers(file.get()) != FALSE;
}

// The whole new content in place of the file, in one move.
bool replace_file(const std::wstring& path, const std::string& content) {
    const std::wstring temporary = path + L".tmp";
    const bool stored = write_new_file(temporary, content) &&
                        MoveFileExW(temporary.c_str(), path.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!stored) DeleteFileW(temporary.c_str());
    return stored;
}

}  // namespace

bool write_hotkey_settings(const std::wstring& settings_path, int modifier_index, int key_index) {
    const std::optional<std::string> current = read_existing(settings_path);
    if (!current) return false;
    const std::optional<std::string> content = store_settings(*current, modifier_index, key_index);
    // Neither index names a choice: there is nothing to store.
    if (!content) return false;
    return replace_file(settings_path, *content);
}

bool reset_hotkey_settings(const std::wstring& settings_path) {
    // Read first: a file that holds more than the hotkey keeps the rest.
    const std::optional<std::string> current = read_existing(settings_path);
    if (!current) return false;
    if (const std::optional<std::string> content = reset_settings(*current))
        return replace_file(settings_path, *content);
    if (DeleteFileW(settings_path.c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace velvane
