// Who may change the program that a machine-wide Run value would start, read
// from real security descriptors made from SDDL strings: the machine's value
// only when nobody but SYSTEM, the Administrators and TrustedInstaller can
// change the executable, the skin files, the program's folder or a folder
// above it.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/run_at_startup_win.h"

namespace velvane {
namespace {

// TrustedInstaller, and an account of a plain user (the very user who ran
// Velvane elevated with an administrator's password is one).
#define TI L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
#define PLAIN_USER L"S-1-5-21-1004336348-1177238915-682003330-1001"

// What Windows gives a program under Program Files: TrustedInstaller and the
// system change it, users read and run it; the folder passes full rights on
// to the creator of what is made in it.
constexpr wchar_t kExe[] = L"O:BAD:(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";
constexpr wchar_t kFolder[] =
    L"O:" TI L"D:P(A;;FA;;;" TI L")(A;CIIO;GA;;;" TI L")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)"
    L"(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)";
// A drive's root: authenticated users may make folders in it, and what they
// make there, and every file put there, is theirs to change.
constexpr wchar_t kRoot[] =
    L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";

struct Part {
    ProgramPart part;
    std::wstring sddl;
};

using LocalMemory = std::unique_ptr<void, decltype(&LocalFree)>;

// The parts' descriptors as the system makes them from SDDL, and the decision on them.
bool others_may_change_parts(const std::vector<Part>& parts) {
    std::vector<LocalMemory> memory;
    std::vector<SecuredPart> secured;
    for (const Part& part : parts) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(part.sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                  nullptr)) {
            ADD_FAILURE() << "not SDDL (error " << GetLastError()
                          << "): " << std::string(part.sddl.begin(), part.sddl.end());
            return false;
        }
        memory.emplace_back(descriptor, &LocalFree);
        secured.push_back({part.part, descriptor});
    }
    return others_may_change(secured);
}

// Each row is a program: its executable (and skin file), its folder and the
// folders above it, each with its owner and access list.
TEST(RunAtStartupSecurity, TheMachineValueOnlyForAProgramNobodyElseCanChange) {
    using enum ProgramPart;
    struct Case {
        const char* name;
        std::vector<Part> parts;
        bool others_may_change;
    };
    const Case cases[] = {
        {"admin-only tree under Program Files",
         {{File, kExe}, {Folder, kFolder}, {FolderAbove, kFolder}, {FolderAbove, kRoot}},
         false},
        {"and a skin file of the same kind",
         {{File, kExe}, {File, kExe}, {Folder, kFolder}, {FolderAbove, kRoot}},
         false},
        {"the owner may be SYSTEM or TrustedInstaller as well",
         {{File, L"O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)"}, {File, L"O:" TI L"D:(A;;FA;;;" TI L")"}, {Folder, kFolder}},
         false},
        {"a user may only read and run",
         {{File, L"O:BAD:(A;;FA;;;BA)(A;;FRFX;;;" PLAIN_USER L")"}, {Folder, kFolder}},
         false},
        {"an entry that denies takes nothing away from the answer",
         {{File, L"O:BAD:(D;;FA;;;BU)(A;;FA;;;BA)"}, {Folder, kFolder}},
         false},
        {"a folder above passes rights on to new folders only",
         {{File, kExe}, {Folder, kFolder}, {FolderAbove, L"O:BAD:(A;OICI;FA;;;BA)(A;OICIIO;FA;;;BU)"}},
         false},
        {"the program's folder passes rights on to new folders only",
         {{File, kExe}, {Folder, L"O:BAD:(A;OICI;FA;;;BA)(A;CIIO;FA;;;AU)"}},
         false},

        {"user-writable parent",
         {{File, kExe},
          {Folder, kFolder},
          {FolderAbove, L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)"},
          {FolderAbove, kRoot}},
         true},
        {"a parent whose folders a plain user may delete",
         {{File, kExe}, {Folder, kFolder}, {FolderAbove, L"O:BAD:(A;;FA;;;BA)(A;;0x40;;;" PLAIN_USER L")"}},
         true},
        {"user ACE on the exe",
         {{File, L"O:BAD:(A;;FA;;;BA)(A;;FW;;;" PLAIN_USER L")"}, {Folder, kFolder}, {FolderAbove, kRoot}},
         true},
        {"an inherited entry on the exe for domain users",
         {{File, L"O:BAD:(A;;FA;;;BA)(A;ID;0x1301bf;;;S-1-5-21-1004336348-1177238915-682003330-513)"},
          {Folder, kFolder}},
         true},
        {"a skin file the Remote Desktop Users may write",
         {{File, kExe}, {File, L"O:BAD:(A;;FA;;;BA)(A;;GW;;;S-1-5-32-555)"}, {Folder, kFolder}},
         true},
        {"inherit-only ACE on the folder, for the files it will hold",
         {{File, kExe}, {Folder, L"O:BAD:(A;OICI;FA;;;BA)(A;OICIIO;FA;;;BU)"}, {FolderAbove, kRoot}},
         true},
        {"the folder lets users put a file in it",
         {{File, kExe}, {Folder, L"O:BAD:(A;OICI;FA;;;BA)(A;;FW;;;BU)"}},
         true},
        {"drive root: the exe in C:\\", {{File, kExe}, {Folder, kRoot}}, true},
        {"an owner that is a plain user",
         {{File, L"O:" PLAIN_USER L"D:(A;;FA;;;SY)(A;;FA;;;BA)"}, {Folder, kFolder}, {FolderAbove, kRoot}},
         true},
        {"a folder owned by a plain user", {{File, kExe}, {Folder, L"O:" PLAIN_USER L"D:(A;OICI;FA;;;BA)"}}, true},
        {"no access list: everyone may do everything", {{File, kExe}, {Folder, L"O:BAG:BA"}}, true},
        {"everyone may change it", {{File, L"O:BAD:(A;;FA;;;BA)(A;;GA;;;WD)"}, {Folder, kFolder}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(others_may_change_parts(c.parts), c.others_may_change);
    }
    // A part whose descriptor could not be read is not safe either.
    const SecuredPart unreadable[] = {{ProgramPart::File, nullptr}};
    EXPECT_TRUE(others_may_change(unreadable));
}

}  // namespace
}  // namespace velvane
