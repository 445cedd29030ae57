// The Run keys of the real registry, and who may change a real folder.
#pragma once

#include "app/run_at_startup.h"

namespace velvane {

class RegistryRunKeys final : public RunKeyStore {
public:
    bool exists(RunKeyScope scope) const override;
    bool write(RunKeyScope scope, const std::wstring& value) override;
    void remove(RunKeyScope scope) override;
};

// Reads the folder's owner and access list. Ordinary users are everyone, the
// authenticated users, the members of Users, whoever logs on interactively,
// and the current user as well when this process runs elevated (the same user
// unelevated is an ordinary user: what runs in that session could change the
// folder).
class FolderSecurity final : public FolderAccess {
public:
    bool writable_by_ordinary_users(const std::wstring& folder) const override;
};

}  // namespace velvane
