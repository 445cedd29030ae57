// Whole files in and out: small files such as Setup.ini are read in one
// piece and replaced in one step.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace velvane {

enum class FileStatus {
    Read,        // the bytes are the file's
    Missing,     // neither the file nor, perhaps, its folder is there
    Unreadable,  // it is there but could not be read: locked, a folder, no access, or beyond the size limit
};

struct FileBytes {
    FileStatus status = FileStatus::Missing;
    std::string bytes;  // empty unless Read
};

// The whole file, read while others may still read, write or delete it. A file
// larger than max_bytes is not read at all (Unreadable).
[[nodiscard]] FileBytes read_file_bytes(const std::wstring& path, std::size_t max_bytes);

// The first `limit` bytes of the file, whatever its size, read while others
// may still read, write or delete it: a reader that reports a file as too
// long asks for one byte more than it takes.
[[nodiscard]] FileBytes read_file_start(const std::wstring& path, std::size_t limit);

// Replaces the file with these bytes, all or nothing: they go to a new
// temporary file beside it (write_temporary_file), which then takes the
// file's place: by ReplaceFileW where the file is there, which keeps its
// attributes and security and replaces a link's target, not the link; by a
// move where it is not. False when nothing changed (the temporary file is
// removed again).
[[nodiscard]] bool replace_file(const std::wstring& path, std::string_view bytes);

// Writes the bytes to a new file beside `beside` (in its folder, named after
// it), flushed to disk, and returns the new file's path; empty when any of it
// failed, and then nothing is left behind. The name is one no file had: the
// file is created new, never opened where something (a link, say) waits
// under the name.
[[nodiscard]] std::wstring write_temporary_file(const std::wstring& beside, std::string_view bytes);

// Whether the path names a file (not a folder) that is there.
bool is_file(const std::wstring& path);

// The path's attributes, as GetFileAttributesW gives them: INVALID_FILE_ATTRIBUTES
// with the error left for GetLastError when they cannot be had. (Asked with
// GetFileAttributesExW, which the program imports already.)
DWORD file_attributes(const std::wstring& path);

// Deletes the file; true when no file is left, also when there was none.
[[nodiscard]] bool delete_file(const std::wstring& path);

}  // namespace velvane
