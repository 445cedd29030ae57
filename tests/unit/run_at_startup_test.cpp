// "开机自动运行" against a registry that can refuse writes and programs that
// others can or cannot change: the machine-wide Run key only for a program
// nobody else can change, the user's otherwise or when that is refused, and
// the result is what the registry holds afterwards. (Who can change a real
// program is read from real security descriptors: the Windows tests.)
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

// Answers for every program what the test says, and notes what was asked.
class FakeProgram final : public ProgramAccess {
public:
    explicit FakeProgram(bool changeable) : changeable_(changeable) {}
    bool changeable_by_others(std::wstring_view executable_path) const override {
        asked.emplace_back(executable_path);
        return changeable_;
    }
    mutable std::vector<std::wstring> asked;

private:
    bool changeable_;
};

constexpr std::wstring_view kExe = L"C:\\Velvane\\velvane.exe";

// Where "on" puts the value: machine-wide only for a program that nobody else
// can change (it cannot be swapped for every user's logon), and only where
// the machine's key takes the write.
TEST(RunAtStartup, OnWritesTheMachineValueOnlyForAProgramNobodyElseCanChange) {
    struct Case {
        const char* name;
        bool changeable;
        std::set<RunKeyScope> write_refused;
        std::optional<RunKeyScope> written;  // where the value is afterwards
    };
    const Case cases[] = {
        {"protected program", false, {}, RunKeyScope::Machine},
        {"protected program, machine key refused", false, {RunKeyScope::Machine}, RunKeyScope::User},
        {"protected program, both refused", false, {RunKeyScope::Machine, RunKeyScope::User}, std::nullopt},
        {"program others can change", true, {}, RunKeyScope::User},
        {"program others can change, user key refused", true, {RunKeyScope::User}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRunKeys keys;
        keys.write_refused = c.write_refused;
        const FakeProgram program(c.changeable);
        EXPECT_EQ(set_run_at_startup(keys, program, true, kExe), c.written ? RunAtStartup::On : RunAtStartup::Off);
        EXPECT_EQ(run_at_startup_enabled(keys), c.written.has_value());
        if (c.written) {
            EXPECT_EQ(keys.value(*c.written), std::wstring(kExe));
            EXPECT_EQ(keys.values.size(), 1u);
        } else {
            EXPECT_TRUE(keys.values.empty());
        }
        EXPECT_EQ(program.asked, std::vector<std::wstring>{std::wstring(kExe)});
    }
}

TEST(RunAtStartup, OffRemovesTheValueFromBothKeys) {
    FakeRunKeys keys;
    keys.values[RunKeyScope::Machine] = L"C:\\Velvane\\velvane.exe";
    keys.values[RunKeyScope::User] = L"C:\\Velvane\\velvane.exe";
    EXPECT_EQ(set_run_at_startup(keys, FakeProgram(false), false, kExe), RunAtStartup::Off);
    EXPECT_TRUE(keys.values.empty());
    EXPECT_FALSE(run_at_startup_enabled(keys));
}

// A machine-wide value that a user without administrator rights cannot
// remove keeps the check mark on, and says so (the window then tells the
// user how); the user's own value goes all the same.
TEST(RunAtStartup, OffReportsAMachineValueThatStays) {
    FakeRunKeys keys;
    keys.values[RunKeyScope::Machine] = std::wstring(kExe);
    keys.values[RunKeyScope::User] = std::wstring(kExe);
    keys.remove_refused.insert(RunKeyScope::Machine);
    EXPECT_EQ(set_run_at_startup(keys, FakeProgram(false), false, kExe), RunAtStartup::MachineValueStays);
    EXPECT_FALSE(keys.exists(RunKeyScope::User));
    EXPECT_TRUE(run_at_startup_enabled(keys));

    // A user's value that cannot be removed is no such case: still on.
    FakeRunKeys user_only;
    user_only.values[RunKeyScope::User] = std::wstring(kExe);
    user_only.remove_refused.insert(RunKeyScope::User);
    EXPECT_EQ(set_run_at_startup(user_only, FakeProgram(false), false, kExe), RunAtStartup::On);
}

// After the program has moved, the value of the old place still means "on",
// and switching off removes it.
TEST(RunAtStartup, AStaleValueCountsAsOnUntilSwitchedOff) {
    for (const RunKeyScope scope : {RunKeyScope::Machine, RunKeyScope::User}) {
        FakeRunKeys keys;
        keys.values[scope] = L"D:\\Old place\\velvane.exe";
        EXPECT_TRUE(run_at_startup_enabled(keys));
        EXPECT_EQ(set_run_at_startup(keys, FakeProgram(false), false, kExe), RunAtStartup::Off);
        EXPECT_TRUE(keys.values.empty());
    }
}

TEST(RunAtStartup, ThePathIsQuotedOnlyWhenItHoldsABlank) {
    EXPECT_EQ(run_value_for(L"C:\\Velvane\\velvane.exe"), L"C:\\Velvane\\velvane.exe");
    EXPECT_EQ(run_value_for(L"C:\\Program Files\\Velvane\\velvane.exe"),
              L"\"C:\\Program Files\\Velvane\\velvane.exe\"");

    FakeRunKeys keys;
    EXPECT_EQ(set_run_at_startup(keys, FakeProgram(false), true, L"C:\\Program Files\\Velvane\\velvane.exe"),
              RunAtStartup::On);
    EXPECT_EQ(keys.value(RunKeyScope::Machine), L"\"C:\\Program Files\\Velvane\\velvane.exe\"");
}

// The folders a swap of the program could go through: its own and every one
// above it, up to a root that names a drive or share (with its backslash:
// "C:" alone is the current folder of drive C).
TEST(RunAtStartup, FoldersUpToTheRoot) {
    using Folders = std::vector<std::wstring>;
    const struct {
        std::wstring_view exe;
        Folders folders;
    } cases[] = {
        {L"C:\\Velvane\\velvane.exe", {L"C:\\Velvane", L"C:\\"}},
        {L"C:\\velvane.exe", {L"C:\\"}},
        {L"D:\\Tools\\Search\\Velvane\\velvane.exe",
         {L"D:\\Tools\\Search\\Velvane", L"D:\\Tools\\Search", L"D:\\Tools", L"D:\\"}},
        {L"\\\\server\\share\\Velvane\\velvane.exe", {L"\\\\server\\share\\Velvane", L"\\\\server\\share\\"}},
        {L"\\\\server\\share\\velvane.exe", {L"\\\\server\\share\\"}},
        {L"\\\\?\\C:\\Velvane\\velvane.exe", {L"\\\\?\\C:\\Velvane", L"\\\\?\\C:\\"}},
        {L"\\\\?\\UNC\\server\\share\\V\\velvane.exe",
         {L"\\\\?\\UNC\\server\\share\\V", L"\\\\?\\UNC\\server\\share\\"}},
        {L"velvane.exe", {}},
        {L"\\\\server\\velvane.exe", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(folders_up_to_root(c.exe), c.folders) << std::string(c.exe.begin(), c.exe.end());
}

}  // namespace
}  // namespace velvane
