#include "engines/engine_page.h"

#include <algorithm>
#include <utility>

#include "text/encoder.h"

namespace velvane {
namespace {

constexpr std::string_view kRaw = "{raw}";
constexpr std::string_view kEncoded = "{enc}";
constexpr std::string_view kTail = "{tail}";

bool uses_encoded(const UrlTemplate& url) { return url.path.find(kEncoded) != std::string_view::npos; }

// Runs the encoder: the result box always holds the latest encoding.
const std::string& encode(EncoderScratch& scratch, std::string_view keyword) {
    scratch.last_encoded = encode_keyword(keyword);
    return scratch.last_encoded;
}

// Rows that carry the encoded keyword run the encoder right before they are
// joined, unless the page already did at the start of its search.
// A user template converts the keyword itself, address by address; when it
// cannot, the row gives no URL and the character waits in the scratch (the
// search then opens nothing).
void add_row(std::vector<std::string>& urls, const UrlTemplate& url, const PageState& state, EncoderScratch& scratch,
             bool already_encoded, std::string_view tail = {}) {
    if (url.form == UrlForm::User) {
        const CodePages& code_pages = scratch.code_pages ? *scratch.code_pages : system_code_pages();
        std::string_view addresses = url.path;
        while (true) {
            const auto bar = addresses.find(kAddressSeparator);
            ExpandedUrl expanded = expand_user_template(addresses.substr(0, bar), state.keyword, code_pages);
            if (expanded.unencodable && !scratch.unencodable) scratch.unencodable = expanded.unencodable;
            if (!expanded.url.empty()) urls.push_back(std::move(expanded.url));
            if (bar == std::string_view::npos) return;
            addresses.remove_prefix(bar + 1);
        }
    }
    if (uses_encoded(url) && !already_encoded) encode(scratch, state.keyword);
    urls.push_back(build_url(url, state.keyword, scratch.last_encoded, tail));
}

bool any_checked(const std::vector<bool>& radios) {
    return std::any_of(radios.begin(), radios.end(), [](bool b) { return b; });
}

bool checked(const std::vector<bool>& radios, std::size_t i) { return i < radios.size() && radios[i]; }

// One bit at a time: the library's bit-range fill and assign are several
// times this loop's code, for rows of at most a dozen radios.
void uncheck_all(std::vector<bool>& radios) {
    for (std::size_t i = 0; i < radios.size(); ++i) radios[i] = false;
}

void list_search(const Engine& engine, const PageState& state, EncoderScratch& scratch,
                 std::vector<std::string>& urls) {
    if (engine.encodes_before_list_search) encode(scratch, state.keyword);
    if (state.list_index < 0 || static_cast<std::size_t>(state.list_index) >= engine.list.size()) return;
    const ListItem& item = engine.list[static_cast<std::size_t>(state.list_index)];
    if (state.keyword.empty() && !item.ignores_keyword) return;
    add_row(urls, item.url, state, scratch, engine.encodes_before_list_search);
}

// A keyword one of the rows could not convert opens nothing at all.
std::vector<std::string> unless_unencodable(std::vector<std::string> urls, const EncoderScratch& scratch) {
    if (scratch.unencodable) urls.clear();
    return urls;
}

}  // namespace

PageState initial_state(const Engine& engine) {
    PageState state;
    state.radios = std::vector<bool>(engine.radios.size());
    if (engine.radio_checked_at_start < state.radios.size()) state.radios[engine.radio_checked_at_start] = true;
    if (engine.language_row) {
        state.languages = std::vector<bool>(engine.language_row->radios.size());
        if (engine.language_row->checked_at_start < state.languages.size())
            state.languages[engine.language_row->checked_at_start] = true;
    }
    state.language_row_visible = engine.language_row != nullptr;
    state.extra_button_visible = engine.extra_button != nullptr;
    return state;
}

std::string build_url(const UrlTemplate& url, std::string_view raw_keyword, std::string_view encoded_keyword,
                      std::string_view tail) {
    const std::string_view host = host_of(url.host);
    std::string out;
    out.reserve(7 + host.size() + url.path.size() + 2 * (raw_keyword.size() + encoded_keyword.size()) + tail.size());
    out += "http://";
    out += host;
    std::string_view rest = url.path;
    while (!rest.empty()) {
        const auto brace = rest.find('{');
        out += rest.substr(0, brace);
        if (brace == std::string_view::npos) break;
        rest.remove_prefix(brace);
        if (rest.starts_with(kRaw)) {
            out += raw_keyword_in_url(raw_keyword);
            rest.remove_prefix(kRaw.size());
        } else if (rest.starts_with(kEncoded)) {
            out += encoded_keyword;
            rest.remove_prefix(kEncoded.size());
        } else if (rest.starts_with(kTail)) {
            out += tail;
            rest.remove_prefix(kTail.size());
        } else {
            out += '{';
            rest.remove_prefix(1);
        }
    }
    return out;
}

std::vector<std::string> page_search(const Engine& engine, PageState& state, EncoderScratch& scratch) {
    std::vector<std::string> urls;
    scratch.unencodable.reset();
    if (engine.encodes_before_page_search) encode(scratch, state.keyword);
    if (state.keyword.empty()) {
        if (engine.home.form == UrlForm::HostAndPath)
            urls.push_back(build_url(engine.home, {}, {}));
        else if (!engine.home.path.empty())
            add_row(urls, engine.home, state, scratch, false);
        return urls;
    }
    // Each checked radio launches its own row; with one checked radio in the
    // group that is one URL.
    for (std::size_t i = 0; i < engine.radios.size(); ++i) {
        if (!checked(state.radios, i)) continue;
        const CategoryRadio& radio = engine.radios[i];
        if (radio.url.path.find(kTail) != std::string_view::npos && engine.language_row) {
            for (std::size_t l = 0; l < engine.language_row->radios.size(); ++l)
                if (checked(state.languages, l))
                    add_row(urls, radio.url, state, scratch, engine.encodes_before_page_search,
                            engine.language_row->radios[l].tail);
        } else {
            add_row(urls, radio.url, state, scratch, engine.encodes_before_page_search);
        }
        if (radio.hides_language_row_after_search) state.language_row_visible = false;
    }
    // List mode: no radio checked, the list item is the category.
    if (!any_checked(state.radios)) list_search(engine, state, scratch, urls);
    return unless_unencodable(std::move(urls), scratch);
}

std::optional<std::string> suggestion_url(const Engine& engine, std::string_view keyword, const CodePages& code_pages) {
    if (engine.suggest.path.empty() || keyword.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
    std::string url_template;
    if (engine.suggest.form == UrlForm::HostAndPath) {
        url_template = "https://";
        url_template += host_of(engine.suggest.host);
    }
    url_template += engine.suggest.path;
    if (check_user_template(url_template)) return std::nullopt;
    ExpandedUrl expanded = expand_user_template(url_template, keyword, code_pages);
    if (expanded.unencodable) return std::nullopt;
    return std::move(expanded.url);
}

std::vector<std::string> list_pick(const Engine& engine, PageState& state, EncoderScratch& scratch) {
    uncheck_all(state.radios);
    if (engine.language_row) state.language_row_visible = false;
    if (engine.extra_button) state.extra_button_visible = false;
    std::vector<std::string> urls;
    scratch.unencodable.reset();
    list_search(engine, state, scratch, urls);
    return unless_unencodable(std::move(urls), scratch);
}

std::vector<std::string> extra_button_search(const Engine& engine, const PageState& state) {
    if (!engine.extra_button) return {};
    return {build_url(engine.extra_button->url, state.keyword, {})};
}

void radio_clicked(const Engine& engine, PageState& state, std::size_t radio) {
    if (radio >= engine.radios.size()) return;
    uncheck_all(state.radios);
    state.radios[radio] = true;
    switch (engine.radios[radio].on_click) {
    case RadioClick::ShowExtras:
        if (engine.language_row) state.language_row_visible = true;
        if (engine.extra_button) state.extra_button_visible = true;
        break;
    case RadioClick::HideExtras:
        state.language_row_visible = false;
        state.extra_button_visible = false;
        break;
    case RadioClick::Nothing:
        break;
    }
}

}  // namespace velvane
