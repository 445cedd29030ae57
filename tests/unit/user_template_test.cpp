// The user templates: placeholder expansion in each code page, what the
// reader refuses, and an unencodable keyword reaching the page's caller.
#include <gtest/gtest.h>

#include "engines/engine_page.h"
#include "text/user_template.h"

namespace velvane {
namespace {

// 中 is E4 B8 AD in UTF-8, D6 D0 in GBK, A4 A4 in Big5; the blank, "&", "+"
// and "%" show the escaping and the "+" option.
constexpr std::string_view kKeyword = "中 a&b+%";

std::string expand(std::string_view url_template, std::string_view keyword = kKeyword) {
    const ExpandedUrl expanded = expand_user_template(url_template, keyword, system_code_pages());
    EXPECT_FALSE(expanded.unencodable) << url_template;
    return expanded.url;
}

TEST(UserTemplate, ExpandsEachPlaceholderForm) {
    const struct {
        std::string_view url_template, url;
    } cases[] = {
        {"https://s.cn/?q={keyword}", "https://s.cn/?q=%E4%B8%AD%20a%26b%2B%25"},
        {"https://s.cn/?q={keyword:utf-8}", "https://s.cn/?q=%E4%B8%AD%20a%26b%2B%25"},
        {"https://s.cn/?q={keyword:gbk}", "https://s.cn/?q=%D6%D0%20a%26b%2B%25"},
        {"https://s.cn/?q={keyword:big5}", "https://s.cn/?q=%A4%A4%20a%26b%2B%25"},
        {"https://s.cn/?q={keyword:raw}", "https://s.cn/?q=中%20a%26b%2B%25"},
        {"https://s.cn/?q={keyword:+}", "https://s.cn/?q=%E4%B8%AD+a%26b%2B%25"},
        {"https://s.cn/?q={keyword:gbk,+}", "https://s.cn/?q=%D6%D0+a%26b%2B%25"},
        {"https://s.cn/?q={keyword:+,big5}", "https://s.cn/?q=%A4%A4+a%26b%2B%25"},
        {"https://s.cn/?q={keyword:raw,+}", "https://s.cn/?q=中+a%26b%2B%25"},
        // The aliases, options included, and names in any case.
        {"https://s.cn/?q=%s", "https://s.cn/?q=%E4%B8%AD%20a%26b%2B%25"},
        {"https://s.cn/?q={q}", "https://s.cn/?q=%E4%B8%AD%20a%26b%2B%25"},
        {"https://s.cn/?q={query}", "https://s.cn/?q=%E4%B8%AD%20a%26b%2B%25"},
        {"https://s.cn/?q={searchTerms}", "https://s.cn/?q=%E4%B8%AD%20a%26b%2B%25"},
        {"https://s.cn/?q={q:gbk}", "https://s.cn/?q=%D6%D0%20a%26b%2B%25"},
        {"https://s.cn/?q={ Keyword : GBK , + }", "https://s.cn/?q=%D6%D0+a%26b%2B%25"},
        // {charset} follows the template's keyword, wherever it stands.
        {"https://s.cn/?ie={charset}&q={keyword}", "https://s.cn/?ie=utf-8&q=%E4%B8%AD%20a%26b%2B%25"},
        {"https://s.cn/?ie={charset}&q={keyword:gbk}", "https://s.cn/?ie=gbk&q=%D6%D0%20a%26b%2B%25"},
        {"https://s.cn/?q={keyword:big5}&ie={charset}", "https://s.cn/?q=%A4%A4%20a%26b%2B%25&ie=big5"},
        {"https://s.cn/?q={keyword:raw}&ie={charset}", "https://s.cn/?q=中%20a%26b%2B%25&ie=utf-8"},
        {"https://s.cn/?q={keyword:raw}&g={keyword:gbk}&ie={charset}",
         "https://s.cn/?q=中%20a%26b%2B%25&g=%D6%D0%20a%26b%2B%25&ie=gbk"},
        // Literal text, other percent escapes and a closing brace stay as written.
        {"HTTP://S.cn/a%20b}/?x=%25&q={keyword}#top", "HTTP://S.cn/a%20b}/?x=%25&q=%E4%B8%AD%20a%26b%2B%25#top"},
        {"https://s.cn/", "https://s.cn/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check_user_template(c.url_template), std::nullopt) << c.url_template;
        EXPECT_EQ(expand(c.url_template), c.url) << c.url_template;
    }
}

TEST(UserTemplate, UnreservedCharactersStayAndAnEmptyKeywordFillsNothing) {
    EXPECT_EQ(expand("https://s.cn/?q={keyword}", "AZaz09-._~/"), "https://s.cn/?q=AZaz09-._~%2F");
    EXPECT_EQ(expand("https://s.cn/?q={keyword:gbk}&ie={charset}", ""), "https://s.cn/?q=&ie=gbk");
}

TEST(UserTemplate, RefusesWhatCannotBeUsed) {
    const struct {
        std::string_view url_template;
        TemplateFault fault;
        std::string_view detail;
    } cases[] = {
        {"ftp://s.cn/?q={keyword}", TemplateFault::NotHttp, "ftp://s.cn/?q={keyword}"},
        {"javascript:alert({keyword})", TemplateFault::NotHttp, "javascript:alert({keyword})"},
        {"file:///C:/Windows/notepad.exe", TemplateFault::NotHttp, "file:///C:/Windows/notepad.exe"},
        {"C:\\Windows\\notepad.exe %s", TemplateFault::NotHttp, "C:\\Windows\\notepad.exe %s"},
        {"", TemplateFault::NotHttp, ""},
        {"https://", TemplateFault::NotHttp, "https://"},
        {"https:///s?q={keyword}", TemplateFault::NotHttp, "https:///s?q={keyword}"},
        // The keyword cannot choose the host.
        {"https://{keyword:raw}/", TemplateFault::NotHttp, "https://{keyword:raw}/"},
        {"http://www.%s.com/", TemplateFault::NotHttp, "http://www.%s.com/"},
        {"https://s.cn/?q={kw}", TemplateFault::UnknownPlaceholder, "{kw}"},
        {"https://s.cn/?q={keyword:gb2312}", TemplateFault::UnknownPlaceholder, "{keyword:gb2312}"},
        {"https://s.cn/?q={keyword:}", TemplateFault::UnknownPlaceholder, "{keyword:}"},
        {"https://s.cn/?q={charset:gbk}", TemplateFault::UnknownPlaceholder, "{charset:gbk}"},
        {"https://s.cn/?q={}", TemplateFault::UnknownPlaceholder, "{}"},
        {"https://s.cn/?q={keyword", TemplateFault::UnknownPlaceholder, "{keyword"},
        {"https://s.cn/?q={keyword}&g={keyword:gbk}", TemplateFault::MixedCharsets, "{keyword:gbk}"},
        {"https://s.cn/?q=%s&b={q:big5}", TemplateFault::MixedCharsets, "{q:big5}"},
        {"https://s.cn/?q={keyword:gbk,big5}", TemplateFault::MixedCharsets, "{keyword:gbk,big5}"},
        {"https://s.cn/?q={keyword:raw,gbk}", TemplateFault::MixedCharsets, "{keyword:raw,gbk}"},
    };
    for (const auto& c : cases) {
        const auto problem = check_user_template(c.url_template);
        ASSERT_TRUE(problem) << c.url_template;
        EXPECT_EQ(problem->fault, c.fault) << c.url_template;
        EXPECT_EQ(problem->detail, c.detail) << c.url_template;
    }
}

TEST(UserTemplate, ReportsTheFirstCharacterTheCodePageCannotHold) {
    const struct {
        std::string_view url_template, keyword;
        char32_t character;
        KeywordCharset charset;
    } cases[] = {
        {"https://s.cn/?q={keyword:gbk}", "中😀文🙂", U'😀', KeywordCharset::Gbk},
        // No best fit: À is not sent as A.
        {"https://s.cn/?q={keyword:gbk}", "xÀ", U'À', KeywordCharset::Gbk},
        // Big5 holds traditional characters, not 这.
        {"https://s.cn/?q={keyword:big5}", "中这", U'这', KeywordCharset::Big5},
        // A lone surrogate from the keyword box arrives as U+FFFD.
        {"https://s.cn/?q={keyword:gbk}", "a\xEF\xBF\xBD", 0xFFFD, KeywordCharset::Gbk},
    };
    for (const auto& c : cases) {
        const ExpandedUrl expanded = expand_user_template(c.url_template, c.keyword, system_code_pages());
        ASSERT_TRUE(expanded.unencodable) << c.keyword;
        EXPECT_EQ(expanded.unencodable->character, c.character) << c.keyword;
        EXPECT_EQ(expanded.unencodable->charset, c.charset) << c.keyword;
        EXPECT_EQ(expanded.url, "");
    }
    // The same keyword goes out whole in UTF-8 and raw.
    EXPECT_EQ(expand("https://s.cn/?q={keyword}", "😀"), "https://s.cn/?q=%F0%9F%98%80");
    EXPECT_EQ(expand("https://s.cn/?q={keyword:raw}", "😀"), "https://s.cn/?q=😀");

    EXPECT_EQ(unencodable_message({U'😀', KeywordCharset::Gbk}),
              "关键词里的“😀”（U+1F600）无法用 GBK 编码，没有打开网页。");
    EXPECT_EQ(unencodable_message({0xFFFD, KeywordCharset::Big5}),
              "关键词里的（U+FFFD）无法用 Big5 编码，没有打开网页。");
}

// A page made by hand from user templates, as the reader makes them.
constexpr UrlTemplate user(std::string_view url) { return {.path = url, .form = UrlForm::User}; }

constexpr CategoryRadio kRadios[] = {
    {"帖子", {8, 45, 48, 20}, user("http://bbs.example.cn/search.php?srchtxt={keyword:gbk}")},
    {"用户", {56, 45, 48, 20}, user("http://bbs.example.cn/u?name={keyword}")},
};
constexpr ListItem kList[] = {{"原样", user("http://bbs.example.cn/raw?q={keyword:raw}")}};
constexpr Engine kForum = {.tab_caption = "论坛", .image = -1, .radios = kRadios, .list = kList, .home = user("")};

TEST(UserTemplateOnAPage, UnencodableKeywordOpensNothingAndReachesTheCaller) {
    EncoderScratch scratch;
    PageState state = initial_state(kForum);
    state.keyword = "中";
    EXPECT_EQ(page_search(kForum, state, scratch),
              std::vector<std::string>{"http://bbs.example.cn/search.php?srchtxt=%D6%D0"});
    EXPECT_FALSE(scratch.unencodable);
    EXPECT_EQ(scratch.last_encoded, "");  // the result box is the built-in pages' own

    state.keyword = "中😀";
    EXPECT_EQ(page_search(kForum, state, scratch), std::vector<std::string>{});
    ASSERT_TRUE(scratch.unencodable);
    EXPECT_EQ(scratch.unencodable->character, U'😀');

    // The next search starts clean: UTF-8 holds the emoji.
    radio_clicked(kForum, state, 1);
    EXPECT_EQ(page_search(kForum, state, scratch),
              std::vector<std::string>{"http://bbs.example.cn/u?name=%E4%B8%AD%F0%9F%98%80"});
    EXPECT_FALSE(scratch.unencodable);

    // A raw list row goes out as typed, as the built-in raw rows carry it.
    state.list_index = 0;
    EXPECT_EQ(list_pick(kForum, state, scratch), std::vector<std::string>{"http://bbs.example.cn/raw?q=中😀"});

    // No home: an empty keyword opens nothing.
    state.keyword.clear();
    EXPECT_EQ(page_search(kForum, state, scratch), std::vector<std::string>{});
    Engine with_home = kForum;
    with_home.home = user("http://bbs.example.cn/");
    EXPECT_EQ(page_search(with_home, state, scratch), std::vector<std::string>{"http://bbs.example.cn/"});
}

}  // namespace
}  // namespace velvane
