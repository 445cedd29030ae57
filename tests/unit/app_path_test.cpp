// "从“运行”对话框搜索": the App Paths key's check mark, switching it on and
// off, and following the program when its folder moves.
#include <gtest/gtest.h>

#include <set>

#include "app/app_path.h"

namespace velvane {
namespace {

class FakeAppPath final : public AppPathStore {
public:
    std::optional<std::wstring> read() const override { return value; }
    bool write(const std::wstring& executable_path) override {
        ++writes;
        value = executable_path;
        return true;
    }
    void remove() override { value.reset(); }

    std::optional<std::wstring> value;
    int writes = 0;
};

constexpr std::wstring_view kExe = L"D:\\绿色 软件\\Velvane\\velvane.exe";

TEST(AppPath, TheCheckMarkIsTheKeyNamingThisProgram) {
    FakeAppPath store;
    EXPECT_FALSE(app_path_enabled(store, kExe));
    EXPECT_TRUE(set_app_path(store, true, kExe));
    EXPECT_EQ(store.value, std::wstring(kExe));  // the full path as it is, blanks and all, unquoted

    // Windows compares paths without regard to case, quotes or slashes.
    for (const std::wstring same : {L"d:\\绿色 软件\\VELVANE\\Velvane.EXE", L"\"D:\\绿色 软件\\Velvane\\velvane.exe\"",
                                    L"D:/绿色 软件/Velvane/velvane.exe"}) {
        store.value = same;
        EXPECT_TRUE(app_path_enabled(store, kExe));
    }
    store.value = L"D:\\其他\\velvane.exe";
    EXPECT_FALSE(app_path_enabled(store, kExe));

    // Off leaves another copy's registration alone; this one's goes.
    EXPECT_FALSE(set_app_path(store, false, kExe));
    EXPECT_EQ(store.value, L"D:\\其他\\velvane.exe");
    EXPECT_TRUE(set_app_path(store, true, kExe));
    EXPECT_FALSE(set_app_path(store, false, kExe));
    EXPECT_EQ(store.value, std::nullopt);
}

TEST(AppPath, AMovedProgramTakesTheKeyOverAtStart) {
    const std::set<std::wstring> files = {std::wstring(kExe), L"C:\\另一份\\velvane.exe"};
    const auto exists = [&](const std::wstring& path) { return files.count(path) != 0; };
    struct Case {
        std::optional<std::wstring> registered;
        bool on_after;
        std::optional<std::wstring> value_after;
    };
    const Case cases[] = {
        {std::nullopt, false, std::nullopt},                              // off stays off
        {std::wstring(kExe), true, std::wstring(kExe)},                   // nothing to do
        {L"C:\\旧的地方\\velvane.exe", true, std::wstring(kExe)},         // moved: followed
        {L"\"C:\\旧的地方\\velvane.exe\"", true, std::wstring(kExe)},     // moved, quoted
        {L"", true, std::wstring(kExe)},                                  // an empty value
        {L"C:\\另一份\\velvane.exe", false, L"C:\\另一份\\velvane.exe"},  // another copy's
    };
    for (const Case& c : cases) {
        FakeAppPath store;
        store.value = c.registered;
        follow_moved_executable(store, kExe, exists);
        EXPECT_EQ(app_path_enabled(store, kExe), c.on_after);
        EXPECT_EQ(store.value, c.value_after);
        EXPECT_LE(store.writes, 1);
    }
    FakeAppPath unchanged;
    unchanged.value = std::wstring(kExe);
    follow_moved_executable(unchanged, kExe, exists);
    EXPECT_EQ(unchanged.writes, 0) << "the registry is written only when something changes";
}

}  // namespace
}  // namespace velvane
