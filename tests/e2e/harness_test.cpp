// The harness itself: a start of velvane.exe that fails is recognised, said
// with its cause and made once more, and a second failure fails the test
// with both causes. Other programs stand in for a velvane.exe that fails.
#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "harness.h"

namespace e2e {
namespace {

std::filesystem::path built_exe(const char* unix_path) {
    std::wstring path = utf16(unix_path);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return L"Z:" + path;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

TEST(Harness, AFailedStartIsMadeOnceMoreAndASecondFailsWithBothCauses) {
    struct Case {
        const char* name;
        std::filesystem::path stand_in;
        std::string cause;  // as the harness says it, each time
        std::size_t logged_starts;
    };
    const Case cases[] = {
        // The URL logger notes each start of its own in the URL log, and ends.
        {"ends at once", url_logger_path(), "the process ended before its main window appeared, exit code 0", 2},
        // Another program's window, not Velvane's: it keeps running.
        {"shows no Velvane window", built_exe(VELVANE_SELECTION_SOURCE_EXE),
         "no main window within 3 s while the process ran", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Velvane app(Browser::LoggerPerUrl);
        std::filesystem::copy_file(c.stand_in, app.program_dir() / L"velvane.exe",
                                   std::filesystem::copy_options::overwrite_existing);
        std::string message;
        try {
            app.start(3s);
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        EXPECT_NE(message.find("velvane.exe failed to start twice"), std::string::npos) << message;
        EXPECT_EQ(occurrences(message, c.cause), 2u) << message;
        EXPECT_FALSE(app.running());
        EXPECT_EQ(app.urls().size(), c.logged_starts);
    }
}

}  // namespace
}  // namespace e2e
