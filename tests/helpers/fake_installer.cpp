// Stands in for the daemon's installer. Appends its own path to the file named
// by ZENDRO_FAKE_INSTALLER_LOG (when set), and, when ZENDRO_FAKE_JAVA names a
// program, lays out the daemon's home: that program copied to Java\bin\java.exe
// and an empty Zendro\zendrolite.jar, after ZENDRO_FAKE_INSTALLER_SLEEP_MS
// milliseconds (none when unset), as a real installer takes its time. Exits with
// the number in ZENDRO_FAKE_INSTALLER_EXIT (0 when unset).

#include <cwchar>

#include "daemon/daemon_paths_win.h"
#include "helper_files_win.h"

using namespace zendro;
using namespace zendro::helpers;

namespace {

bool MakeFolder(const std::wstring& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool LayOutDaemonHome(const std::wstring& fakeJava) {
    const std::wstring home = DaemonHome();
    if (home.empty()) return false;
    for (const wchar_t* folder : {L"", L"\\Java", L"\\Java\\bin", L"\\Zendro", L"\\Torrents"}) {
        if (!MakeFolder(home + folder)) return false;
    }
    return ::CopyFileW(fakeJava.c_str(), JavaRuntimePath().c_str(), FALSE) &&
           WriteText(DaemonArchivePath(), "");
}

}  // namespace

int wmain() {
    const std::wstring log = Environment(L"ZENDRO_FAKE_INSTALLER_LOG");
    if (!log.empty()) AppendLine(log, OwnPath());
    ::Sleep(std::wcstoul(Environment(L"ZENDRO_FAKE_INSTALLER_SLEEP_MS").c_str(), nullptr, 10));
    const std::wstring fakeJava = Environment(L"ZENDRO_FAKE_JAVA");
    if (!fakeJava.empty() && !LayOutDaemonHome(fakeJava)) return 9;
    return static_cast<int>(
        std::wcstol(Environment(L"ZENDRO_FAKE_INSTALLER_EXIT").c_str(), nullptr, 10));
}
