// "开机自动运行" against a registry that can refuse writes and folders that
// ordinary users can or cannot change: the machine-wide Run key only for a
// protected folder, the user's otherwise or when that is refused, and the
// result is what the registry holds afterwards.
#include "app/run_at_startup.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velvane {
namespace {

class FakeRunKeys final : public RunKeyStore {
public:
    bool exists(RunKeyScope scope) const override { return values.count(scope) != 0; }
    bool write(RunKeyScope scope, const std::wstring& value) override {
        if (write_refused.count(scope)) return false;
        values[scope] = value;
        return true;
    }
    void remove(RunKeyScope scope) override {
        if (!remove_refused.count(scope)) values.erase(scope);
    }

    std::optional<std::wstring> value(RunKeyScope scope) const {
        const auto it = values.find(scope);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }

    std::map<RunKeyScope, std::wstring> values;
    std::set<RunKeyScope> write_refused;
    std::set<RunKeyScope> remove_refused;
};

// Answers for every folder what the test says, and notes what was asked.
class FakeFolders final : public FolderAccess {
public:
    explicit FakeFolders(bool writable) : writable_(writable) {}
    bool writable_by_ordinary_users(const std::wstring& folder) const override {
        asked.push_back(folder);
        return writable_;
    }
    mutable std::vector<std::wstring> asked;

private:
    bool writable_;
};

constexpr std::wstring_view kExe = L"C:\\Velvane\\velvane.exe";

// Where "on" puts the value: machine-wide only for a folder that ordinary
// users cannot change (a program there cannot be swapped for every user's
// logon), and only where the machine's key takes the write.
TEST(RunAtStartup, OnWritesTheMachineValueOnlyForAProtectedFolder) {
    struct Case {
        const char* name;
        bool folder_writable;
        std::set<RunKeyScope> write_refused;
        std::optional<RunKeyScope> written;  // where the value is afterwards
    };
    const Case cases[] = {
        {"protected folder", false, {}, RunKeyScope::Machine},
        {"protected folder, machine key refused", false, {RunKeyScope::Machine}, RunKeyScope::User},
        {"protected folder, both refused", false, {RunKeyScope::Machine, RunKeyScope::User}, std::nullopt},
        {"folder anyone can write", true, {}, RunKeyScope::User},
        {"folder anyone can write, user key refused", true, {RunKeyScope::User}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRunKeys keys;
        keys.write_refused = c.write_refused;
        const FakeFolders folders(c.folder_writable);
        EXPECT_EQ(set_run_at_startup(keys, folders, true, kExe), c.written.has_value());
        EXPECT_EQ(run_at_startup_enabled(keys), c.written.has_value());
        if (c.written) {
            EXPECT_EQ(keys.value(*c.written), std::wstring(kExe));
            EXPECT_EQ(keys.values.size(), 1u);
        } else {
            EXPECT_TRUE(keys.values.empty());
        }
        EXPECT_EQ(folders.asked, std::vector<std::wstring>{L"C:\\Velvane"});
    }
}

TEST(RunAtStartup, OffRemovesTheValueFromBothKeys) {
    FakeRunKeys keys;
    keys.values[RunKeyScope::Machine] = L"C:\\Velvane\\velvane.exe";
    keys.values[RunKeyScope::User] = L"C:\\Velvane\\velvane.exe";
    EXPECT_FALSE(set_run_at_startup(keys, FakeFolders(false), false, kExe));
    EXPECT_TRUE(keys.values.empty());
    EXPECT_FALSE(run_at_startup_enabled(keys));
}

// A machine-wide value that a user without administrator rights cannot
// remove keeps the check mark on; the user's own value goes all the same.
TEST(RunAtStartup, OffReportsOnWhileAValueRemains) {
    FakeRunKeys keys;
    keys.values[RunKeyScope::Machine] = std::wstring(kExe);
    keys.values[RunKeyScope::User] = std::wstring(kExe);
    keys.remove_refused.insert(RunKeyScope::Machine);
    EXPECT_TRUE(set_run_at_startup(keys, FakeFolders(false), false, kExe));
    EXPECT_FALSE(keys.exists(RunKeyScope::User));
}

// After the program has moved, the value of the old place still means "on",
// and switching off removes it.
TEST(RunAtStartup, AStaleValueCountsAsOnUntilSwitchedOff) {
    for (const RunKeyScope scope : {RunKeyScope::Machine, RunKeyScope::User}) {
        FakeRunKeys keys;
        keys.values[scope] = L"D:\\Old place\\velvane.exe";
        EXPECT_TRUE(run_at_startup_enabled(keys));
        EXPECT_FALSE(set_run_at_startup(keys, FakeFolders(false), false, kExe));
        EXPECT_TRUE(keys.values.empty());
    }
}

TEST(RunAtStartup, ThePathIsQuotedOnlyWhenItHoldsABlank) {
    EXPECT_EQ(run_value_for(L"C:\\Velvane\\velvane.exe"), L"C:\\Velvane\\velvane.exe");
    EXPECT_EQ(run_value_for(L"C:\\Program Files\\Velvane\\velvane.exe"),
              L"\"C:\\Program Files\\Velvane\\velvane.exe\"");

    FakeRunKeys keys;
    set_run_at_startup(keys, FakeFolders(false), true, L"C:\\Program Files\\Velvane\\velvane.exe");
    EXPECT_EQ(keys.value(RunKeyScope::Machine), L"\"C:\\Program Files\\Velvane\\velvane.exe\"");
}

}  // namespace
}  // namespace velvane
