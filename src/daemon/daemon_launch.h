#pragma once

#include <string>

namespace zendro {

inline constexpr char kDaemonStarted[] = "started";
inline constexpr char kDaemonFailed[] = "failed";

// Where the installer lives on the download server, and under which name it is kept (in the
// run's own folder; one found directly in the temporary folder is taken from there).
inline constexpr char kInstallerUrlPath[] = "/files/ferl/ZendroWebDaemonSetup.exe";
inline constexpr wchar_t kInstallerFileName[] = L"ZendroWebDaemonSetup.exe";
// The largest installer the host downloads (a build setting, installer/settings.cmake).
inline constexpr unsigned long long kMaxInstallerBytes = ZENDRO_MAX_INSTALLER_BYTES;

// The daemon answers within this many probes, this far apart, or counts as not started.
inline constexpr int kDaemonProbeCount = 20;
inline constexpr unsigned kDaemonProbeIntervalMs = 500;
// ...and all of them within this long: a port that accepts and never answers would otherwise hold
// every probe to its own 20 s limit, and the reply back for minutes.
inline constexpr unsigned long long kDaemonWaitLimitMs = 30000;

// A port as the daemon takes it: 1 to 5 ASCII digits with a value from 1 to 65535. The text goes
// into the Java command line unquoted, so anything else could smuggle in options.
bool IsValidPortText(const std::string& port);

struct JavaLaunchPaths {
    std::wstring programFolder;   // library path, working directory and configuration folder
    std::wstring downloadFolder;  // where the daemon saves data
    std::wstring torrentFolder;
    std::wstring archive;  // the class path
};

// The parameters the daemon's Java runtime is started with.
std::wstring BuildJavaParameters(const JavaLaunchPaths& paths, const std::wstring& port);

// The full command line: the quoted program, a blank, the parameters.
std::wstring BuildCommandLine(const std::wstring& program, const std::wstring& parameters);

// `folder` + "\" + `name`, without doubling a separator the folder already ends with.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

}  // namespace zendro
