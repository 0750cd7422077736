#pragma once

// The judgements behind "--diagnose", without Windows: a native messaging manifest, the browsers'
// policies, and the report's lines. diagnose_win.cpp gathers what they judge.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zendro {

enum class Severity { kOk, kWarning, kProblem };

struct Finding {
    Severity severity;
    std::string text;
};
using Findings = std::vector<Finding>;

// "ok: ...", "warning: ..." or "problem: ...", one line each, CR LF ended (the report is read on
// Windows); control characters in a text become blanks.
std::string FormatReport(const Findings& findings);

// 1 when any finding is a problem, otherwise 0.
int DiagnosisExitCode(const Findings& findings);

// "X:\..." or "\\server\...": the forms a registration must name its manifest by.
bool IsAbsoluteWindowsPath(std::string_view path);

// A manifest's "path" as the browser resolves it: absolute as it stands, otherwise relative to
// the folder of the manifest.
std::string ResolveHostPath(const std::string& manifestPath, const std::string& hostPath);

// "chrome-extension://" + 32 letters a-p + "/", exactly.
bool IsChromeExtensionOrigin(std::string_view origin);

struct ManifestExpectation {
    std::string hostName;      // the registration's key name
    std::string manifestPath;  // UTF-8, as the registration names it
    std::string ownPath;       // UTF-8 path of this executable
    bool mozilla = false;      // allowed_extensions instead of allowed_origins
};

// Everything wrong with a manifest's bytes, in the browsers' terms, each finding naming `label`
// (e.g. "Chrome"); a single ok finding when nothing is.
Findings CheckManifest(std::string_view bytes, const ManifestExpectation& expected,
                       const std::string& label);

// The native messaging policies of one browser in one hive, as read from the registry.
struct NativeMessagingPolicies {
    std::optional<unsigned long> userLevelHosts;  // NativeMessagingUserLevelHosts
    std::vector<std::string> blocklist;           // NativeMessagingBlocklist entries
    std::vector<std::string> allowlist;           // NativeMessagingAllowlist entries
};

// The policies that keep the browser from starting this per-user host, as problems naming the
// policy and `where` (e.g. "HKCU\Software\Policies\Google\Chrome"); nothing when none does.
Findings JudgePolicies(const NativeMessagingPolicies& policies, const std::string& hostName,
                       const std::string& where);

// What the hand-off's browser step would find in the Start-menu browser lists.
struct HandOffBrowser {
    std::string wanted;                // the display name it looks up, "Google Chrome" for one
    std::optional<std::string> where;  // the list that names it first, when one does
    std::string searched;              // the lists it reads, for the finding that none names it
    size_t registered = 0;             // display names in the lists together
};

// Whether a hand-off would bring the browser up unless it runs (it needs the name and at least
// two browsers), and where it is registered; a warning when it would not.
Finding JudgeHandOffBrowser(const HandOffBrowser& browser);

// What Windows' trust check (WinVerifyTrust, without revocation checks or downloads) said of a
// file's Authenticode signature.
struct SignatureCheck {
    bool checked = false;      // false when the trust libraries could not be bound
    unsigned long status = 0;  // the check's HRESULT: 0 for a signature Windows trusts
    std::string signer;        // the signing certificate's name; empty when none could be read
};

// The line on the running executable's signature: ok for a trusted one, naming whose it is; a
// warning, saying why, for none or one that Windows does not trust.
Finding JudgeSignature(const SignatureCheck& check);

}  // namespace zendro
