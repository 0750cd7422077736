#include "host/diagnose_win.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string>

#include "base/log.h"
#include "base/text.h"
#include "daemon/daemon_paths_win.h"
#include "desktop/association_win.h"
#include "desktop/browsers_win.h"
#include "host/diagnosis.h"
#include "host/handoff.h"
#include "net/http.h"
#include "net/proxy_win.h"
#include "net/trust_win.h"
#include "update/version_win.h"
#include "win/environment_win.h"
#include "win/files_win.h"
#include "win/late_binding_win.h"
#include "win/log_win.h"
#include "win/owners_win.h"
#include "win/registry_win.h"
#include "win/text_win.h"

namespace zendro {
namespace {

constexpr char kHostName[] = ZENDRO_HOST_NAME;
constexpr size_t kLogLinesShown = 10;
constexpr long kProbeSeconds = 3;

struct Registration {
    const char* label;
    const wchar_t* vendorKey;  // below HKEY_CURRENT_USER, as the setup writes it
    bool mozilla;
};
constexpr Registration kRegistrations[] = {
    {"Chrome", L"Software\\Google\\Chrome", false},  // also read by Brave, Vivaldi and others
    {"Chromium", L"Software\\Chromium", false},
    {"Edge", L"Software\\Microsoft\\Edge", false},
    {"Mozilla", L"Software\\Mozilla", true},  // Firefox and its forks
};
constexpr const wchar_t* kPolicyKeys[] = {L"Software\\Policies\\Google\\Chrome",
                                          L"Software\\Policies\\Microsoft\\Edge"};

bool Exists(const std::wstring& path) {
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

UniqueKey OpenKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    return UniqueKey(key);
}

std::optional<std::wstring> ReadText(HKEY root, const std::wstring& path, const wchar_t* name) {
    const UniqueKey key = OpenKey(root, path);
    std::wstring text;
    if (!key || !ReadRegistryText(key.get(), name, text)) return std::nullopt;
    return text;
}

void CheckHost(const std::wstring& self, Findings& found) {
    std::string version = "of unknown version";
    if (GetFileVersionString(self, version)) ReplaceAll(version, " ", "");
    found.push_back({Severity::kOk, "ZendroWebHost " + version + " at " + ToNarrowShown(self)});
    const TrustedKeys keys = LoadTrustedKeys();
    if (keys.mode == TrustedKeys::Mode::kVerify) {
        found.push_back({Severity::kOk, "downloads are verified against " +
                                            std::to_string(keys.keys.size()) + " trusted key(s)"});
    } else if (keys.mode == TrustedKeys::Mode::kUnverified) {
        found.push_back({Severity::kWarning,
                         "downloads are not verified: this build has no "
                         "trusted keys"});
    } else {
        found.push_back({Severity::kProblem,
                         "this build's trusted keys cannot be read: every "
                         "download is refused"});
    }
}

// WinVerifyTrust keeps what it read of a file until it is called again to close it.
void CloseTrustState(WINTRUST_DATA* data) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data->dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, data);
}
using TrustState = UniqueAny<WINTRUST_DATA*, CloseTrustState>;

// Asks Windows whether it trusts the file's Authenticode signature, from what the machine holds:
// no revocation check and no download of anything the chain lacks. The trust libraries are bound
// here, for this line only.
SignatureCheck CheckSignature(const std::wstring& path) {
    SignatureCheck check;
    if (!BindLibraries({"wintrust.dll", "crypt32.dll"})) return check;
    check.checked = true;
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    check.status = static_cast<unsigned long>(
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));
    const TrustState state(&data);
    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer =
        provider != nullptr ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (signer != nullptr && signer->csCertChain > 0 && signer->pasCertChain[0].pCert != nullptr) {
        wchar_t name[256] = {};
        if (::CertGetNameStringW(signer->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0,
                                 nullptr, name, 256) > 1) {
            check.signer = ToNarrow(name);
        }
    }
    return check;
}

void CheckRegistrations(const std::wstring& self, Findings& found) {
    const std::wstring hostName = ToWide(kHostName);
    for (const Registration& registration : kRegistrations) {
        const std::wstring keyPath =
            std::wstring(registration.vendorKey) + L"\\NativeMessagingHosts\\" + hostName;
        const std::string label = registration.label;
        const std::optional<std::wstring> manifest = ReadText(HKEY_CURRENT_USER, keyPath, nullptr);
        if (!manifest || manifest->empty()) {
            found.push_back({Severity::kProblem, label + ": not registered (HKCU\\" +
                                                     ToNarrowShown(keyPath) +
                                                     " names no manifest)"});
            continue;
        }
        const std::string manifestPath = ToNarrowShown(*manifest);
        if (!IsAbsoluteWindowsPath(manifestPath)) {
            found.push_back({Severity::kProblem, label + ": the registration names \"" +
                                                     manifestPath +
                                                     "\", which is not an absolute path"});
            continue;
        }
        std::string bytes;
        if (!ReadWholeFile(*manifest, bytes)) {
            found.push_back({Severity::kProblem, label + ": the manifest " + manifestPath +
                                                     " is missing, empty or unreadable"});
            continue;
        }
        const Findings checked = CheckManifest(
            bytes, {kHostName, manifestPath, ToNarrowShown(self), registration.mozilla}, label);
        found.insert(found.end(), checked.begin(), checked.end());
    }
}

std::vector<std::string> ReadPolicyList(HKEY root, const std::wstring& path) {
    std::vector<std::string> entries;
    const UniqueKey key = OpenKey(root, path);
    if (!key) return entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD nameUnits = 256;
        if (::RegEnumValueW(key.get(), index, name, &nameUnits, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
            break;
        }
        std::wstring text;
        if (ReadRegistryText(key.get(), name, text)) entries.push_back(ToNarrowShown(text));
    }
    return entries;
}

void CheckPolicies(Findings& found) {
    const size_t before = found.size();
    for (const auto& [root, hive] :
         {std::pair{HKEY_LOCAL_MACHINE, "HKLM\\"}, std::pair{HKEY_CURRENT_USER, "HKCU\\"}}) {
        for (const wchar_t* keyPath : kPolicyKeys) {
            NativeMessagingPolicies policies;
            if (const UniqueKey key = OpenKey(root, keyPath)) {
                DWORD value = 0;
                DWORD size = sizeof value;
                DWORD type = 0;
                if (::RegQueryValueExW(key.get(), L"NativeMessagingUserLevelHosts", nullptr, &type,
                                       reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                    type == REG_DWORD) {
                    policies.userLevelHosts = value;
                }
            }
            policies.blocklist =
                ReadPolicyList(root, std::wstring(keyPath) + L"\\NativeMessagingBlocklist");
            policies.allowlist =
                ReadPolicyList(root, std::wstring(keyPath) + L"\\NativeMessagingAllowlist");
            const Findings judged =
                JudgePolicies(policies, kHostName, hive + ToNarrowShown(keyPath));
            found.insert(found.end(), judged.begin(), judged.end());
        }
    }
    if (found.size() == before) {
        found.push_back({Severity::kOk, "no Chrome or Edge policy blocks this host"});
    }
}

void CheckDaemon(Findings& found) {
    const std::wstring home = DaemonHome();
    if (!Exists(home)) {
        found.push_back({Severity::kWarning, "the daemon is not installed (no folder " +
                                                 ToNarrowShown(home) +
                                                 "); starting it from the extension installs it"});
        return;
    }
    found.push_back({Severity::kOk, "daemon home " + ToNarrowShown(home)});
    const std::wstring java = JavaRuntimePath();
    found.push_back(Exists(java)
                        ? Finding{Severity::kOk, "Java runtime " + ToNarrowShown(java)}
                        : Finding{Severity::kWarning, "no Java runtime at " + ToNarrowShown(java) +
                                                          "; starting the daemon installs it"});
    const std::string port = ReadDaemonPort();
    if (port.empty()) {
        found.push_back({Severity::kWarning, "no daemon port in " +
                                                 ToNarrowShown(ExportedSettingsPath()) +
                                                 " (the daemon writes it when it runs)"});
        return;
    }
    found.push_back({Severity::kOk, "daemon port " + port + " (from " +
                                        ToNarrowShown(ExportedSettingsPath()) + ")"});
    // As the host itself probes it: directly, whatever proxy is set.
    const Result answered = ProbeDaemon(port, kProbeSeconds * 1000);
    if (answered) {
        found.push_back({Severity::kOk, "the daemon answers on 127.0.0.1:" + port});
    } else if (answered.cause() == kNoSessionHeader) {
        found.push_back({Severity::kWarning, "something answers on 127.0.0.1:" + port +
                                                 ", but not as the daemon: " + answered.cause()});
    } else {
        found.push_back(
            {Severity::kWarning, "nothing answers on 127.0.0.1:" + port +
                                     " (the daemon is not running): " + answered.cause()});
    }
}

// The browser the hand-off brings up, as its browser step would find it.
void CheckHandOffBrowser(const std::wstring& self, Findings& found) {
    const BrowserChoice wanted = ChooseBrowser(self);
    HandOffBrowser browser;
    browser.wanted = ToNarrow(wanted.displayName);
    BrowserTable all;
    for (const BrowserHive hive : {BrowserHive::kMachine, BrowserHive::kUser}) {
        BrowserTable listed;
        ListStartMenuBrowsersIn(hive, listed);
        if (!browser.where && listed.count(wanted.displayName) != 0) {
            browser.where = BrowserListName(hive);
        }
        all.insert(listed.begin(), listed.end());  // the machine's name stays, as in the hand-off
        browser.searched += (browser.searched.empty() ? "" : " or ") + BrowserListName(hive);
    }
    browser.registered = all.size();
    found.push_back(JudgeHandOffBrowser(browser));
}

// The command that opens a class, the user's registration first.
std::string OpenCommandOf(const std::wstring& className) {
    const std::wstring command = L"Software\\Classes\\" + className + L"\\shell\\open\\command";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (const auto text = ReadText(root, command, nullptr)) return ToNarrowShown(*text);
    }
    return "";
}

void CheckAssociation(Findings& found) {
    std::wstring torrentClass;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (const auto text = ReadText(root, L"Software\\Classes\\.torrent", nullptr)) {
            torrentClass = *text;
            break;
        }
    }
    const std::string torrent = torrentClass.empty() ? "" : OpenCommandOf(torrentClass);
    const std::string magnet = OpenCommandOf(L"magnet");
    const std::string opens =
        ".torrent files open with " + (torrent.empty() ? std::string("no program") : torrent) +
        ", magnet links with " + (magnet.empty() ? std::string("no program") : magnet);
    found.push_back(
        CheckDefaultApplication()
            ? Finding{Severity::kOk, opens + ": this host"}
            : Finding{Severity::kWarning, opens + ": not this host (the extension can set it)"});

    // Windows opens what the user chose in Default apps before it looks at the classes.
    const std::string registered = ToNarrow(kRegisteredName);
    for (const ChosenType& type : ChosenTypesOfTheHost()) {
        const UserChoice choice = ReadUserChoiceOf(type);
        const std::string chosen = std::string(type.label) + ": the user's choice in Windows (" +
                                   ToNarrow(choice.keyName) + ") names the class " +
                                   ToNarrow(choice.className);
        switch (choice.holder) {
            case ChoiceHolder::kNobody:
                found.push_back({Severity::kOk, std::string(type.label) +
                                                    ": the user has made no choice in Windows' "
                                                    "Default apps, so the classes above decide"});
                break;
            case ChoiceHolder::kThisHost:
                found.push_back({Severity::kOk, chosen + ", which starts this host"});
                break;
            case ChoiceHolder::kOtherProgram:
                found.push_back(
                    {Severity::kWarning,
                     chosen +
                         " of another program, which Windows opens instead; only the user "
                         "can change it: Settings > Apps > Default apps > " +
                         registered + " (setting the association in the extension opens it)"});
                break;
        }
    }
    found.push_back(
        IsRegisteredCandidate()
            ? Finding{Severity::kOk, "registered with Windows' Default apps as \"" + registered +
                                         "\" (HKCU\\" + ToNarrow(kRegisteredApplicationsKey) + ")"}
            : Finding{Severity::kWarning,
                      "not registered with Windows' Default apps for this program (HKCU\\" +
                          ToNarrow(kRegisteredApplicationsKey) + " \"" + registered +
                          "\"); setting the association in the extension registers it"});
}

std::optional<std::string> EnvironmentVariable(const char* name) {
    std::string value = ReadEnvironment(name);
    if (value.empty()) return std::nullopt;
    return value;
}

void CheckDownloads(Findings& found) {
    const std::optional<std::string> configured = EnvironmentVariable(kDownloadServerVariable);
    const std::string server = DownloadServerBaseUrl();
    if (!configured) {
        found.push_back({Severity::kOk, "download server " + server + " (built in)"});
    } else if (*configured == server) {
        found.push_back({Severity::kOk,
                         "download server " + server + " (from " + kDownloadServerVariable + ")"});
    } else {
        found.push_back({Severity::kWarning, std::string(kDownloadServerVariable) +
                                                 " is not a valid server and is ignored; "
                                                 "download server " +
                                                 server + " (built in)"});
    }
    found.push_back({Severity::kOk, "transfers to " + server + " " + DescribeUserProxy(server)});
}

void ShowLog(Findings& found) {
    const std::wstring path = LogFilePath();
    std::string text;
    if (path.empty() || !ReadWholeFile(path, text)) {
        found.push_back({Severity::kOk, "log " + ToNarrowShown(path) + ": nothing logged"});
        return;
    }
    found.push_back({Severity::kOk, "log " + ToNarrowShown(path) + ", its last lines:"});
    const std::string lines = LastLogLines(text, kLogLinesShown);
    size_t start = 0;
    while (start < lines.size()) {
        const size_t end = std::min(lines.find('\n', start), lines.size());
        found.push_back({Severity::kOk, "log: " + lines.substr(start, end - start)});
        start = end + 1;
    }
}

// To the standard output the program was given (a file, a pipe, a console); a GUI program started
// from a console without redirection has none, and writes to that console instead.
void WriteReport(const std::string& report) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    UniqueHandle console;
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        console.reset(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
        out = console.get();
    }
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(out, &mode)) {
        const std::wstring wide = ToWideShown(report);
        ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        ::WriteFile(out, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    }
}

}  // namespace

void CheckOwnResources(Findings& found) {
    bool hasIcon = false;
    ::EnumResourceNamesW(
        nullptr, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR found) -> BOOL {
            *reinterpret_cast<bool*>(found) = true;
            return FALSE;  // one is enough
        },
        reinterpret_cast<LONG_PTR>(&hasIcon));
    if (!hasIcon) {
        found.push_back({Severity::kWarning,
                         "this executable has no icon: .torrent files, Default apps and Apps & "
                         "features show a blank one"});
    }
    if (::FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST) == nullptr) {
        found.push_back({Severity::kWarning,
                         "this executable has no application manifest: the folder dialog is "
                         "drawn unthemed and blurred, and Windows runs it as an old program"});
    }
}

int RunDiagnosis() {
    Findings found;
    // Bound before any check, so that one missing is named rather than ending the report unseen.
    // Should another fail at its first call after all, that line still ends the run (standard
    // output is in text mode here, so its line end becomes CR LF as the report's do).
    OweReply("problem: a system library could not be loaded; the report ends here\n", 1);
    for (const char* dll : {"advapi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll",
                            "version.dll", "winhttp.dll"}) {
        if (!BindLibraries({dll})) {
            found.push_back({Severity::kProblem,
                             std::string(dll) + " cannot be loaded, so nothing was checked"});
        }
    }
    if (found.empty() && !BindTransferLibraries()) {
        found.push_back({Severity::kProblem,
                         "a library that transfers need cannot be loaded, so nothing was checked"});
    }
    if (!found.empty()) {
        WriteReport(FormatReport(found));
        return DiagnosisExitCode(found);
    }
    std::wstring self;
    GetHostExecutablePath(self);
    CheckHost(self, found);
    CheckOwnResources(found);
    found.push_back(JudgeSignature(CheckSignature(self)));
    CheckRegistrations(self, found);
    CheckPolicies(found);
    CheckDaemon(found);
    CheckAssociation(found);
    CheckHandOffBrowser(self, found);
    CheckDownloads(found);
    ShowLog(found);
    WriteReport(FormatReport(found));
    return DiagnosisExitCode(found);
}

}  // namespace zendro
