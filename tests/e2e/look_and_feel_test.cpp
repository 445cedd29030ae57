// The look and feel of a current Windows program: the executable's icon group
// and version block, the window's icon, every page laid out inside the tab
// control without overlap at the DPI of the prefix, and the keyboard between
// pages and controls. scripts/test.sh runs the layout and icon tests a second
// time in a prefix at 144 DPI, with VELVANE_EXPECT_DPI=144.
//
// With VELVANE_SCREENSHOT_DIR set, the layout test also saves a shot of the
// window on each page there (page<N>-<DPI>dpi.bmp), for a person to look at.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

namespace ids = velvane::ids;

constexpr int kPages = 7;

// RT_ICON and RT_GROUP_ICON as wide names (this file is built without UNICODE).
const LPCWSTR kIconType = MAKEINTRESOURCEW(3);
const LPCWSTR kIconGroupType = MAKEINTRESOURCEW(14);

std::wstring environment_variable(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? value : L"";
}

// ---- The executable's resources ----

// The executable as a user has it, opened for its resources only.
class ResourceFile {
public:
    explicit ResourceFile(const std::filesystem::path& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceFile() {
        if (module_) FreeLibrary(module_);
    }
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

    HMODULE module() const { return module_; }

    // The names of the resources of a type; numeric names as numbers.
    std::vector<ULONG_PTR> names(LPCWSTR type) const {
        std::vector<ULONG_PTR> found;
        EnumResourceNamesW(
            module_, type,
            [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
                reinterpret_cast<std::vector<ULONG_PTR>*>(list)->push_back(
                    IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : ~ULONG_PTR{0});
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&found));
        return found;
    }

    // The bytes of one resource; empty when there is none.
    std::string bytes(LPCWSTR type, ULONG_PTR name) const {
        const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(name), type);
        if (!found) return {};
        const HGLOBAL loaded = LoadResource(module_, found);
        const auto* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        return data ? std::string(data, SizeofResource(module_, found)) : std::string();
    }

private:
    HMODULE module_;
};

// One entry of an icon group resource (GRPICONDIRENTRY, packed).
struct IconEntry {
    int size;  // 0 in the file means 256
    int bit_count;
    DWORD bytes;
    WORD id;
};

std::vector<IconEntry> icon_entries(const std::string& group) {
    std::vector<IconEntry> entries;
    const auto byte_at = [&](std::size_t at) { return static_cast<unsigned char>(group[at]); };
    const auto word_at = [&](std::size_t at) { return static_cast<WORD>(byte_at(at) | byte_at(at + 1) << 8); };
    if (group.size() < 6) return entries;
    const std::size_t count = word_at(4);
    for (std::size_t i = 0, at = 6; i < count && at + 14 <= group.size(); ++i, at += 14) {
        const int width = byte_at(at);
        const DWORD bytes = word_at(at + 8) | static_cast<DWORD>(word_at(at + 10)) << 16;
        entries.push_back({width == 0 ? 256 : width, word_at(at + 6), bytes, word_at(at + 12)});
    }
    return entries;
}

TEST(LookAndFeel, ExecutableHasTheNineSizeIconAndTheVersionBlock) {
    const Velvane app;  // not started: its copy of the exe is the file a user gets
    const auto exe = app.program_dir() / L"velvane.exe";

    const ResourceFile file(exe);
    ASSERT_NE(file.module(), nullptr);
    const auto groups = file.names(kIconGroupType);
    ASSERT_EQ(groups.size(), 1u) << "one icon group, shown for the file itself";
    std::vector<int> sizes;
    for (const IconEntry& entry : icon_entries(file.bytes(kIconGroupType, groups[0]))) {
        SCOPED_TRACE(entry.size);
        sizes.push_back(entry.size);
        EXPECT_EQ(entry.bit_count, 32);
        EXPECT_EQ(file.bytes(kIconType, entry.id).size(), entry.bytes) << "the image of the entry is missing";
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 72, 96, 128, 256}));

    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeW(exe.c_str(), &ignored), '\0');
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    // The project version of the build.
    const DWORD version_ms = MAKELONG(VELVANE_VERSION_MINOR, VELVANE_VERSION_MAJOR);
    const DWORD version_ls = MAKELONG(VELVANE_VERSION_TWEAK, VELVANE_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, version_ms);
    EXPECT_EQ(fixed->dwFileVersionLS, version_ls);
    EXPECT_EQ(fixed->dwProductVersionMS, version_ms);
    EXPECT_EQ(fixed->dwProductVersionLS, version_ls);

    void* translations = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translations, &length));
    ASSERT_GE(length, 4u);
    const auto* translation = static_cast<const WORD*>(translations);
    wchar_t prefix[64] = {};
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const auto string_value = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring path = prefix + std::wstring(name);
        if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars) || !value)
            return std::string("(none)");
        return utf8(value);
    };
    EXPECT_EQ(string_value(L"FileVersion"), VELVANE_VERSION);
    EXPECT_EQ(string_value(L"ProductVersion"), VELVANE_VERSION);
    EXPECT_EQ(string_value(L"ProductName"), "Velvane");
    EXPECT_EQ(string_value(L"FileDescription"), utf8(L"Velvane—您的搜索专家"));
    EXPECT_NE(string_value(L"CompanyName"), "(none)");
    EXPECT_NE(string_value(L"LegalCopyright"), "(none)");
}

// ---- The icon on screen ----

UINT dpi_of(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return get_dpi ? get_dpi(window) : 96;
}

// The window's DPI, which must be VELVANE_EXPECT_DPI when that is set: a run
// meant for 144 DPI must not pass quietly at 96.
UINT checked_dpi_of(HWND window) {
    const UINT dpi = dpi_of(window);
    if (const std::wstring expected = environment_variable(L"VELVANE_EXPECT_DPI"); !expected.empty()) {
        EXPECT_EQ(dpi, static_cast<UINT>(std::stoul(expected))) << "the prefix is not at the DPI this run is for";
    }
    return dpi;
}

// BGRA pixels, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// What the screen shows in a rectangle.
Picture capture(const RECT& area) {
    Picture shot{area.right - area.left, area.bottom - area.top, {}};
    shot.pixels.resize(static_cast<std::size_t>(shot.width * shot.height));
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::copy_n(static_cast<const std::uint32_t*>(bits), shot.pixels.size(), shot.pixels.begin());
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return shot;
}

// The image of an icon at one size, alpha included.
Picture picture_of(HICON icon) {
    Picture picture;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return picture;
    BITMAP header{};
    GetObjectW(info.hbmColor, sizeof header, &header);
    picture.width = header.bmWidth;
    picture.height = header.bmHeight;
    picture.pixels.resize(static_cast<std::size_t>(picture.width * picture.height));
    BITMAPINFO bits{};
    bits.bmiHeader.biSize = sizeof bits.bmiHeader;
    bits.bmiHeader.biWidth = picture.width;
    bits.bmiHeader.biHeight = -picture.height;
    bits.bmiHeader.biPlanes = 1;
    bits.bmiHeader.biBitCount = 32;
    bits.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(picture.height), picture.pixels.data(), &bits,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return picture;
}

// Whether `shot` shows `icon` somewhere: every fully opaque pixel of the icon
// matches the screen at one position (the translucent edge blends with
// whatever lies below).
bool shows(const Picture& shot, const Picture& icon) {
    const auto channel = [](std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); };
    for (int top = 0; top + icon.height <= shot.height; ++top) {
        for (int left = 0; left + icon.width <= shot.width; ++left) {
            bool all = true;
            for (int y = 0; y < icon.height && all; ++y) {
                for (int x = 0; x < icon.width && all; ++x) {
                    const std::uint32_t want = icon.at(x, y);
                    if (channel(want, 24) != 0xFF) continue;
                    const std::uint32_t got = shot.at(left + x, top + y);
                    for (const int shift : {0, 8, 16})
                        if (std::abs(channel(want, shift) - channel(got, shift)) > 2) all = false;
                }
            }
            if (all) return true;
        }
    }
    return false;
}

HWND tray() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

// The application icon at a size, from the executable itself.
Picture application_icon(const std::filesystem::path& exe, int size) {
    const ResourceFile file(exe);
    const auto icon =
        static_cast<HICON>(LoadImageW(file.module(), MAKEINTRESOURCEW(IDI_VELVANE), IMAGE_ICON, size, size, 0));
    if (!icon) return {};
    Picture picture = picture_of(icon);
    DestroyIcon(icon);
    return picture;
}

// The window's caption and the notification area show the application's own
// icon (another process's icons cannot be read under Wine: the screen is
// compared instead).
TEST(LookAndFeel, CaptionAndTrayShowTheApplicationIcon) {
    Velvane app;
    app.start();
    // The small icon, at the size for the window's DPI.
    const int size = MulDiv(16, static_cast<int>(checked_dpi_of(app.window())), 96);
    const Picture icon = application_icon(app.program_dir() / L"velvane.exe", size);
    ASSERT_GT(std::count_if(icon.pixels.begin(), icon.pixels.end(), [](std::uint32_t p) { return p >> 24 == 0xFF; }),
              icon.pixels.size() / 4)
        << "the small icon has too few opaque pixels to be recognised";

    RECT window{};
    GetWindowRect(app.window(), &window);
    const RECT caption{window.left, window.top, window.left + 4 * icon.width,
                       window.top + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME)};
    EXPECT_TRUE(wait_until([&] { return shows(capture(caption), icon); })) << "the caption does not show the icon";

    ASSERT_TRUE(wait_until([] { return tray() && visible(tray()); })) << "no tray icon";
    RECT area{};
    GetWindowRect(tray(), &area);
    area.left = area.right - 2 * icon.width;  // the first icon from the right
    EXPECT_TRUE(wait_until([&] { return shows(capture(area), icon); })) << "the tray does not show the icon";
    EXPECT_EQ(app.stop(), 0u);
}

// ---- Layout ----

// A rectangle in the client coordinates of `parent`.
RECT rect_in(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

std::string describe(HWND control) {
    if (!control) return "nothing";
    return "#" + std::to_string(GetDlgCtrlID(control)) + " \"" + utf8(text(control)) + "\"";
}

// A message to a control of the program that fills in a structure: common
// control messages carry pointers, which must point into the program's memory.
template <typename T>
std::optional<T> program_message(HWND control, UINT message, WPARAM wparam, T in) {
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return std::nullopt;
    std::optional<T> out;
    if (void* remote = VirtualAllocEx(process, nullptr, sizeof(T), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
        DWORD_PTR result = 0;
        T value = in;
        if (WriteProcessMemory(process, remote, &value, sizeof value, nullptr) &&
            SendMessageTimeoutW(control, message, wparam, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000,
                                &result) &&
            ReadProcessMemory(process, remote, &value, sizeof value, nullptr))
            out = value;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return out;
}

std::vector<HWND> visible_children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child)) children.push_back(child);
    return children;
}

int page_of(HWND control) { return (GetDlgCtrlID(control) - ids::kPageBase) / ids::kPageStride; }

int current_page(const Velvane& app) {
    DWORD_PTR page = 0;
    SendMessageTimeoutW(app.tab(), TCM_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &page);
    return static_cast<int>(page);
}

// Each control lies inside `area` and overlaps none of the others.
void expect_laid_out(const std::vector<HWND>& controls, HWND parent, const RECT& area) {
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const RECT r = rect_in(controls[i], parent);
        RECT inside{};
        IntersectRect(&inside, &r, &area);
        EXPECT_TRUE(EqualRect(&inside, &r))
            << describe(controls[i]) << " at " << describe(r) << " reaches out of " << describe(area);
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const RECT other = rect_in(controls[j], parent);
            RECT common{};
            if (IntersectRect(&common, &r, &other))
                ADD_FAILURE() << describe(controls[i]) << " at " << describe(r) << " overlaps " << describe(controls[j])
                              << " at " << describe(other);
        }
    }
}

// Writes what the screen shows of a window to a 32-bit BMP file.
void save_screenshot(HWND window, const std::filesystem::path& path) {
    RECT r{};
    GetWindowRect(window, &r);
    Picture shot = capture(r);
    for (std::uint32_t& pixel : shot.pixels) pixel |= 0xFF000000u;  // GDI leaves alpha 0 under text
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = -shot.height;  // top row first
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    const DWORD image_bytes = static_cast<DWORD>(shot.pixels.size() * sizeof(std::uint32_t));
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + image_bytes;
    if (FILE* out = _wfopen(path.c_str(), L"wb")) {
        std::fwrite(&header, sizeof header, 1, out);
        std::fwrite(&info, sizeof info, 1, out);
        std::fwrite(shot.pixels.data(), image_bytes, 1, out);
        std::fclose(out);
    }
}

TEST(LookAndFeel, EveryPageLiesInsideTheTabControlWithoutOverlapAtThisDpi) {
    Velvane app;
    app.start();
    const UINT dpi = checked_dpi_of(app.window());
    const auto px = [&](int at96) { return MulDiv(at96, static_cast<int>(dpi), 96); };

    // Laid out anew for the DPI, not stretched: the tab control is 456 x 136 at 96.
    const HWND tab = app.tab();
    RECT tab_client{};
    GetClientRect(tab, &tab_client);
    EXPECT_NEAR(tab_client.right, px(456), 1);
    EXPECT_NEAR(tab_client.bottom, px(136), 1);
    // The pages' area: the tab control without its border and its row of tabs.
    const auto display = program_message(tab, TCM_ADJUSTRECT, FALSE, tab_client);
    ASSERT_TRUE(display.has_value());

    const std::wstring shots = environment_variable(L"VELVANE_SCREENSHOT_DIR");
    const HWND keyword = app.control(ids::edit(0));
    click(keyword);
    ASSERT_TRUE(wait_until([&] { return app.focus() == keyword; }));
    for (int page = 0; page < kPages; ++page) {
        SCOPED_TRACE("page " + std::to_string(page) + " at " + std::to_string(dpi) + " DPI");
        if (page > 0) {
            ASSERT_NE(press_until(VK_TAB, {VK_CONTROL}, [&] { return current_page(app) == page; }), 0);
        }
        ASSERT_TRUE(wait_until([&] { return visible(app.control(ids::edit(page))); }));

        // The page's controls stand beside the tab control, over its page
        // area, not inside it.
        EXPECT_TRUE(visible_children(tab).empty());
        auto controls = visible_children(app.window());
        std::erase(controls, tab);
        ASSERT_FALSE(controls.empty());
        for (HWND control : controls)
            EXPECT_EQ(page_of(control), page) << describe(control) << " of another page is shown";
        expect_laid_out(controls, tab, *display);

        // Google's language radios lie in their group box, below its frame.
        if (const HWND group = app.control(ids::group_box(page)); group && visible(group)) {
            RECT inner{};
            GetClientRect(group, &inner);
            expect_laid_out(visible_children(group), group, inner);
        }

        if (!shots.empty()) {
            // Let the page finish painting before the shot.
            RedrawWindow(app.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(app.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
            save_screenshot(app.window(), std::filesystem::path(shots) / (L"page" + std::to_wstring(page) + L"-" +
                                                                          std::to_wstring(dpi) + L"dpi.bmp"));
        }
    }
    EXPECT_EQ(app.stop(), 0u);
}

// ---- The keyboard ----

TEST(LookAndFeel, CtrlTabWalksTheSevenPagesAndCtrlShiftTabWalksBack) {
    Velvane app;
    app.start();
    const HWND keyword = app.control(ids::edit(0));
    click(keyword);
    ASSERT_TRUE(wait_until([&] { return app.focus() == keyword; }));

    for (int step = 1; step <= kPages; ++step) {
        const int page = step % kPages;
        SCOPED_TRACE("forward to page " + std::to_string(page));
        ASSERT_NE(press_until(VK_TAB, {VK_CONTROL}, [&] { return current_page(app) == page; }), 0);
        // Typing goes on at once, into the new page's keyword box.
        EXPECT_TRUE(wait_until([&] { return app.focus() == app.control(ids::edit(page)); }));
    }
    for (int step = 1; step <= kPages; ++step) {
        const int page = (kPages - step) % kPages;
        SCOPED_TRACE("back to page " + std::to_string(page));
        ASSERT_NE(press_until(VK_TAB, {VK_CONTROL, VK_SHIFT}, [&] { return current_page(app) == page; }), 0);
        EXPECT_TRUE(wait_until([&] { return app.focus() == app.control(ids::edit(page)); }));
    }
    EXPECT_EQ(app.stop(), 0u);
}

TEST(LookAndFeel, TabFromTheKeywordBoxReachesTheSearchButtonOnEveryPage) {
    Velvane app;
    app.start();
    const HWND first = app.control(ids::edit(0));
    click(first);
    // From here on the keyboard alone: the pointer rests in a far corner, not
    // over a keyword box, which takes the focus at any WM_MOUSEMOVE over it.
    move_mouse({GetSystemMetrics(SM_CXSCREEN) - 2, 2});
    ASSERT_TRUE(wait_until([&] { return app.focus() == first; }));

    for (int page = 0; page < kPages; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        if (page > 0) {
            ASSERT_NE(press_until(VK_TAB, {VK_CONTROL}, [&] { return current_page(app) == page; }), 0);
        }
        const HWND keyword = app.control(ids::edit(page));
        const HWND button = app.control(ids::button(page));
        ASSERT_TRUE(wait_until([&] { return app.focus() == keyword; }));
        press(VK_TAB);
        EXPECT_TRUE(wait_until([&] { return app.focus() == button; })) << "Tab went to " << describe(app.focus());
        ASSERT_NE(press_until(VK_TAB, {VK_SHIFT}, [&] { return app.focus() == keyword; }), 0)
            << "Shift+Tab did not come back to the keyword box";
    }
    EXPECT_EQ(app.stop(), 0u);
}

}  // namespace
}  // namespace e2e
