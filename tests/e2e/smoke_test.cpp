// The program starts, shows its window, and a search reaches the browser.
#include "harness.h"

namespace e2e {
namespace {

using velvane::ids::edit;

TEST_F(VelvaneTest, StartsAndSearchesBaiduByEnter) {
    ASSERT_TRUE(visible(app.tab()));
    const HWND keyword = app.control(edit(0));
    ASSERT_NE(keyword, nullptr);

    click(keyword);
    ASSERT_TRUE(wait_until([&] { return app.focus() == keyword; }));
    type(L"abc");
    ASSERT_TRUE(wait_until([&] { return text(keyword) == L"abc"; }));
    press(VK_RETURN);

    EXPECT_EQ(
        app.wait_for_urls(1),
        std::vector<std::string>{"http://www.baidu.com/s?ie=utf-8&bs=%61%62%63&sr=&z=&cl=3&f=8&wd=%61%62%63&ct=0"});
}

}  // namespace
}  // namespace e2e
