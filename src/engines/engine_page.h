// An engine page as data, and the one page algorithm that reads it.
//
// Each engine unit (baidu.cpp, google.cpp, ...) is a table of its controls,
// categories and URL templates. The Win32 shell builds the page's controls
// from the table, reads their state into a PageState, calls the algorithm and
// applies what it returns: URLs to launch, radios to uncheck, controls to hide.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engines/hosts.h"
#include "text/user_template.h"

namespace velvane {

// Pixels at 96 DPI, relative to the tab control's top-left corner (or, for the
// language radios, to their group box). Short: every table row holds one,
// and a page is a few hundred pixels wide.
struct Rect {
    short left = 0, top = 0, width = 0, height = 0;
};

// A Rect from computed pixels (each well within a short's range).
constexpr Rect rect_of(int left, int top, int width, int height) {
    return {static_cast<short>(left), static_cast<short>(top), static_cast<short>(width), static_cast<short>(height)};
}

// "http://" + host + path. The path is literal except for three placeholders:
//   {raw}   the keyword as typed, but for '%', '+', '#', '&' and the
//           characters that a URL cannot carry or a shell or command line
//           would read: those as %XX escapes (raw_keyword_in_url)
//   {enc}   the encoded keyword (every UTF-8 byte as %XX)
//   {tail}  the language tail of a checked language radio (Google's web row)
// Templates never contain a brace otherwise.
//
// A page from the user's engines file has user templates instead: path is
// then the whole address with the placeholders of text/user_template.h,
// checked when the file was read, and host is not used; or several such
// addresses separated by kAddressSeparator, which a search opens one after
// the other (no address holds that character: the file writes it %7C). An
// empty user template (a user page's missing home) opens nothing.
enum class UrlForm : unsigned char { HostAndPath, User };
inline constexpr char kAddressSeparator = '|';

struct UrlTemplate {
    HostRole host = HostRole::Count;
    std::string_view path = {};
    UrlForm form = UrlForm::HostAndPath;
};

// What a click on a category radio does besides checking it.
enum class RadioClick : unsigned char { Nothing, ShowExtras, HideExtras };

struct CategoryRadio {
    std::string_view caption;
    Rect rect;
    UrlTemplate url;
    RadioClick on_click = RadioClick::Nothing;
    // After the page search has launched this row, the language row is hidden
    // (Google's image row).
    bool hides_language_row_after_search = false;
};

struct LanguageRadio {
    std::string_view caption;
    Rect rect;  // within the group box
    std::string_view tail;
};

// A second, independent radio group inside a group box (Google's language row).
struct LanguageRow {
    Rect rect;  // the group box around the radios
    std::span<const LanguageRadio> radios;
    std::size_t checked_at_start = 0;
};

struct ListItem {
    std::string_view caption;
    UrlTemplate url;
    // Opens its URL even with an empty keyword (the translation items).
    bool ignores_keyword = false;
};

// A second button that searches its own template with the raw keyword and no
// empty test (Google's "手气不错").
struct ExtraButton {
    std::string_view caption;
    Rect rect;
    UrlTemplate url;
};

// A browser of the page's own: the program as written (a full path, which
// may start with an environment variable, or a name looked up in the folders
// of PATH) and its arguments, where {url} marks the URL's place (none: the
// URL goes last). UTF-8.
struct PageBrowser {
    std::string_view program;
    std::string_view arguments;
};

// Every page has category radios, a keyword box and a search button; the
// list, the language row and the extra button are there when the table says so.
struct Engine {
    std::string_view tab_caption = {};
    int image = 0;  // index into the tab image list
    // The page the window shows at start, its keyword box focused.
    bool shown_at_start = false;

    std::span<const CategoryRadio> radios = {};
    std::size_t radio_checked_at_start = 0;

    Rect list_rect = {};
    std::span<const ListItem> list = {};  // empty: the page has no list

    Rect edit_rect = {};
    int keyword_font_px = 15;  // the keyword box's 宋体, in pixels at 96 DPI

    std::string_view button_caption = {};
    Rect button_rect = {};

    UrlTemplate home = {};

    // The page's search suggestion service (OpenSearch suggestions format),
    // asked with the text in the box as the user types; an empty path: the
    // page has none. A HostAndPath one is asked over https, and its path
    // takes the placeholders of text/user_template.h ({keyword}, ...), not
    // {raw} and {enc}.
    UrlTemplate suggest = {};

    // The page search runs the encoder before the empty-keyword test, and the
    // list search before anything else; the result box then holds the
    // keyword's encoding even when nothing used it.
    bool encodes_before_page_search = false;
    bool encodes_before_list_search = false;

    const LanguageRow* language_row = nullptr;  // null: the page has none
    const ExtraButton* extra_button = nullptr;  // null: the page has none

    // The program that opens the page's URLs instead of the default browser
    // (a user page's browser line); empty program: the default browser.
    PageBrowser browser = {};
};

inline constexpr int kNoListItem = -1;

// The state a page keeps in its controls.
struct PageState {
    std::string keyword;  // UTF-8, exactly as typed
    std::vector<bool> radios;
    std::vector<bool> languages;
    int list_index = kNoListItem;
    bool language_row_visible = true;
    bool extra_button_visible = true;
};

// `last_encoded` is what the comments and tests call the result box: the
// last encoded keyword, shared by all pages. Only the encoder writes it.
//
// User templates do not touch the box; they convert the keyword through
// code_pages (null: system_code_pages()). When the keyword holds a character
// the template's code page cannot, the search returns no URL at all and
// leaves the character in unencodable for the caller to report; every search
// clears it first.
struct EncoderScratch {
    std::string last_encoded;
    const CodePages* code_pages = nullptr;
    std::optional<Unencodable> unencodable = std::nullopt;
};

PageState initial_state(const Engine& engine);

// For a HostAndPath template (user templates go through expand_user_template).
std::string build_url(const UrlTemplate& url, std::string_view raw_keyword, std::string_view encoded_keyword,
                      std::string_view tail = {});

// The page's button or Enter in its keyword box.
std::vector<std::string> page_search(const Engine& engine, PageState& state, EncoderScratch& scratch);

// The address that asks the page's suggestion service for the suggestions of
// this keyword (UTF-8, as typed); nullopt when the page has no service, the
// keyword is empty or only blanks, or the service's code page cannot hold it.
std::optional<std::string> suggestion_url(const Engine& engine, std::string_view keyword,
                                          const CodePages& code_pages = system_code_pages());

// The user picked a list item (state.list_index already holds it): the radios
// are cleared, then the list category is searched.
std::vector<std::string> list_pick(const Engine& engine, PageState& state, EncoderScratch& scratch);

// The extra button (Google's lucky search). Empty when the engine has none.
std::vector<std::string> extra_button_search(const Engine& engine, const PageState& state);

// A category radio was clicked: it is checked, the others are not, and the
// language row and extra button are shown or hidden as the radio says.
void radio_clicked(const Engine& engine, PageState& state, std::size_t radio);

}  // namespace velvane
