#pragma once

#include "host/dispatch.h"

namespace zendro {

// The real operations behind the command table.
class WindowsOperations final : public Operations {
  public:
    std::string ReadDaemonPort() override;
    std::string GetListeningPort() override;
    std::string StartDaemon(const std::string& port) override;
    std::string DefaultDownloadFolder() override;
    std::string SelectDownloadFolder() override;
    bool OpenContainingFolder(const std::string& utf8Path) override;
    bool CheckDefaultApplication() override;
    bool SetDefaultApplication() override;
    void UnsetDefaultApplication() override;
    void RunSelfUpdate() override;

  private:
    UnavailableOperations unavailable_;  // what each one answers when its DLLs cannot be bound
};

}  // namespace zendro
