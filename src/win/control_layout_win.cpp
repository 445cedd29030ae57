#include "win/control_layout_win.h"

#include <string>
#include <utility>

namespace velvane {

HWND ControlLayout::make(HWND parent, const ControlRecipe& recipe, const Place96& place) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    const std::wstring text(recipe.text);
    HWND control = CreateWindowExW(recipe.ex_style, recipe.window_class, text.c_str(), WS_CHILD | recipe.style,
                                   px(place.origin.x) + px(place.left), px(place.origin.y) + px(place.top),
                                   px(place.width), px(place.height), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(recipe.id)), instance, nullptr);
    if (!control) return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(recipe.font)), FALSE);
    placed_.push_back({control, place, recipe.font});
    return control;
}

void ControlLayout::adopt(HWND control, const Place96& place, FontChoice font) {
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
