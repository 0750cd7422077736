#include "host/handoff_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include "daemon/daemon_paths_win.h"
#include "desktop/browsers_win.h"
#include "host/handoff.h"
#include "net/rpc.h"
#include "win/files_win.h"
#include "win/log_win.h"
#include "win/owners_win.h"
#include "win/text_win.h"

namespace zendro {
namespace {

constexpr DWORD kModulePathUnits = 260;

bool IsExistingPath(const std::wstring& item) {
    const std::wstring longForm = L"\\\\?\\" + item;
    return GetFileAttributesW(longForm.c_str()) != INVALID_FILE_ATTRIBUTES ||
           PathFileExistsW(item.c_str()) == TRUE;
}

// The torrent-add body for the item, or empty text when the item is neither a readable, non-empty
// file nor a magnet link.
std::string BuildTorrentAddFor(const std::wstring& item) {
    if (IsExistingPath(item)) {
        std::string bytes;
        if (!ReadWholeFile(item, bytes)) return "";
        return BuildTorrentAddByMetainfo(reinterpret_cast<const unsigned char*>(bytes.data()),
                                         bytes.size());
    }
    if (IsMagnetItem(item)) return BuildTorrentAddByFilename(ToNarrow(item));
    return "";
}

std::wstring OwnPath() {
    wchar_t path[kModulePathUnits] = {};
    GetModuleFileNameW(nullptr, path, kModulePathUnits);
    path[kModulePathUnits - 1] = L'\0';
    return path;
}

void BringUpBrowser() {
    BrowserTable browsers;
    ListStartMenuBrowsers(browsers);
    if (browsers.size() < 2) return;
    const BrowserChoice wanted = ChooseBrowser(OwnPath());
    const auto entry = browsers.find(wanted.displayName);
    if (entry == browsers.end()) return;
    if (IsProcessRunning(wanted.processName)) return;

    SHELLEXECUTEINFOW launch = {};
    launch.cbSize = sizeof launch;
    launch.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    launch.lpVerb = L"open";
    launch.lpFile = entry->second.c_str();
    launch.nShow = SW_SHOW;
    ShellExecuteExW(&launch);
    UniqueHandle process(launch.hProcess);  // not waited for; only released
}

}  // namespace

bool IsProcessRunning(const std::wstring& exeName) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) return true;
    }
    return false;
}

void RunShellHandOff(const std::wstring& item) {
    const std::string port = ReadDaemonPort();
    if (port.empty()) {
        WriteLogLine("reading the daemon's port: its settings file is missing or names none");
        return;
    }
    const std::string torrentAdd = BuildTorrentAddFor(item);
    if (torrentAdd.empty()) {
        WriteLogLine("reading the item: neither a readable, non-empty file nor a magnet link");
        return;
    }
    const std::string daemon = " to 127.0.0.1:" + port;
    Result posted = PostRpcRequestFor("session-get" + daemon, kSessionGetBody, port);
    if (posted) posted = PostRpcRequestFor("torrent-add" + daemon, torrentAdd, port);
    if (!posted) {
        LogFailure(posted);
        return;
    }
    WriteLogLine("the item was handed over to the daemon on port " + port);
    BringUpBrowser();
}

}  // namespace zendro
