// The Run keys of the real registry.
#pragma once

#include "app/run_at_startup.h"

namespace velvane {

class RegistryRunKeys final : public RunKeyStore {
public:
    bool exists(RunKeyScope scope) const override;
    bool write(RunKeyScope scope, const std::wstring& value) override;
    void remove(RunKeyScope scope) override;
};

}  // namespace velvane
