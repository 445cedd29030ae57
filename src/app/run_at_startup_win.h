// The Run keys of the real registry, and who may change the real program.
#pragma once

#include <windows.h>

#include <span>

#include "app/run_at_startup.h"

namespace velvane {

class RegistryRunKeys final : public RunKeyStore {
public:
    bool exists(RunKeyScope scope) const override;
    [[nodiscard]] bool write(RunKeyScope scope, const std::wstring& value) override;
    void remove(RunKeyScope scope) override;
};

// Reads the owner and access list of the executable, the skin files beside
// it (where they are), its folder and every folder above it, and lets
// others_may_change decide.
class ProgramSecurity final : public ProgramAccess {
public:
    bool changeable_by_others(std::wstring_view executable_path) const override;
};

// What a part of the program is, for the rights that would change it.
enum class ProgramPart {
    File,         // the executable or a skin file: written, deleted, or given new rights
    Folder,       // the program's folder: a file put in, one deleted or replaced, the folder
                  // renamed, or new rights; also what the files put there later will inherit
    FolderAbove,  // a folder above it: a folder in it deleted or renamed, the folder itself
                  // renamed, or new rights
};

struct SecuredPart {
    ProgramPart part;
    PSECURITY_DESCRIPTOR descriptor;  // with its owner and access list; null: not readable
};

// The allow-list: false only when every part has SYSTEM, the Administrators
// or TrustedInstaller as its owner and grants a right that changes it to
// nobody else. Entries that deny are not counted (they could only take
// rights away), nor the entries a folder passes on only to the folders made
// in it later; those it passes on to files count for the program's folder.
// An access list that is missing gives everyone every right.
bool others_may_change(std::span<const SecuredPart> parts);

}  // namespace velvane
