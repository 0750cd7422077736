#include "host/operations_win.h"

#include "daemon/daemon_launch_win.h"
#include "daemon/daemon_paths_win.h"
#include "desktop/association_win.h"
#include "desktop/folders.h"
#include "desktop/folders_win.h"
#include "update/self_update_win.h"
#include "win/late_binding_win.h"
#include "win/log_win.h"
#include "win/text_win.h"

// Each operation first binds the system DLLs it calls into, directly, through the shell or through
// transfers: one that cannot be bound fails the operation before it starts, with the reply it owes
// on failure, and leaves nothing half done.

namespace zendro {
namespace {

// BindLibraries, logging when the command cannot run for it.
bool Bound(std::initializer_list<const char*> dlls, bool transfers = false) {
    if (BindLibraries(dlls) && (!transfers || BindTransferLibraries())) return true;
    LogFailure(Result::Failed("loading the system libraries the command needs",
                              "one could not be loaded"));
    return false;
}

}  // namespace

std::string WindowsOperations::ReadDaemonPort() {
    if (!BindLibraries({"shell32.dll", "shlwapi.dll"})) return unavailable_.ReadDaemonPort();
    return ::zendro::ReadDaemonPort();
}

std::string WindowsOperations::GetListeningPort() {
    if (!BindLibraries({"ws2_32.dll"})) return unavailable_.GetListeningPort();
    return ::zendro::GetListeningPort();
}

std::string WindowsOperations::StartDaemon(const std::string& port) {
    if (!Bound({"shell32.dll", "shlwapi.dll", "ole32.dll"}, true)) {
        return unavailable_.StartDaemon(port);
    }
    return ::zendro::StartDaemon(port);
}

std::string WindowsOperations::DefaultDownloadFolder() {
    if (!BindLibraries({"shell32.dll"})) return unavailable_.DefaultDownloadFolder();
    return ToNarrow(GetDefaultDownloadsDirectory() + kZendroDownloadsTail);
}

std::string WindowsOperations::SelectDownloadFolder() {
    if (!BindLibraries({"shell32.dll", "ole32.dll", "user32.dll"})) {
        return unavailable_.SelectDownloadFolder();
    }
    return ToNarrow(::zendro::SelectDownloadFolder());
}

bool WindowsOperations::OpenContainingFolder(const std::string& utf8Path) {
    if (!Bound({"shell32.dll", "shlwapi.dll", "ole32.dll"})) {
        return unavailable_.OpenContainingFolder(utf8Path);
    }
    // A path that is not valid UTF-8 converts to "", which names nothing.
    return ::zendro::OpenContainingFolder(ToWide(utf8Path));
}

bool WindowsOperations::CheckDefaultApplication() {
    if (!BindLibraries({"advapi32.dll"})) return unavailable_.CheckDefaultApplication();
    return ::zendro::CheckDefaultApplication();
}

// The registry; the shell for the log's line, to tell it of the change and, when the user must
// choose, to open Windows' Default apps page (in a COM apartment). All bound before anything
// changes, so a run never changes the association and then fails for its line.
bool WindowsOperations::SetDefaultApplication() {
    if (!Bound({"advapi32.dll", "shell32.dll", "ole32.dll"})) {
        return unavailable_.SetDefaultApplication();
    }
    return ::zendro::SetDefaultApplication() == 0;
}

void WindowsOperations::UnsetDefaultApplication() {
    if (!Bound({"advapi32.dll", "shell32.dll"})) return unavailable_.UnsetDefaultApplication();
    ::zendro::UnsetDefaultApplication();
}

void WindowsOperations::RunSelfUpdate() {
    // The version resource, the manifest's MSXML and the work folder's GUID through COM.
    if (!Bound({"version.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll"}, true)) {
        return unavailable_.RunSelfUpdate();
    }
    ::zendro::RunSelfUpdate();
}

}  // namespace zendro
