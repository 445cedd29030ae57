// Controls laid out in pixels at 96 DPI: made at the window's DPI, and laid
// out and lettered anew when the window moves to a screen with another DPI,
// never stretched. One per window, with the window's fonts.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "win/font_cache_win.h"

namespace velvane {

// A control's place at 96 DPI: its rectangle, relative to an origin in its
// parent (each scaled on its own, so that a control keeps the place it has
// within, say, a tab control's area at any DPI).
struct Place96 {
    int left = 0, top = 0, width = 0, height = 0;
    POINT origin = {};
};

// What a control is: its window class, text, styles (WS_CHILD is added), id and font.
struct ControlRecipe {
    const wchar_t* window_class;
    std::wstring_view text;
    DWORD style;
    DWORD ex_style;
    int id;
    FontChoice font;
};

class ControlLayout {
public:
    explicit ControlLayout(UINT dpi = 96) : fonts_(dpi) {}

    UINT dpi() const { return fonts_.dpi(); }
    int px(int value) const { return MulDiv(value, static_cast<int>(dpi()), 96); }
    HFONT font(FontChoice choice) { return fonts_.get(choice); }

    // Makes the control at its place with its font; null when the platform
    // made none. Remembered until forget(), for the next DPI.
    HWND make(HWND parent, const ControlRecipe& recipe, const Place96& place);
    // Remembers a control made elsewhere (the window itself makes it).
    void adopt(HWND control, const Place96& place, FontChoice font);
    // Forgets the controls of which `keep` says false (they are being destroyed).
    template <typename Predicate>
    void forget_if(Predicate keep_not) {
        std::erase_if(placed_, [&](const Placed& placed) { return keep_not(placed.hwnd); });
    }

    // Lays every control out anew at this DPI, with fonts for it. The fonts
    // of the old DPI stay alive until every control has its new one.
    void set_dpi(UINT dpi);

private:
    struct Placed {
        HWND hwnd;
        Place96 place;
        FontChoice font;
    };
    void put(const Placed& placed, BOOL redraw);

    FontCache fonts_;
    std::vector<Placed> placed_;
};

}  // namespace velvane
