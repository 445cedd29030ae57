#include "app/user_pages_win.h"

#include <shellapi.h>

#include "win/file_win.h"
#include "win/handles.h"
#include "win/wide_text.h"

namespace velvane {
namespace {

std::uint64_t join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

std::wstring folder_of(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

// The example goes to a temporary file beside the target, which then takes
// the target's name in one move that refuses to replace a file: a file the
// user made meanwhile is never overwritten, and no half-written file is
// ever seen under the name.
enum class Example { Written, AlreadyThere, Failed };

Example write_example(const std::wstring& path) {
    if (file_stamp(path).exists) return Example::AlreadyThere;
    const std::wstring temporary = write_temporary_file(path, kUserPagesExample);
    if (temporary.empty()) return Example::Failed;
    if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) return Example::Written;
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Example::AlreadyThere : Example::Failed;
}

bool shell_opened(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

}  // namespace

FileStamp file_stamp(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    stamp.last_write = join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    stamp.size = join(data.nFileSizeHigh, data.nFileSizeLow);
    return stamp;
}

UserPagesFile::Reading UserPagesFile::read(UserPages& pages) {
    // The stamp before the bytes: a write that comes while reading makes the
    // next check see a change and read again.
    const FileStamp stamp = file_stamp(path_);
    last_seen_ = stamp;
    FileBytes file =
        stamp.directory ? FileBytes{FileStatus::Unreadable, {}} : read_file_start(path_, kUserPagesMaxBytes + 1);
    switch (file.status) {
    case FileStatus::Missing:
        read_stamp_ = {};
        retry_ = false;
        pages = UserPages();
        return Reading::Pages;
    case FileStatus::Unreadable:
        read_stamp_ = stamp;
        retry_ = true;
        return Reading::Unreadable;
    case FileStatus::Read:
        break;
    }
    read_stamp_ = stamp;
    retry_ = false;
    pages = read_user_pages(file.bytes);
    return Reading::Pages;
}

bool UserPagesFile::changed_and_settled() {
    const FileStamp now = file_stamp(path_);
    const bool settled = now == last_seen_;
    last_seen_ = now;
    return settled && (now != read_stamp_ || retry_);
}

std::wstring open_user_pages_file(HWND owner, const std::wstring& path) {
    if (write_example(path) == Example::Failed)
        return L"无法在 Velvane 的文件夹里写入 Engines.ini 示例：请把 Velvane 放在可以写入的文件夹里。";
    const std::wstring folder = folder_of(path);
    if (shell_opened(ShellExecuteW(owner, L"open", path.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL))) return {};
    // No program is registered for .ini files: Notepad is always there.
    const std::wstring argument = L"\"" + path + L"\"";
    if (shell_opened(ShellExecuteW(owner, L"open", L"notepad.exe", argument.c_str(), folder.c_str(), SW_SHOWNORMAL)))
        return {};
    return L"无法打开 Engines.ini：没有能编辑它的程序。";
}

int add_user_page_mark(HIMAGELIST images, std::string_view mark, std::uint32_t colour) {
    constexpr int kSize = 16;
    constexpr COLORREF kTransparent = RGB(255, 0, 255);
    const COLORREF square = RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    // Dark letters on a light square, white ones on a dark square.
    const unsigned luminance = (299 * ((colour >> 16) & 0xFF) + 587 * ((colour >> 8) & 0xFF) + 114 * (colour & 0xFF));
    const COLORREF letter = luminance > 150'000 ? RGB(0, 0, 0) : RGB(255, 255, 255);

    const WindowDc screen(nullptr);
    const UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap) return -1;
    {
        const SelectedObject selected(dc.get(), bitmap.get());
        const UniqueBrush background(CreateSolidBrush(kTransparent));
        const UniqueBrush fill(CreateSolidBrush(square));
        RECT whole = {0, 0, kSize, kSize};
        FillRect(dc.get(), &whole, background.get());
        RECT inner = {1, 1, kSize - 1, kSize - 1};
        FillRect(dc.get(), &inner, fill.get());
        const UniqueFont font(CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                          DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
        const SelectedObject selected_font(dc.get(), font.get());
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), letter);
        std::wstring text = to_wide(mark);
        DrawTextW(dc.get(), text.data(), static_cast<int>(text.size()), &inner,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        GdiFlush();
    }
    return ImageList_AddMasked(images, bitmap.get(), kTransparent);
}

std::wstring caption_text(std::string_view caption) {
    std::wstring text;
    for (const wchar_t c : to_wide(caption)) {
        if (c == L'&') text += L'&';
        text += c;
    }
    return text;
}

}  // namespace velvane
