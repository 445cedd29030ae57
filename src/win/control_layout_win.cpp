#include "win/control_layout_win.h"

#include <string>
#include <utility>

namespace velvane {

HWND ControlLayout::make(HWND parent, const ControlSpec& spec, const Place96& place) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    const std::wstring text(spec.text);
    HWND control = CreateWindowExW(spec.ex_style, spec.window_class, text.c_str(), WS_CHILD | spec.style,
                                   px(place.origin.x) + px(place.left), px(place.origin.y) + px(place.top),
                                   px(place.width), px(place.height), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
    if (!control) return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(spec.font)), FALSE);
    placed_.push_back({control, place, spec.font});
    return control;
}

void ControlLayout::adopt(HWND control, const Place96& place, FontSpec font) {
    const Placed placed = {control, place, font};
    put(placed, FALSE);
    placed_.push_back(placed);
}

void ControlLayout::put(const Placed& placed, BOOL redraw) {
    const Place96& place = placed.place;
    SetWindowPos(placed.hwnd, nullptr, px(place.origin.x) + px(place.left), px(place.origin.y) + px(place.top),
                 px(place.width), px(place.height), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(placed.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(placed.font)), redraw);
}

void ControlLayout::set_dpi(UINT dpi) {
    const FontCache old_fonts = std::exchange(fonts_, FontCache(dpi));
    for (const Placed& placed : placed_) put(placed, TRUE);
}

}  // namespace velvane
