#include "win/dpi_win.h"

#include <cstring>

#include "win/handles.h"

namespace velvane {
namespace {

template <typename Function>
Function user32_function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

UINT system_dpi() {
    const WindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT dpi_for_window(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto get_dpi = user32_function<GetDpiForWindowFn>("GetDpiForWindow");
    if (get_dpi && hwnd) {
        const UINT dpi = get_dpi(hwnd);
        if (dpi > 0) return dpi;
    }
    return system_dpi();
}

LOGFONTW message_font(UINT dpi) {
    using ParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto parameters_for_dpi = user32_function<ParametersForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (parameters_for_dpi && parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi))
        return metrics.lfMessageFont;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        // Given at the system DPI: bring it to the window's.
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(system_dpi()));
        return metrics.lfMessageFont;
    }
    LOGFONTW fallback = {};
    fallback.lfHeight = -scale_for_dpi(12, dpi);
    fallback.lfCharSet = DEFAULT_CHARSET;
    constexpr wchar_t kFace[] = L"Microsoft YaHei UI";
    static_assert(sizeof kFace <= sizeof fallback.lfFaceName);
    std::memcpy(fallback.lfFaceName, kFace, sizeof kFace);
    return fallback;
}

}  // namespace velvane
