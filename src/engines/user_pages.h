// The user's own search pages: "Engines.ini" beside the executable. Each
// section is one more tab page after the built-in seven, made into the same
// Engine table the built-in pages are, so the same page code and page
// algorithm serve it.
//
//   ; a comment (so is a line starting with #)
//   [必应]                                      the section name is the tab caption
//   radio = 网页 | https://cn.bing.com/search?q={keyword}
//   more  = 词典 | https://cn.bing.com/dict/search?q={keyword}
//   home  = https://cn.bing.com/
//   suggest = https://api.bing.com/osjson.aspx?query={keyword}
//   browser = "C:\Program Files\Mozilla Firefox\firefox.exe" -private-window
//
// radio lines are the category radios in order, the first checked at start;
// the radios that do not fit the page's rows go on at the top of the
// drop-down list, followed by the more lines. home opens for an empty keyword
// (no home: nothing opens). suggest is the page's search suggestion service
// (OpenSearch suggestions), asked with the text in the box as the user types
// when suggestions are on (no suggest: the page shows only recent searches).
// A radio, more or home line may hold up to kUserLineMaxAddresses addresses
// separated by "|", all opened by one search in their order
// ("radio = 全网 | https://a/?q={keyword} | https://b/?q={keyword}"); a "|"
// inside an address is written %7C. browser sends the page's URLs to
// that program instead of the default browser (engine_page.h, PageBrowser).
// Key names are ASCII case-insensitive; blanks around keys, values and "|" do
// not count. The templates are those of text/user_template.h.
//
// The file is UTF-8 (with or without a byte order mark), UTF-16 LE or BE with
// a byte order mark, and otherwise GBK. A problem never stops the reading:
// the line is skipped and the problem kept with its line number. The reading
// takes time in proportion to the file's size, whatever the file holds.
//
// These functions work on the file's bytes; reading the file, watching it
// and writing the example belong to the Win32 side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engines/engine_page.h"
#include "text/code_page.h"

namespace velvane {

inline constexpr std::string_view kUserPagesFileName = "Engines.ini";

// Limits: bytes read from the file (what lies beyond is not read), pages,
// and radio plus more lines in one page.
inline constexpr std::size_t kUserPagesMaxBytes = 256 * 1024;
inline constexpr std::size_t kUserPagesMaxPages = 32;
inline constexpr std::size_t kUserPageMaxLines = 64;
// Addresses on one radio, more or home line.
inline constexpr std::size_t kUserLineMaxAddresses = 8;

enum class UserPagesFault : unsigned char {
    FileTooLarge,        // line: the first line not read
    TooManyPages,        // the section header beyond kUserPagesMaxPages; its lines are skipped
    TooManyLines,        // a radio or more line beyond kUserPageMaxLines
    OutsidePage,         // a key line before the first section
    UnusableLine,        // neither comment, section nor "key = value"
    UnknownKey,          // detail: the key
    MissingBar,          // a radio or more line with no "|"
    MissingName,         // nothing before the "|"
    NotHttp,             // detail: the address
    UnknownPlaceholder,  // detail: the placeholder
    MixedCharsets,       // detail: the placeholder that disagrees
    DuplicatePage,       // a second section of the same name; its lines are skipped
    DuplicateHome,       // a second home line in a page
    DuplicateSuggest,    // a second suggest line in a page
    TooManyAddresses,    // detail: the line's name; more than kUserLineMaxAddresses on a line
    BadBrowser,          // detail: the value; a browser line with no program or one not a full path
    DuplicateBrowser,    // a second browser line in a page
    EmptyPage,           // line: the section header; the page has no usable radio or more line
                         // (the last kind: new kinds go before it)
};
inline constexpr std::size_t kUserPagesFaultKinds = static_cast<std::size_t>(UserPagesFault::EmptyPage) + 1;

struct UserPagesProblem {
    int line = 0;  // 1-based
    UserPagesFault fault = UserPagesFault::UnusableLine;
    std::string detail;  // UTF-8, short; may be empty
};

// One kind of problem in a reading: its first occurrence by line and how
// many of that kind there are.
struct UserPagesProblemKind {
    UserPagesProblem first;
    std::size_t count = 0;
};

struct UserPage {
    Engine engine;              // image is -1: the tab shows the mark instead
    std::string_view mark;      // the name's first character, drawn on the mark
    std::uint32_t mark_colour;  // 0xRRGGBB of the mark's square, the same for the same name
    int line = 0;               // the section header's line
};

// The pages and problems of one reading. Copies share the storage the
// Engine tables point into; it lives as long as any copy does.
class UserPages {
public:
    UserPages();
    std::span<const UserPage> pages() const;
    // In line order; only the first kKeptProblems are kept, problem_count()
    // counts them all.
    std::span<const UserPagesProblem> problems() const;
    std::size_t problem_count() const;
    // Each kind of problem the reading met, in the order of their first lines.
    std::span<const UserPagesProblemKind> problem_kinds() const;

    static constexpr std::size_t kKeptProblems = 100;

    struct Storage;

private:
    explicit UserPages(std::shared_ptr<const Storage> storage);
    friend UserPages read_user_pages(std::string_view, const CodePages&);
    std::shared_ptr<const Storage> storage_;
};

// Reads the file's bytes (pass all of them, or at least the first
// kUserPagesMaxBytes + 1 so that a larger file is noticed).
UserPages read_user_pages(std::string_view file_bytes, const CodePages& code_pages = system_code_pages());

// "第 3 行：缺少“|”（写法：名字 | 网址）" and the like.
std::string describe_problem(const UserPagesProblem& problem);

// The tray balloon's text for a reading with problems: the file, then the
// first problem of each of the first `shown` kinds (with how many more of
// that kind there are), and how many problems of other kinds there are.
// Empty when there is none.
std::string user_pages_problem_text(const UserPages& pages, std::size_t shown = 3);

// Where the controls of a user page go, at 96 DPI and relative to the tab
// control as for the built-in pages. Radios fill at most two rows left of the
// list; the first radios_in_rows captions get a radio, the others go on in
// the list before the more lines. A page with a list has it at the right of
// the first row.
struct UserPageLayout {
    std::vector<Rect> radios;  // one per radio in the rows
    bool has_list = false;
    Rect list;
    Rect edit;
    Rect button;
};
UserPageLayout lay_out_user_page(std::span<const std::string_view> radio_captions, std::size_t more_lines);

// The width a caption needs at 96 DPI in the dialog font (an estimate the
// layout uses: CJK characters 12 pixels, others 7).
int caption_width(std::string_view caption);

// The commented example the tray menu's "自定义搜索页…" writes when there is no
// file: UTF-8 with a byte order mark and CRLF line breaks, ready to write as
// it is.
extern const std::string_view kUserPagesExample;

// The same text unpacked from the compact copy that velvane.exe carries in
// its place (tools/pack-text.py makes that copy from kUserPagesExample).
std::string user_pages_example();

}  // namespace velvane
