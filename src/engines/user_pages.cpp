#include "engines/user_pages.h"

#include <algorithm>
#include <array>
#include <list>
#include <optional>
#include <utility>
#include <vector>

#include "text/browser_command.h"
#include "text/text.h"
#include "text/user_template.h"

namespace velvane {

struct UserPages::Storage {
    // Lists: what the Engine tables point into never moves.
    std::list<std::string> texts;
    std::list<std::vector<CategoryRadio>> radios;
    std::list<std::vector<ListItem>> lists;
    std::vector<UserPage> pages;
    std::vector<UserPagesProblem> problems;  // the first kKeptProblems by line, in line order
    std::size_t problem_count = 0;
    std::vector<UserPagesProblemKind> kinds;

    std::string_view keep(std::string text) { return texts.emplace_back(std::move(text)); }
};

namespace {

// ---- the file's text -------------------------------------------------------

bool valid_utf8(std::string_view text) { return utf8_from_utf16(utf16_from_utf8(text)) == text; }

std::string from_utf16(std::string_view bytes, bool big_endian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
    }
    return utf8_from_utf16(units);
}

bool ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// How many bytes at the end begin a UTF-8 character that is not all there: a
// file cut at the size limit, or read while an editor is still writing it,
// may end inside a character. 0 when the bytes end where a character does.
std::size_t unfinished_utf8_tail(std::string_view bytes) {
    std::size_t continuations = 0;
    while (continuations < 3 && continuations < bytes.size() &&
           (static_cast<unsigned char>(bytes[bytes.size() - 1 - continuations]) & 0xC0) == 0x80)
        ++continuations;
    if (continuations == bytes.size()) return 0;
    const auto lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - continuations]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    return length > continuations + 1 ? continuations + 1 : 0;
}

// The file as valid UTF-8, whatever it was saved as.
std::string decoded(std::string_view bytes, const CodePages& code_pages) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        return utf8_from_utf16(utf16_from_utf8(bytes));  // stray bytes become U+FFFD
    }
    if (bytes.starts_with("\xFF\xFE")) return from_utf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF")) return from_utf16(bytes.substr(2), true);
    if (valid_utf8(bytes)) return std::string(bytes);
    // UTF-8 that ends inside a character is still UTF-8: the piece of a
    // character goes, the rest decides. Only text beyond ASCII tells UTF-8
    // from GBK; ASCII and one last GBK character is GBK, as before.
    const std::string_view whole = bytes.substr(0, bytes.size() - unfinished_utf8_tail(bytes));
    if (whole.size() < bytes.size() && !ascii(whole) && valid_utf8(whole)) return std::string(whole);
    return code_pages.decode_gbk(bytes);
}

// ---- lines -----------------------------------------------------------------

bool has_control(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

// ---- reading ---------------------------------------------------------------

struct Entry {
    std::string caption;
    std::string url;
};

// A page's browser line: "程序路径" 参数.
struct BrowserLine {
    std::string program;
    std::string arguments;
};

// Where the program may be: a full path (C:\..., \\server\...), one that
// starts with an environment variable, or a bare name to look up in the
// folders of PATH; never a path relative to some current folder, nor one
// with a quote, which no file name holds.
bool usable_program(std::u16string_view program) {
    if (program.empty() || program.find(u'"') != std::u16string_view::npos) return false;
    const char16_t first = program.front();
    const bool drive = program.size() >= 3 && ((first >= u'A' && first <= u'Z') || (first >= u'a' && first <= u'z')) &&
                       program[1] == u':' && (program[2] == u'\\' || program[2] == u'/');
    const bool share = program.starts_with(u"\\\\");
    const bool bare = program.find_first_of(u"\\/:") == std::u16string_view::npos;
    return drive || share || first == u'%' || bare;
}

std::optional<BrowserLine> read_browser_line(std::string_view value) {
    if (value.starts_with('"') && value.find('"', 1) == std::string_view::npos) return std::nullopt;
    const BrowserCommand command = split_browser_command(utf16_from_utf8(value));
    if (!usable_program(command.program)) return std::nullopt;
    return BrowserLine{utf8_from_utf16(command.program), utf8_from_utf16(command.arguments)};
}

struct PageDraft {
    std::string name;
    int line = 0;
    std::vector<Entry> radios;
    std::vector<Entry> more;
    std::optional<std::string> home;
    std::optional<std::string> suggest;
    std::optional<BrowserLine> browser;
};

class Reader {
public:
    explicit Reader(UserPages::Storage& storage) : storage_(storage) {}

    // Returns how many lines there were.
    int read(std::string_view text) {
        int number = 0;
        while (!text.empty()) {
            ++number;
            const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
            const std::string_view line = text.substr(0, end);
            std::size_t next = end;
            if (next < text.size())
                next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
            text.remove_prefix(next);
            read_line(trimmed(line), number);
        }
        close_page();
        return number;
    }

    // Each problem in constant time, whatever came before: the first
    // kKeptProblems by line are kept (a page's own problem, noted when the
    // page closes, goes before the problems of its lines), and per kind its
    // first and how many.
    void problem(int line, UserPagesFault fault, std::string_view detail = {}) {
        ++storage_.problem_count;
        UserPagesProblemKind& kind = kinds_[static_cast<std::size_t>(fault)];
        if (kind.count++ == 0 || line < kind.first.line) kind.first = {line, fault, shortened(detail)};

        std::vector<UserPagesProblem>& kept = storage_.problems;
        if (kept.size() == UserPages::kKeptProblems && line >= kept.back().line) return;
        const auto place = std::upper_bound(kept.begin(), kept.end(), line,
                                            [](int l, const UserPagesProblem& p) { return l < p.line; });
        kept.insert(place, {line, fault, shortened(detail)});
        if (kept.size() > UserPages::kKeptProblems) kept.pop_back();
    }

    // The kinds met, in the order of their first lines.
    std::vector<UserPagesProblemKind> problem_kinds() const {
        std::vector<UserPagesProblemKind> met;
        for (const UserPagesProblemKind& kind : kinds_)
            if (kind.count > 0) met.push_back(kind);
        // A few kinds at most: put in order by swapping (the same first line
        // keeps the kinds' own order) rather than with a library sort, which
        // would weigh kilobytes in the exe.
        for (std::size_t i = 1; i < met.size(); ++i) {
            for (std::size_t j = i; j > 0 && met[j].first.line < met[j - 1].first.line; --j)
                std::swap(met[j], met[j - 1]);
        }
        return met;
    }

    std::vector<PageDraft> drafts;

private:
    void read_line(std::string_view line, int number) {
        if (line.empty() || line.front() == ';' || line.front() == '#') return;
        if (has_control(line)) return problem(number, UserPagesFault::UnusableLine, line);
        if (line.front() == '[') return read_section(line, number);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) return problem(number, UserPagesFault::UnusableLine, line);
        if (state_ == Section::None) return problem(number, UserPagesFault::OutsidePage, line);
        if (state_ == Section::Skipped) return;
        const std::string key = ascii_lower(trimmed(line.substr(0, equals)));
        const std::string_view value = trimmed(line.substr(equals + 1));
        PageDraft& page = drafts.back();
        if (key == "radio" || key == "more") {
            const auto bar = value.find('|');
            if (bar == std::string_view::npos) return problem(number, UserPagesFault::MissingBar, value);
            const std::string_view caption = trimmed(value.substr(0, bar));
            if (caption.empty()) return problem(number, UserPagesFault::MissingName, value);
            std::string urls;
            if (!usable_addresses(value.substr(bar + 1), caption, number, urls)) return;
            if (page.radios.size() + page.more.size() >= kUserPageMaxLines)
                return problem(number, UserPagesFault::TooManyLines, caption);
            (key == "radio" ? page.radios : page.more).push_back({std::string(caption), std::move(urls)});
        } else if (key == "home") {
            std::string urls;
            if (!usable_addresses(value, value, number, urls)) return;
            if (page.home) return problem(number, UserPagesFault::DuplicateHome, value);
            page.home = std::move(urls);
        } else if (key == "suggest") {
            if (!usable_url(value, number)) return;
            if (page.suggest) return problem(number, UserPagesFault::DuplicateSuggest, value);
            page.suggest = std::string(value);
        } else if (key == "browser") {
            std::optional<BrowserLine> browser = read_browser_line(value);
            if (!browser) return problem(number, UserPagesFault::BadBrowser, value);
            if (page.browser) return problem(number, UserPagesFault::DuplicateBrowser, value);
            page.browser = std::move(browser);
        } else {
            problem(number, UserPagesFault::UnknownKey, trimmed(line.substr(0, equals)));
        }
    }

    void read_section(std::string_view line, int number) {
        close_page();
        state_ = Section::Skipped;
        if (!line.ends_with(']')) return problem(number, UserPagesFault::UnusableLine, line);
        const std::string_view name = trimmed(line.substr(1, line.size() - 2));
        if (name.empty() || name.find_first_of("[]") != std::string_view::npos)
            return problem(number, UserPagesFault::UnusableLine, line);
        if (std::find(names_.begin(), names_.end(), name) != names_.end())
            return problem(number, UserPagesFault::DuplicatePage, name);
        if (drafts.size() >= kUserPagesMaxPages) return problem(number, UserPagesFault::TooManyPages, name);
        drafts.push_back({std::string(name), number, {}, {}, {}, {}, {}});
        names_.push_back(name);
        state_ = Section::Open;
    }

    bool usable_url(std::string_view url, int number) {
        const auto fault = check_user_template(url);
        if (!fault) return true;
        switch (fault->fault) {
        case TemplateFault::NotHttp:
            problem(number, UserPagesFault::NotHttp, url);
            break;
        case TemplateFault::UnknownPlaceholder:
            problem(number, UserPagesFault::UnknownPlaceholder, fault->detail);
            break;
        case TemplateFault::MixedCharsets:
            problem(number, UserPagesFault::MixedCharsets, fault->detail);
            break;
        }
        return false;
    }

    // One address or several separated by "|", each usable: all of them
    // joined for the page, or none when any is not (a category opens all
    // its sites or none).
    bool usable_addresses(std::string_view value, std::string_view name, int number, std::string& joined) {
        const auto separators = static_cast<std::size_t>(std::count(value.begin(), value.end(), kAddressSeparator));
        if (separators >= kUserLineMaxAddresses) {
            problem(number, UserPagesFault::TooManyAddresses, name);
            return false;
        }
        joined.clear();
        while (true) {
            const auto bar = value.find(kAddressSeparator);
            const std::string_view url = trimmed(value.substr(0, bar));
            if (!usable_url(url, number)) return false;
            if (!joined.empty()) joined += kAddressSeparator;
            joined += url;
            if (bar == std::string_view::npos) return true;
            value.remove_prefix(bar + 1);
        }
    }

    // A page with no radio and no more line is no page.
    void close_page() {
        if (state_ == Section::Open && drafts.back().radios.empty() && drafts.back().more.empty()) {
            problem(drafts.back().line, UserPagesFault::EmptyPage, drafts.back().name);
            drafts.pop_back();
        }
        state_ = Section::None;
    }

    enum class Section { None, Open, Skipped } state_ = Section::None;
    // Every page name met, the empty pages' too: a later section of that name
    // is a repeat. Views into the text being read, looked up in constant time:
    // a file of thousands of sections takes no longer per section.
    // The pages' names, at most kUserPagesMaxPages: a look through them costs
    // less than a hash table's code in the exe.
    std::vector<std::string_view> names_;
    std::array<UserPagesProblemKind, kUserPagesFaultKinds> kinds_{};
    UserPages::Storage& storage_;
};

// ---- pages -----------------------------------------------------------------

constexpr std::uint32_t kMarkColours[] = {0x1E88E5, 0xE53935, 0x43A047, 0xFB8C00,
                                          0x8E24AA, 0x00897B, 0x6D4C41, 0xD81B60};

std::uint32_t mark_colour(std::string_view name) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return kMarkColours[hash % std::size(kMarkColours)];
}

std::size_t first_character_size(std::string_view text) {
    std::size_t n = text.empty() ? 0 : 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
    return n;
}

void build_page(UserPages::Storage& storage, const PageDraft& draft) {
    const std::string_view name = storage.keep(draft.name);
    std::vector<std::string_view> captions;
    for (const Entry& radio : draft.radios) captions.push_back(storage.keep(radio.caption));
    const UserPageLayout layout = lay_out_user_page(captions, draft.more.size());

    std::vector<CategoryRadio>& radios = storage.radios.emplace_back();
    std::vector<ListItem>& list = storage.lists.emplace_back();
    const auto user_url = [&](const std::string& url) {
        return UrlTemplate{.host = HostRole::Count, .path = storage.keep(url), .form = UrlForm::User};
    };
    for (std::size_t i = 0; i < draft.radios.size(); ++i) {
        if (i < layout.radios.size()) {
            radios.push_back({.caption = captions[i], .rect = layout.radios[i], .url = user_url(draft.radios[i].url)});
        } else {
            list.push_back({.caption = captions[i], .url = user_url(draft.radios[i].url)});
        }
    }
    for (const Entry& more : draft.more)
        list.push_back({.caption = storage.keep(more.caption), .url = user_url(more.url)});

    UserPage& page = storage.pages.emplace_back();
    page.engine = Engine{
        .tab_caption = name,
        .image = -1,
        .radios = radios,
        .radio_checked_at_start = 0,
        .list_rect = layout.list,
        .list = list,
        .edit_rect = layout.edit,
        .button_caption = "搜索",
        .button_rect = layout.button,
        .home = {.host = HostRole::Count,
                 .path = draft.home ? storage.keep(*draft.home) : std::string_view(),
                 .form = UrlForm::User},
        .suggest = {.host = HostRole::Count,
                    .path = draft.suggest ? storage.keep(*draft.suggest) : std::string_view(),
                    .form = UrlForm::User},
    };
    if (draft.browser) {
        page.engine.browser = {.program = storage.keep(draft.browser->program),
                               .arguments = storage.keep(draft.browser->arguments)};
    }
    page.mark = name.substr(0, first_character_size(name));
    page.mark_colour = mark_colour(name);
    page.line = draft.line;
}

std::string_view fault_text(UserPagesFault fault) {
    switch (fault) {
    case UserPagesFault::FileTooLarge:
        return "文件超过 256 KB，从这一行起没有读";
    case UserPagesFault::TooManyPages:
        return "页数超过 32，这一节没有读";
    case UserPagesFault::TooManyLines:
        return "这一页的 radio 和 more 已有 64 行，这一行没有用";
    case UserPagesFault::OutsidePage:
        return "这一行不在任何一节（[页名]）里";
    case UserPagesFault::UnusableLine:
        return "看不懂这一行";
    case UserPagesFault::UnknownKey:
        return "不认识的键（只认 radio、more、home、suggest、browser）";
    case UserPagesFault::MissingBar:
        return "缺少“|”（写法：名字 | 网址）";
    case UserPagesFault::MissingName:
        return "“|”前面缺少名字";
    case UserPagesFault::NotHttp:
        return "网址必须是 http:// 或 https:// 加网站名开头";
    case UserPagesFault::UnknownPlaceholder:
        return "不认识的占位符";
    case UserPagesFault::MixedCharsets:
        return "一个网址里的关键词只能用一种编码";
    case UserPagesFault::DuplicatePage:
        return "页名重复，这一节没有读";
    case UserPagesFault::DuplicateHome:
        return "这一页已经有 home";
    case UserPagesFault::DuplicateSuggest:
        return "这一页已经有 suggest";
    case UserPagesFault::TooManyAddresses:
        return "一行最多 8 个网址，这一行没有用";
    case UserPagesFault::BadBrowser:
        return "browser 的写法：\"程序的完整路径\" 参数";
    case UserPagesFault::DuplicateBrowser:
        return "这一页已经有 browser";
    case UserPagesFault::EmptyPage:
        return "这一页没有可用的 radio 或 more 行";
    }
    return "看不懂这一行";
}

}  // namespace

UserPages::UserPages() : storage_(std::make_shared<const Storage>()) {}
UserPages::UserPages(std::shared_ptr<const Storage> storage) : storage_(std::move(storage)) {}
std::span<const UserPage> UserPages::pages() const { return storage_->pages; }
std::span<const UserPagesProblem> UserPages::problems() const { return storage_->problems; }
std::size_t UserPages::problem_count() const { return storage_->problem_count; }
std::span<const UserPagesProblemKind> UserPages::problem_kinds() const { return storage_->kinds; }

UserPages read_user_pages(std::string_view file_bytes, const CodePages& code_pages) {
    auto storage = std::make_shared<UserPages::Storage>();
    const bool too_large = file_bytes.size() > kUserPagesMaxBytes;
    std::string text = decoded(file_bytes.substr(0, kUserPagesMaxBytes), code_pages);

    // A file cut at the limit ends inside a line: that line is not read.
    if (too_large) {
        const auto last_break = text.find_last_of("\r\n");
        text.resize(last_break == std::string::npos ? 0 : last_break + 1);
    }
    Reader reader(*storage);
    const int lines = reader.read(text);
    if (too_large) reader.problem(lines + 1, UserPagesFault::FileTooLarge);
    for (const PageDraft& draft : reader.drafts) build_page(*storage, draft);
    storage->kinds = reader.problem_kinds();
    return UserPages(std::move(storage));
}

std::string describe_problem(const UserPagesProblem& problem) {
    std::string out = "第 " + std::to_string(problem.line) + " 行：";
    out += fault_text(problem.fault);
    if (!problem.detail.empty()) {
        out += "：";
        out += shortened(problem.detail, 24);
    }
    return out;
}

std::string user_pages_problem_text(const UserPages& pages, std::size_t shown) {
    const std::size_t count = pages.problem_count();
    if (count == 0) return {};
    std::string out(kUserPagesFileName);
    out += " 有 ";
    out += std::to_string(count);
    out += " 处问题，这些行没有用上：";
    // One line per kind: a file of a thousand empty sections says so once.
    std::size_t described = 0;  // the problems the lines above cover
    const auto kinds = pages.problem_kinds();
    for (std::size_t i = 0; i < kinds.size() && i < shown; ++i) {
        out += '\n';
        out += describe_problem(kinds[i].first);
        if (kinds[i].count > 1) {
            out += "（同样的还有 ";
            out += std::to_string(kinds[i].count - 1);
            out += " 处）";
        }
        described += kinds[i].count;
    }
    if (count > described) {
        out += "\n还有 ";
        out += std::to_string(count - described);
        out += " 处。";
    }
    return out;
}

// ---- layout ----------------------------------------------------------------

int caption_width(std::string_view caption) {
    int width = 0;
    const std::u16string units = utf16_from_utf8(caption);
    for (const char16_t u : units) {
        if (u >= 0xDC00 && u <= 0xDFFF) continue;  // the second half of a pair
        width += u < 0x2E80 ? 7 : 12;
    }
    return width;
}

UserPageLayout lay_out_user_page(std::span<const std::string_view> radio_captions, std::size_t more_lines) {
    // The built-in pages: radios at y 45, the keyword box and button below;
    // Google's two rows start higher. The tab page spans 456 x 136.
    constexpr int kLeft = 8, kRight = 448, kRowHeight = 20, kRows = 2;
    constexpr Rect kList = {376, 45, 72, 20};
    const auto radio_width = [](std::string_view caption) { return std::max(48, 24 + caption_width(caption)); };

    // Which radios fit in the rows, given where the rows end.
    const auto fit = [&](int right, std::vector<std::pair<int, int>>& places) {  // (x, row)
        places.clear();
        int x = kLeft, row = 0;
        for (const std::string_view caption : radio_captions) {
            const int width = std::min(radio_width(caption), right - kLeft);
            if (x + width > right) {
                if (++row == kRows) break;
                x = kLeft;
            }
            places.emplace_back(x, row);
            x += width;
        }
    };

    std::vector<std::pair<int, int>> places;
    UserPageLayout layout;
    layout.has_list = more_lines > 0;
    fit(layout.has_list ? kList.left - 8 : kRight, places);
    if (!layout.has_list && places.size() < radio_captions.size()) {
        layout.has_list = true;
        fit(kList.left - 8, places);
    }
    const bool two_rows = !places.empty() && places.back().second == 1;
    const int first_row_y = two_rows ? 37 : 45;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const int row_right = layout.has_list ? kList.left - 8 : kRight;
        const int width = std::min(radio_width(radio_captions[i]), row_right - places[i].first);
        layout.radios.push_back(rect_of(places[i].first, first_row_y + places[i].second * 22, width, kRowHeight));
    }
    if (layout.has_list) layout.list = rect_of(kList.left, first_row_y, kList.width, kList.height);
    const int edit_y = two_rows ? 88 : 80;
    layout.edit = rect_of(56, edit_y, 280, 24);
    layout.button = rect_of(344, edit_y, 62, 24);
    return layout;
}

}  // namespace velvane
