// The URL templates of the user's engines file: a whole "http://" or
// "https://" address with placeholders for the keyword.
//
//   {keyword}        the keyword's UTF-8 bytes, every byte that is not an
//                    unreserved character (A-Z a-z 0-9 - . _ ~) as %XX, a
//                    blank as %20
//   {keyword:gbk}    the same with the keyword's GBK bytes
//   {keyword:big5}   the same with its Big5 bytes
//   {keyword:raw}    the keyword as typed (the launch's safety escaping still
//                    applies, as to every URL)
//   {keyword:+}      blanks as "+"; combines: {keyword:gbk,+}
//   {keyword:utf-8}  the same as {keyword}
//   %s {q} {query} {searchTerms}   other names of {keyword}, options included
//   {charset}        "utf-8", "gbk" or "big5": the code page of the template's
//                    keyword (utf-8 when it has none but raw)
//
// Names and options are ASCII case-insensitive. A template sends its keyword
// in one code page: {keyword} beside {keyword:gbk} is refused, raw goes with
// any. Anything else in braces, or a brace left open, is an unknown
// placeholder. The address's scheme and host are literal: the keyword cannot
// choose where the browser goes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/code_page.h"

namespace velvane {

enum class TemplateFault : unsigned char {
    NotHttp,             // not "http://" or "https://" followed by a host
    UnknownPlaceholder,  // detail: the placeholder as written
    MixedCharsets,       // detail: the placeholder that disagrees
};

struct TemplateProblem {
    TemplateFault fault;
    std::string detail;
};

// Nullopt when the template can be used.
std::optional<TemplateProblem> check_user_template(std::string_view url_template);

// A keyword character the template's code page cannot hold: nothing may be
// opened, and the user is told which character.
struct Unencodable {
    char32_t character = 0;
    KeywordCharset charset = KeywordCharset::Gbk;
};

struct ExpandedUrl {
    std::string url;  // empty when unencodable is set
    std::optional<Unencodable> unencodable;
};

// The URL for a keyword (UTF-8, as typed). The template must have passed
// check_user_template; the empty keyword fills every placeholder with nothing.
ExpandedUrl expand_user_template(std::string_view url_template, std::string_view keyword, const CodePages& code_pages);

// What the tray balloon says for an unencodable character, e.g.
// 关键词里的“😀”（U+1F600）无法用 GBK 编码，没有打开网页。
std::string unencodable_message(const Unencodable& unencodable);

}  // namespace velvane
