#pragma once

#include "host/dispatch.h"

namespace zendro {

// The real operations behind the command table.
class WindowsOperations final : public Operations {
  public:
    std::string DefaultDownloadFolder() override;
    std::string SelectDownloadFolder() override;
    bool OpenContainingFolder(const std::string& utf8Path) override;
};

}  // namespace zendro
