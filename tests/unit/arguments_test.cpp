// A command line split the way a Windows program splits its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/arguments.h"
#include "text/text.h"

namespace velvane {
namespace {

using Args = std::vector<std::u16string>;

TEST(SplitCommandLine, FollowsTheRulesWindowsProgramsSplitBy) {
    struct Case {
        std::u16string line;
        Args arguments;
    };
    const Case cases[] = {
        {u"\"C:\\a b\\x.exe\" a  b\t\"c d\"", {u"C:\\a b\\x.exe", u"a", u"b", u"c d"}},
        {u"x.exe \"C:\\Windows\\\"", {u"x.exe", u"C:\\Windows\""}},            // \" is a quote: the argument goes on
        {u"x.exe \"C:\\Windows\\\\\" y", {u"x.exe", u"C:\\Windows\\", u"y"}},  // \\" is \ and the close
        {u"x.exe a\\\\\\\"b a\\b", {u"x.exe", u"a\\\"b", u"a\\b"}},            // \\\" is \ and a literal quote
        {u"x.exe a\\\\ b\\", {u"x.exe", u"a\\\\", u"b\\"}},                    // not before a quote: as written
        {u"x.exe \"a\"\"b\" \"\"", {u"x.exe", u"a\"b", u""}},                  // "" inside quotes, an empty argument
        {u"x.exe a\"b c\"d", {u"x.exe", u"ab cd"}},
        {u"x.exe \"a b", {u"x.exe", u"a b"}},  // an open quote runs to the end
        {u"x.exe", {u"x.exe"}},
        {u"x.exe \t ", {u"x.exe"}},
        // The program: no escapes, its quotes only open and close it.
        {u"\"C:\\a\\\" b", {u"C:\\a\\", u"b"}},
        {u"C:\\a\"b c", {u"C:\\a\"b", u"c"}},
        {u"\"C:\\a b", {u"C:\\a b"}},
        {u"\"\" a", {u"", u"a"}},
        {u"", {u""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8_from_utf16(c.line));
        EXPECT_EQ(split_command_line(c.line), c.arguments);
    }
}

}  // namespace
}  // namespace velvane
