// The answer of a search suggestion service in the OpenSearch suggestions
// format: a JSON array whose first element is the text that was asked for
// and whose second is the array of suggestions,
//
//   ["中文", ["中文翻译", "中文输入法", ...], ...]
//
// (further elements, descriptions and addresses, are allowed and not used).
//
// The answer comes from the network, so the reader trusts nothing: it reads
// at most kSuggestionAnswerMaxBytes, keeps at most kMaxSuggestions entries,
// and anything that is not such an array — an error page, HTML, a truncated
// or malformed answer, a charset it does not know — gives no suggestions at
// all rather than a guess.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/code_page.h"

namespace velvane {

inline constexpr std::size_t kMaxSuggestions = 10;
inline constexpr std::size_t kSuggestionAnswerMaxBytes = 64 * 1024;

// The code page a Content-Type header names with its charset parameter
// ("application/json; charset=GBK"): UTF-8 when it names none; GBK for gbk,
// gb2312, gb18030 and their other names; Big5 for big5 and big5-hkscs.
// Nullopt for any other charset: such an answer is not read.
std::optional<KeywordCharset> suggestion_charset(std::string_view content_type);

// The suggestions of an answer body, UTF-8, in the server's order, at most
// kMaxSuggestions. Empty for a body over kSuggestionAnswerMaxBytes or one that
// is not an OpenSearch suggestions array. JSON escapes are understood
// (\u4E2D, surrogate pairs as \uD83D\uDE00); a suggestion that is empty,
// all blanks, holds a control character or a lone surrogate, or did not decode
// cleanly from the charset is left out, as is every entry of the suggestions
// array that is not a string.
std::vector<std::string> read_suggestions(std::string_view body, std::string_view content_type,
                                          const CodePages& code_pages = system_code_pages());

}  // namespace velvane
