// The fonts of a window at one DPI, made when first asked for and kept until
// the cache goes. At a new DPI a window makes a new cache, gives its controls
// the new fonts, and only then lets the old cache go: a control never holds a
// deleted font.
#pragma once

#include <windows.h>

#include <vector>

#include "win/handles.h"

namespace velvane {

// A font as a layout table names it: the system's message font (the window's
// default font), or 宋体 at a pixel height given at 96 DPI.
struct FontChoice {
    enum class Face : unsigned char { Message, SimSun };
    Face face = Face::Message;
    int px = 0;  // 宋体's height at 96 DPI; the message font brings its own

    friend bool operator==(const FontChoice&, const FontChoice&) = default;
};

inline constexpr FontChoice kMessageFont = {FontChoice::Face::Message, 0};
constexpr FontChoice simsun(int px) { return {FontChoice::Face::SimSun, px}; }

class FontCache {
public:
    explicit FontCache(UINT dpi = 96) : dpi_(dpi) {}
    FontCache(FontCache&&) noexcept = default;
    FontCache& operator=(FontCache&&) noexcept = default;

    UINT dpi() const { return dpi_; }
    // The font at this cache's DPI; null only when the platform made none.
    HFONT get(FontChoice choice);

private:
    struct Entry {
        FontChoice choice;
        UniqueFont font;
    };
    UINT dpi_;
    std::vector<Entry> fonts_;
};

}  // namespace velvane
