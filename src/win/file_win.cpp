#include "win/file_win.h"

#include "win/handles.h"

namespace velvane {
namespace {

bool is_missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

namespace {

// Writes all the bytes to the file and flushes them to disk: a power cut
// must not leave an empty file behind the step that puts it in place.
bool write_all(HANDLE file, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return FlushFileBuffers(file) != FALSE;
}

// Whether this process could delete the file now: nothing holds it open
// without sharing that, and the rights allow it.
bool deletable(const std::wstring& path) {
    const UniqueFile file(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

}  // namespace

std::wstring write_temporary_file(const std::wstring& beside, std::string_view bytes) {
    // The process and a count make the name; a name someone else took is
    // passed over for the next, a failure of another kind ends the attempt.
    static unsigned counter = 0;
    const auto hex = [](std::wstring& out, unsigned long value) {
        for (int shift = 28; shift >= 0; shift -= 4) out += L"0123456789abcdef"[(value >> shift) & 0xF];
    };
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring temporary = beside + L".";
        hex(temporary, GetCurrentProcessId());
        temporary += L"-";
        hex(temporary, ++counter ^ static_cast<unsigned>(GetTickCount64()));
        temporary += L".tmp";
        UniqueFile file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return {};
        }
        const bool written = write_all(file.get(), bytes);
        file.reset();
        if (written) return temporary;
        DeleteFileW(temporary.c_str());
        return {};
    }
    return {};
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
    const bool there = file_attributes(path) != INVALID_FILE_ATTRIBUTES || !is_missing(GetLastError());
    // A file held open without leave to delete it (an editor, a virus
    // scanner) cannot be replaced: nothing is written then (Wine's
    // ReplaceFileW would leave a file of its own behind).
    if (there && !deletable(path)) return false;
    const std::wstring temporary = write_temporary_file(path, bytes);
    if (temporary.empty()) return false;
    bool replaced = there && ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, 0, nullptr, nullptr);
    // No file, or gone meanwhile: the new one takes the name, unless another
    // file has taken it first.
    if (!replaced && (!there || is_missing(GetLastError())))
        replaced = MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!replaced) DeleteFileW(temporary.c_str());
    return replaced;
}

bool delete_file(const std::wstring& path) { return DeleteFileW(path.c_str()) || is_missing(GetLastError()); }

DWORD file_attributes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? data.dwFileAttributes
                                                                            : INVALID_FILE_ATTRIBUTES;
}

bool is_file(const std::wstring& path) {
    const DWORD attributes = file_attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace velvane
