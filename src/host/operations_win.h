#pragma once

#include "desktop/association_win.h"
#include "host/dispatch.h"

namespace zendro {

// The real operations behind the command table.
class WindowsOperations final : public Operations {
  public:
    std::string ReadDaemonPort() override;
    std::string GetListeningPort() override;
    bool CheckDefaultApplication() override { return zendro::CheckDefaultApplication(); }
    bool SetDefaultApplication() override { return zendro::SetDefaultApplication() == 0; }
    void UnsetDefaultApplication() override { zendro::UnsetDefaultApplication(); }
};

}  // namespace zendro
