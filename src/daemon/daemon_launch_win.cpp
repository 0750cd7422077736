#include "daemon/daemon_launch_win.h"

#include <algorithm>
#include <windows.h>

#include "base/run_files.h"
#include "daemon/daemon_launch.h"
#include "daemon/daemon_paths_win.h"
#include "desktop/folders.h"
#include "desktop/folders_win.h"
#include "net/http.h"
#include "net/trust_win.h"
#include "win/files_win.h"
#include "win/log_win.h"
#include "win/result_win.h"
#include "win/run_folder_win.h"
#include "win/shell_win.h"
#include "win/text_win.h"
#include "win/user_mutex_win.h"

namespace zendro {

namespace {

// One host at a time downloads and runs the installer; the others wait for it and go on with what
// it left. Its window may wait on the user, so the wait is long, but it ends: a reply is owed.
constexpr wchar_t kInstallMutex[] = L"DaemonInstall";
constexpr DWORD kInstallWaitMs = 10 * 60 * 1000;

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ShellExecuteExW takes neither the "\\?\" form nor a path of 260 characters or more; the run's
// folder is chosen short enough (RunFolder::Use::kProgramToStart) wherever it can be, and past
// that the short name is the last resort.
bool StartInstaller(const std::wstring& installer, UniqueHandle& process) {
    std::wstring path = WithoutExtendedPrefix(installer);
    if (path.size() >= MAX_PATH) {
        std::wstring shortPath(32768, L'\0');
        const DWORD length = ::GetShortPathNameW(installer.c_str(), shortPath.data(),
                                                 static_cast<DWORD>(shortPath.size()));
        if (length == 0 || length >= shortPath.size()) return false;
        path = WithoutExtendedPrefix(shortPath.substr(0, length));
    }
    return RetryWhileBusy([&] { return ShellOpen(path, L"", SW_SHOW, process); });
}

// Takes an installer that an earlier host left in the temporary folder into this run's folder,
// where it is checked and run like a download; false when there is none.
bool AdoptLeftInstaller(const std::wstring& temp, const std::wstring& installer) {
    const std::wstring left = JoinPath(temp, kInstallerFileName);
    if (!FileExists(left)) return false;
    return RetryWhileBusy(
        [&] { return ::MoveFileExW(left.c_str(), installer.c_str(), MOVEFILE_COPY_ALLOWED) != 0; });
}

// Fetches the installer into this run's folder (its signature first, in a build with keys), runs
// it shown, waits for it without a limit and judges its exit code. From its check until its
// process has started the file is held open, so nobody can change or replace it in between.
Result InstallDaemon(const std::wstring& temp, const RunFolder& run) {
    const std::string url = DownloadServerBaseUrl() + kInstallerUrlPath;
    const std::wstring installer = JoinPath(run.path(), kInstallerFileName);
    const bool adopted = AdoptLeftInstaller(temp, installer);
    DownloadCheck check;
    if (const Result checkable =
            PrepareDownloadCheckFor("the installer download, refused", url, check);
        !checkable) {
        return checkable;
    }
    if (!adopted) {
        const Result downloaded = HttpDownloadToFile(url, installer, kMaxInstallerBytes);
        if (!downloaded) return Result::Failed("the installer download", downloaded.Describe());
    }
    UniqueHandle held = OpenHeldForReading(installer);
    if (!held) return FailedWithLastError("opening the installer");
    if (!IsFileTrusted(check, held.get())) {
        return Result::Failed("the installer download, refused",
                              "its signature does not match it or does not name it");
    }
    UniqueHandle process;
    const bool started = StartInstaller(installer, process);
    const DWORD startError = ::GetLastError();
    held.reset();
    if (!started || !process) {
        return Result::Failed("starting the installer", WindowsErrorText(startError));
    }
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 1;
    if (!::GetExitCodeProcess(process.get(), &exitCode)) {
        return FailedWithLastError("the installer's exit code");
    }
    if (exitCode != 0) {
        return Result::Failed("the installer", "exited with " + std::to_string(exitCode));
    }
    return Result::Ok();
}

// Installs the daemon unless the host it waited for did. When that host's installer ran and
// installed nothing (it failed, or the user cancelled it), this host does not ask the user again.
Result InstallDaemonOnce(const std::wstring& temp, const std::wstring& java) {
    const UserMutex turn(kInstallMutex, kInstallWaitMs);
    if (turn.waited() && !turn.held()) {
        return Result::Failed("waiting for another host's installer", "it is still running");
    }
    if (FileExists(java)) return Result::Ok();
    if (turn.waited() && !turn.abandoned()) {
        return Result::Failed("the installer another host ran", "it installed no Java runtime");
    }
    const RunFolder run(RunFolder::Use::kProgramToStart);
    if (run.path().empty()) {
        return FailedWithLastError("making the host's temporary folder");
    }
    const Result installed = InstallDaemon(temp, run);
    if (installed) WriteLogLine("the daemon installer ran");
    return installed;
}

// Starts the runtime hidden and outside the caller's job: Firefox kills its
// host's whole job when the host ends, which would take the daemon with it.
// Where the job forbids breaking away, the daemon starts inside it.
Result StartJava(const std::wstring& java, const std::wstring& parameters) {
    std::wstring commandLine = BuildCommandLine(java, parameters);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    DWORD error = ERROR_SUCCESS;
    for (const DWORD flags : {DWORD{CREATE_BREAKAWAY_FROM_JOB}, DWORD{0}}) {
        PROCESS_INFORMATION started{};
        if (::CreateProcessW(java.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                             nullptr, nullptr, &startup, &started)) {
            // The daemon outlives the host: neither waited for nor stopped.
            UniqueHandle process(started.hProcess);
            UniqueHandle thread(started.hThread);
            return Result::Ok();
        }
        error = ::GetLastError();
        if (error != ERROR_ACCESS_DENIED) break;
    }
    return Result::Failed("starting the Java runtime " + ToNarrow(java), WindowsErrorText(error));
}

// Succeeds once the daemon answers; fails with the last probe's reason.
Result WaitForDaemon(const std::string& port) {
    const ULONGLONG deadline = ::GetTickCount64() + kDaemonWaitLimitMs;
    Result last = Result::Failed("the daemon answering on 127.0.0.1:" + port, "no probe was made");
    for (int probe = 0; probe < kDaemonProbeCount; ++probe) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        const long left = static_cast<long>(deadline - now);
        last = ProbeDaemon(port, std::min(left, kTransferTimeoutSeconds * 1000));
        if (last) return last;
        ::Sleep(kDaemonProbeIntervalMs);
    }
    return Result::Failed(
        last.step() + " within " + std::to_string(kDaemonWaitLimitMs / 1000) + " s", last.cause());
}

// Installs the daemon when its runtime is missing, starts it and waits until it answers.
Result StartAndWait(const std::string& port) {
    if (!IsValidPortText(port)) return Result::Failed("the port", "not a port number");
    const std::wstring temp = UserTempFolder();
    if (temp.empty()) return Result::Failed("finding the temporary folder", "the shell named none");
    if (DaemonHome().empty()) {
        return Result::Failed("finding the daemon's home folder", "the shell named none");
    }
    RemoveLeftoverRunFolders();

    const std::wstring java = JavaRuntimePath();
    if (!FileExists(java)) {
        if (const Result installed = InstallDaemonOnce(temp, java); !installed) return installed;
    }

    const JavaLaunchPaths paths{DaemonProgramFolder(),
                                GetDefaultDownloadsDirectory() + kZendroDownloadsTail,
                                TorrentFolder(), DaemonArchivePath()};
    if (const Result started = StartJava(java, BuildJavaParameters(paths, ToWide(port)));
        !started) {
        return started;
    }
    return WaitForDaemon(port);
}

}  // namespace

std::string StartDaemon(const std::string& port) {
    const Result started = StartAndWait(port);
    LogFailure(started);
    return started ? kDaemonStarted : kDaemonFailed;
}

}  // namespace zendro
