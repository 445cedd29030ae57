// "开机自动运行" against a registry that can refuse writes: the machine-wide
// Run key first, the user's when that is refused, and the result is what the
// registry holds afterwards.
#include "app/run_at_startup.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>

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

constexpr std::wstring_view kExe = L"C:\\Velvane\\velvane.exe";

TEST(RunAtStartup, OnWritesTheMachineValueWhereTheMachineKeyIsWritable) {
    FakeRunKeys keys;
    EXPECT_TRUE(set_run_at_startup(keys, true, kExe));
    EXPECT_EQ(keys.value(RunKeyScope::Machine), std::wstring(kExe));
    EXPECT_FALSE(keys.exists(RunKeyScope::User));
    EXPECT_TRUE(run_at_startup_enabled(keys));
}

TEST(RunAtStartup, OnFallsBackToTheUserKeyWhenTheMachineKeyRefuses) {
    FakeRunKeys keys;
    keys.write_refused.insert(RunKeyScope::Machine);
    EXPECT_TRUE(set_run_at_startup(keys, true, kExe));
    EXPECT_FALSE(keys.exists(RunKeyScope::Machine));
    EXPECT_EQ(keys.value(RunKeyScope::User), std::wstring(kExe));
    EXPECT_TRUE(run_at_startup_enabled(keys));
}

TEST(RunAtStartup, OnRefusedEverywhereReportsOff) {
    FakeRunKeys keys;
    keys.write_refused.insert(RunKeyScope::Machine);
    keys.write_refused.insert(RunKeyScope::User);
    EXPECT_FALSE(set_run_at_startup(keys, true, kExe));
    EXPECT_TRUE(keys.values.empty());
}

TEST(RunAtStartup, OffRemovesTheValueFromBothKeys) {
    FakeRunKeys keys;
    keys.values[RunKeyScope::Machine] = L"C:\\Velvane\\velvane.exe";
    keys.values[RunKeyScope::User] = L"C:\\Velvane\\velvane.exe";
    EXPECT_FALSE(set_run_at_startup(keys, false, kExe));
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
    EXPECT_TRUE(set_run_at_startup(keys, false, kExe));
    EXPECT_FALSE(keys.exists(RunKeyScope::User));
}

// After the program has moved, the value of the old place still means "on",
// and switching off removes it.
TEST(RunAtStartup, AStaleValueCountsAsOnUntilSwitchedOff) {
    for (const RunKeyScope scope : {RunKeyScope::Machine, RunKeyScope::User}) {
        FakeRunKeys keys;
        keys.values[scope] = L"D:\\Old place\\velvane.exe";
        EXPECT_TRUE(run_at_startup_enabled(keys));
        EXPECT_FALSE(set_run_at_startup(keys, false, kExe));
        EXPECT_TRUE(keys.values.empty());
    }
}

TEST(RunAtStartup, ThePathIsQuotedOnlyWhenItHoldsABlank) {
    EXPECT_EQ(run_value_for(L"C:\\Velvane\\velvane.exe"), L"C:\\Velvane\\velvane.exe");
    EXPECT_EQ(run_value_for(L"C:\\Program Files\\Velvane\\velvane.exe"),
              L"\"C:\\Program Files\\Velvane\\velvane.exe\"");

    FakeRunKeys keys;
    set_run_at_startup(keys, true, L"C:\\Program Files\\Velvane\\velvane.exe");
    EXPECT_EQ(keys.value(RunKeyScope::Machine), L"\"C:\\Program Files\\Velvane\\velvane.exe\"");
}

}  // namespace
}  // namespace velvane
