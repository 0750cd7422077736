#include "host/operations_win.h"

#include "daemon/daemon_launch_win.h"
#include "daemon/daemon_paths_win.h"
#include "desktop/association_win.h"
#include "desktop/folders.h"
#include "desktop/folders_win.h"
#include "update/self_update_win.h"
#include "win/text_win.h"

namespace zendro {

std::string WindowsOperations::ReadDaemonPort() { return ::zendro::ReadDaemonPort(); }

std::string WindowsOperations::GetListeningPort() { return ::zendro::GetListeningPort(); }

std::string WindowsOperations::StartDaemon(const std::string& port) {
    return ::zendro::StartDaemon(port);
}

std::string WindowsOperations::DefaultDownloadFolder() {
    return ToNarrow(GetDefaultDownloadsDirectory() + kZendroDownloadsTail);
}

std::string WindowsOperations::SelectDownloadFolder() {
    return ToNarrow(::zendro::SelectDownloadFolder());
}

bool WindowsOperations::OpenContainingFolder(const std::string& utf8Path) {
    // A path that is not valid UTF-8 converts to "", which names nothing.
    return ::zendro::OpenContainingFolder(ToWide(utf8Path));
}

bool WindowsOperations::CheckDefaultApplication() { return ::zendro::CheckDefaultApplication(); }

bool WindowsOperations::SetDefaultApplication() { return ::zendro::SetDefaultApplication() == 0; }

void WindowsOperations::UnsetDefaultApplication() { ::zendro::UnsetDefaultApplication(); }

void WindowsOperations::RunSelfUpdate() { ::zendro::RunSelfUpdate(); }

}  // namespace zendro
