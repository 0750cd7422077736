#include "daemon/daemon_launch_win.h"

#include <algorithm>
#include <array>
#include <shlwapi.h>
#include <windows.h>

#include "daemon/daemon_launch.h"
#include "daemon/daemon_paths_win.h"
#include "desktop/folders.h"
#include "desktop/folders_win.h"
#include "net/http.h"
#include "net/trust_win.h"
#include "win/log_win.h"
#include "win/result_win.h"
#include "win/shell_win.h"
#include "win/text_win.h"

namespace zendro {

namespace {

std::wstring TempFolder() {
    std::array<wchar_t, 1024> buffer{};
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size() - 1), buffer.data());
    if (length == 0 || length >= buffer.size() - 1) return L"";
    return std::wstring(buffer.data(), length);
}

bool FileExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

// Runs the installer shown, waits for it without a limit and judges its exit
// code. The file is deleted whatever happened, so a failed installer is fetched
// afresh next time. One found in the temporary folder is held to the same
// signature as a fresh download: anyone could have put it there.
Result InstallDaemon(const std::wstring& installer) {
    const std::string url = DownloadServerBaseUrl() + kInstallerUrlPath;
    if (!FileExists(installer) && !HttpDownloadToFile(url, installer)) {
        return Result::Failed("the installer download", "fetching " + url + " failed");
    }
    if (!IsDownloadTrusted(url, installer)) {
        ::DeleteFileW(installer.c_str());
        return Result::Failed(
            "the installer download, refused",
            LoadTrustedKeys().mode == TrustedKeys::Mode::kRefuseAll
                ? "this build's trusted keys cannot be read"
                : "no valid signature by a trusted key at " + url + kSignatureSuffix);
    }
    UniqueHandle process;
    DWORD exitCode = 1;
    Result ran = Result::Ok();
    if (ShellOpen(installer, L"", SW_SHOW, process) && process) {
        ::WaitForSingleObject(process.get(), INFINITE);
        if (!::GetExitCodeProcess(process.get(), &exitCode)) {
            ran = Result::Failed("the installer's exit code", WindowsErrorText(::GetLastError()));
        } else if (exitCode != 0) {
            ran = Result::Failed("the installer", "exited with " + std::to_string(exitCode));
        }
    } else {
        ran = Result::Failed("starting the installer", WindowsErrorText(::GetLastError()));
    }
    ::DeleteFileW(installer.c_str());
    return ran;
}

// Starts the runtime hidden and outside the caller's job: Firefox kills its
// host's whole job when the host ends, which would take the daemon with it.
// Where the job forbids breaking away, the daemon starts inside it.
bool StartJava(const std::wstring& java, const std::wstring& parameters) {
    std::wstring commandLine = BuildCommandLine(java, parameters);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    for (const DWORD flags : {DWORD{CREATE_BREAKAWAY_FROM_JOB}, DWORD{0}}) {
        PROCESS_INFORMATION started{};
        if (::CreateProcessW(java.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                             nullptr, nullptr, &startup, &started)) {
            // The daemon outlives the host: neither waited for nor stopped.
            UniqueHandle process(started.hProcess);
            UniqueHandle thread(started.hThread);
            return true;
        }
        if (::GetLastError() != ERROR_ACCESS_DENIED) return false;
    }
    return false;
}

bool WaitForDaemon(const std::string& port) {
    const ULONGLONG deadline = ::GetTickCount64() + kDaemonWaitLimitMs;
    for (int probe = 0; probe < kDaemonProbeCount; ++probe) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        const long left = static_cast<long>(deadline - now);
        if (ProbeDaemon(port, std::min(left, kTransferTimeoutSeconds * 1000))) return true;
        ::Sleep(kDaemonProbeIntervalMs);
    }
    return false;
}

}  // namespace

std::string StartDaemon(const std::string& port) {
    if (!IsValidPortText(port)) return kDaemonFailed;
    const std::wstring temp = TempFolder();
    if (temp.empty() || DaemonHome().empty()) return kDaemonFailed;

    const std::wstring java = JavaRuntimePath();
    if (!FileExists(java)) {
        const Result installed = InstallDaemon(JoinPath(temp, kInstallerFileName));
        LogFailure(installed);
        if (!installed) return kDaemonFailed;
    }

    const JavaLaunchPaths paths{DaemonProgramFolder(),
                                GetDefaultDownloadsDirectory() + kZendroDownloadsTail,
                                TorrentFolder(), DaemonArchivePath()};
    if (!StartJava(java, BuildJavaParameters(paths, ToWide(port)))) return kDaemonFailed;
    return WaitForDaemon(port) ? kDaemonStarted : kDaemonFailed;
}

}  // namespace zendro
