#include "host/operations_win.h"

#include "daemon/daemon_paths_win.h"
#include "desktop/association_win.h"

namespace zendro {

std::string WindowsOperations::ReadDaemonPort() { return ::zendro::ReadDaemonPort(); }

std::string WindowsOperations::GetListeningPort() { return ::zendro::GetListeningPort(); }

bool WindowsOperations::CheckDefaultApplication() { return ::zendro::CheckDefaultApplication(); }

bool WindowsOperations::SetDefaultApplication() { return ::zendro::SetDefaultApplication() == 0; }

void WindowsOperations::UnsetDefaultApplication() { ::zendro::UnsetDefaultApplication(); }

}  // namespace zendro
