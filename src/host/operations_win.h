#pragma once

#include "host/dispatch.h"

namespace zendro {

// The real operations behind the command table.
class WindowsOperations final : public Operations {
  public:
    std::string ReadDaemonPort() override;
    std::string GetListeningPort() override;
    bool CheckDefaultApplication() override;
    bool SetDefaultApplication() override;
    void UnsetDefaultApplication() override;
};

}  // namespace zendro
