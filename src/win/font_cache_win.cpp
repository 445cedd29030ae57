#include "win/font_cache_win.h"

#include "win/dpi_win.h"

namespace velvane {

HFONT FontCache::get(FontChoice choice) {
    for (const Entry& entry : fonts_)
        if (entry.choice == choice) return entry.font.get();
    UniqueFont font;
    if (choice.face == FontChoice::Face::Message) {
        const LOGFONTW message = message_font(dpi_);
        font.reset(CreateFontIndirectW(&message));
    } else {
        font.reset(CreateFontW(-scale_for_dpi(choice.px, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               L"宋体"));
    }
    HFONT made = font.get();
    fonts_.push_back({choice, std::move(font)});
    return made;
}

}  // namespace velvane
