// The reader of the user's engines file on any bytes. It must
//   - not crash, and give the same pages and problems when read again;
//   - keep to its limits (pages, lines a page, problems kept), its problems
//     counted by kind adding up to all of them;
//   - accept only templates that start with "http://" or "https://" and
//     pass the template check, with captions and templates valid UTF-8;
//   - make pages whose every row, searched with a keyword, gives one URL per
//     address of the row (at most kUserLineMaxAddresses), in order, each
//     keeping its address's scheme and host, or reports an unencodable
//     character and opens nothing;
//   - give a page's browser only as a program that is a full path, starts
//     with an environment variable or is a bare name, with UTF-8 arguments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "engines/user_pages.h"
#include "text/text.h"

namespace {

using namespace velvane;

bool valid_utf8(std::string_view text) { return utf8_from_utf16(utf16_from_utf8(text)) == text; }

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// "http://host" or "https://host" of a template or URL, lower-cased.
std::string origin(std::string_view url) {
    const std::size_t host = lower(url.substr(0, 8)).starts_with("https://") ? 8 : 7;
    const std::size_t end = std::min(url.find_first_of("/?#", host), url.size());
    return lower(url.substr(0, end));
}

std::string summary(const UserPages& read) {
    std::string out;
    for (const UserPage& page : read.pages()) {
        const Engine& e = page.engine;
        out += std::string(e.tab_caption) + '\n' + std::string(e.home.path) + '\n' + std::string(e.browser.program) +
               '\n' + std::string(e.browser.arguments) + '\n';
        for (const CategoryRadio& r : e.radios)
            out += std::string(r.caption) + '|' + std::string(r.url.path) + '|' + std::to_string(r.rect.left) + ',' +
                   std::to_string(r.rect.top) + ',' + std::to_string(r.rect.width) + '\n';
        for (const ListItem& i : e.list) out += std::string(i.caption) + '|' + std::string(i.url.path) + '\n';
    }
    for (const UserPagesProblem& p : read.problems()) out += describe_problem(p) + '\n';
    return out + std::to_string(read.problem_count());
}

// A row's addresses, in order.
std::vector<std::string_view> addresses(std::string_view path) {
    std::vector<std::string_view> out;
    while (true) {
        const auto bar = path.find(kAddressSeparator);
        out.push_back(path.substr(0, bar));
        if (bar == std::string_view::npos) return out;
        path.remove_prefix(bar + 1);
    }
}

void check_template(const UrlTemplate& url) {
    FUZZ_CHECK(url.form == UrlForm::User);
    FUZZ_CHECK(valid_utf8(url.path));
    const auto each = addresses(url.path);
    FUZZ_CHECK(each.size() <= kUserLineMaxAddresses);
    for (const std::string_view address : each) {
        const std::string scheme = lower(address.substr(0, 8));
        FUZZ_CHECK(scheme.starts_with("http://") || scheme.starts_with("https://"));
        FUZZ_CHECK(!check_user_template(address));
    }
}

void check_search(const std::vector<std::string>& urls, const EncoderScratch& scratch, const UrlTemplate& row) {
    if (scratch.unencodable) {
        FUZZ_CHECK(urls.empty());
        return;
    }
    const auto each = addresses(row.path);
    FUZZ_CHECK(urls.size() == each.size());
    for (std::size_t i = 0; i < urls.size() && i < each.size(); ++i) FUZZ_CHECK(origin(urls[i]) == origin(each[i]));
}

void check_browser(const PageBrowser& browser) {
    FUZZ_CHECK(valid_utf8(browser.program) && valid_utf8(browser.arguments));
    if (browser.program.empty()) {
        FUZZ_CHECK(browser.arguments.empty());
        return;
    }
    const std::string_view p = browser.program;
    const bool drive = p.size() >= 3 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
                       (p[2] == '\\' || p[2] == '/');
    const bool bare = p.find_first_of("\\/:") == std::string_view::npos;
    FUZZ_CHECK(drive || p.starts_with("\\\\") || p.front() == '%' || bare);
    FUZZ_CHECK(p.find('"') == std::string_view::npos);
}

void check_page(const UserPage& page) {
    const Engine& engine = page.engine;
    FUZZ_CHECK(!engine.tab_caption.empty() && valid_utf8(engine.tab_caption));
    FUZZ_CHECK(!engine.radios.empty() || !engine.list.empty());
    FUZZ_CHECK(engine.radios.size() + engine.list.size() <= kUserPageMaxLines);
    FUZZ_CHECK(engine.tab_caption.starts_with(page.mark) && !page.mark.empty());
    if (!engine.home.path.empty()) check_template(engine.home);
    check_browser(engine.browser);

    // A keyword that differs in every code page, and one GBK cannot hold.
    for (const std::string_view keyword : {std::string_view("中 a&b+%\""), std::string_view("\xF0\x9F\x98\x80")}) {
        EncoderScratch scratch;
        for (std::size_t r = 0; r < engine.radios.size(); ++r) {
            const CategoryRadio& radio = engine.radios[r];
            check_template(radio.url);
            FUZZ_CHECK(valid_utf8(radio.caption) && !radio.caption.empty());
            FUZZ_CHECK(radio.rect.left >= 0 && radio.rect.left + radio.rect.width <= 456 && radio.rect.width > 0);
            PageState state = initial_state(engine);
            radio_clicked(engine, state, r);
            state.keyword = keyword;
            check_search(page_search(engine, state, scratch), scratch, radio.url);
        }
        for (std::size_t i = 0; i < engine.list.size(); ++i) {
            check_template(engine.list[i].url);
            PageState state = initial_state(engine);
            state.keyword = keyword;
            state.list_index = static_cast<int>(i);
            check_search(list_pick(engine, state, scratch), scratch, engine.list[i].url);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const UserPages first = read_user_pages(bytes);
    const UserPages second = read_user_pages(bytes);
    FUZZ_CHECK(summary(first) == summary(second));

    FUZZ_CHECK(first.pages().size() <= kUserPagesMaxPages);
    FUZZ_CHECK(first.problems().size() <= UserPages::kKeptProblems);
    FUZZ_CHECK(first.problems().size() <= first.problem_count());
    FUZZ_CHECK(std::is_sorted(first.problems().begin(), first.problems().end(),
                              [](const UserPagesProblem& a, const UserPagesProblem& b) { return a.line < b.line; }));
    for (const UserPagesProblem& problem : first.problems()) FUZZ_CHECK(valid_utf8(describe_problem(problem)));
    // The kinds add up to every problem, each kind's first being its first.
    std::size_t counted = 0;
    for (const UserPagesProblemKind& kind : first.problem_kinds()) {
        counted += kind.count;
        FUZZ_CHECK(kind.count > 0);
        if (!first.problems().empty() && first.problems().back().line > kind.first.line)
            FUZZ_CHECK(std::any_of(first.problems().begin(), first.problems().end(),
                                   [&](const UserPagesProblem& p) { return p.fault == kind.first.fault; }));
    }
    FUZZ_CHECK(counted == first.problem_count());
    FUZZ_CHECK(std::is_sorted(
        first.problem_kinds().begin(), first.problem_kinds().end(),
        [](const UserPagesProblemKind& a, const UserPagesProblemKind& b) { return a.first.line < b.first.line; }));
    FUZZ_CHECK(valid_utf8(user_pages_problem_text(first)));
    for (const UserPage& page : first.pages()) check_page(page);
    return 0;
}
