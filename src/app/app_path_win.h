// The App Paths key of the real registry (app_path.h).
#pragma once

#include "app/app_path.h"

namespace velvane {

class RegistryAppPath final : public AppPathStore {
public:
    std::optional<std::wstring> read() const override;
    [[nodiscard]] bool write(const std::wstring& executable_path) override;
    void remove() override;
};

}  // namespace velvane
