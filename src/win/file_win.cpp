#include "win/file_win.h"

#include "win/handles.h"

namespace velvane {
namespace {

bool is_missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

bool write_new_file(const std::wstring& path, std::string_view bytes) {
    const UniqueFile file(
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
    // On disk before it takes the file's place: a power cut must not leave
    // an empty file behind the move.
    return FlushFileBuffers(file.get()) != FALSE;
}

namespace {

UniqueFile open_for_reading(const std::wstring& path) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Up to `limit` bytes from the file's current position; fewer when the file
// ends (or shrank meanwhile).
FileBytes read_up_to(HANDLE file, std::size_t limit) {
    std::string bytes(limit, '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr))
            return {FileStatus::Unreadable, {}};
        if (read == 0) break;
        done += read;
    }
    bytes.resize(done);
    return {FileStatus::Read, std::move(bytes)};
}

}  // namespace

FileBytes read_file_bytes(const std::wstring& path, std::size_t max_bytes) {
    const UniqueFile file = open_for_reading(path);
    if (!file) return {is_missing(GetLastError()) ? FileStatus::Missing : FileStatus::Unreadable, {}};
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > max_bytes)
        return {FileStatus::Unreadable, {}};
    return read_up_to(file.get(), static_cast<std::size_t>(size.QuadPart));
}

FileBytes read_file_start(const std::wstring& path, std::size_t limit) {
    const UniqueFile file = open_for_reading(path);
    if (!file) return {is_missing(GetLastError()) ? FileStatus::Missing : FileStatus::Unreadable, {}};
    return read_up_to(file.get(), limit);
}

bool replace_file(const std::wstring& path, std::string_view bytes) {
    const std::wstring temporary = path + L".tmp";
    const bool replaced =
        write_new_file(temporary, bytes) &&
        MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!replaced) DeleteFileW(temporary.c_str());
    return replaced;
}

bool delete_file(const std::wstring& path) { return DeleteFileW(path.c_str()) || is_missing(GetLastError()); }

}  // namespace velvane
