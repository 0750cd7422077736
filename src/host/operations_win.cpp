#include "host/operations_win.h"

#include "daemon/daemon_paths_win.h"

namespace zendro {

std::string WindowsOperations::ReadDaemonPort() { return ::zendro::ReadDaemonPort(); }

std::string WindowsOperations::GetListeningPort() { return ::zendro::GetListeningPort(); }

}  // namespace zendro
