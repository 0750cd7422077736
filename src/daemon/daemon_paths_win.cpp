#include "daemon/daemon_paths_win.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "daemon/daemon_layout.h"
#include "daemon/daemon_port.h"
#include "win/files_win.h"
#include "win/winsock_owners_win.h"

namespace zendro {
namespace {

constexpr DWORD kShellPathUnits = 1024;

std::wstring BelowDaemonHome(const wchar_t* tail) {
    std::wstring home = DaemonHome();
    if (home.empty()) return home;
    return home + tail;
}

}  // namespace

std::wstring DaemonHome() {
    wchar_t folder[kShellPathUnits] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE)) return L"";
    folder[kShellPathUnits - 1] = L'\0';
    return std::wstring(folder) + kDaemonHomeTail;
}

std::wstring JavaRuntimePath() { return BelowDaemonHome(kJavaRuntimeTail); }
std::wstring DaemonProgramFolder() { return BelowDaemonHome(kDaemonProgramFolderTail); }
std::wstring DaemonArchivePath() { return BelowDaemonHome(kDaemonArchiveTail); }
std::wstring ExportedSettingsPath() { return BelowDaemonHome(kExportedSettingsTail); }
std::wstring TorrentFolder() { return BelowDaemonHome(kTorrentFolderTail); }

std::string ReadDaemonPort() {
    const std::wstring path = ExportedSettingsPath();
    if (path.empty() || !PathFileExistsW(path.c_str())) return "";
    std::string contents;
    if (!ReadWholeFile(path, contents)) return "";
    return PortFromExportedSettings(contents);
}

std::string GetListeningPort() {
    WinsockSession winsock;
    if (!winsock.started()) return "";
    UniqueSocket probe(socket(AF_INET, SOCK_STREAM, 0));
    if (!probe) return "";
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    // The socket only binds and is closed again: the port is known to have been free, not kept.
    // Windows lets a plain wildcard bind share a port that another program holds on one address,
    // 127.0.0.1 for instance, where the daemon could then not listen; an exclusive bind fails
    // whenever the port is bound on any address. So a port is free only when the exclusive bind
    // succeeds.
    return FirstBindablePort([&](unsigned short port) {
        address.sin_port = htons(port);
        const BOOL exclusive = TRUE;
        return setsockopt(probe.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                          reinterpret_cast<const char*>(&exclusive), sizeof exclusive) == 0 &&
               bind(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    });
}

}  // namespace zendro
