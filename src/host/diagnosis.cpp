#include "host/diagnosis.h"

#include <algorithm>
#include <cstdio>

#include "base/json.h"
#include "base/redact.h"

namespace zendro {
namespace {

constexpr std::string_view kChromeOriginPrefix = "chrome-extension://";
constexpr size_t kExtensionIdLength = 32;

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        unsigned long code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2, code = lead & 0x1f;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3, code = lead & 0x0f;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4, code = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            code = code << 6 | (next & 0x3f);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not UTF-8.
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
            return false;
        }
        i += length;
    }
    return true;
}

// Windows compares paths without regard to letter case or the kind of slash.
std::string PathKey(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return path;
}

std::string Clean(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = ' ';
    }
    return text;
}

bool Contains(const std::vector<std::string>& list, const std::string& entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
}

}  // namespace

std::string FormatReport(const Findings& findings) {
    std::string report;
    for (const Finding& finding : findings) {
        report += finding.severity == Severity::kOk        ? "ok: "
                  : finding.severity == Severity::kWarning ? "warning: "
                                                           : "problem: ";
        // Whatever a finding quotes (a proxy, a URL, a cause) shows no user name or password.
        report += Clean(WithoutUrlCredentials(finding.text)) + "\r\n";
    }
    return report;
}

int DiagnosisExitCode(const Findings& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& f) { return f.severity == Severity::kProblem; })
               ? 1
               : 0;
}

bool IsAbsoluteWindowsPath(std::string_view path) {
    const bool drive = path.size() >= 3 &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
    return drive || share;
}

std::string ResolveHostPath(const std::string& manifestPath, const std::string& hostPath) {
    if (IsAbsoluteWindowsPath(hostPath)) return hostPath;
    const size_t slash = manifestPath.find_last_of("\\/");
    return slash == std::string::npos ? hostPath : manifestPath.substr(0, slash + 1) + hostPath;
}

bool IsChromeExtensionOrigin(std::string_view origin) {
    if (origin.size() != kChromeOriginPrefix.size() + kExtensionIdLength + 1 ||
        origin.substr(0, kChromeOriginPrefix.size()) != kChromeOriginPrefix ||
        origin.back() != '/') {
        return false;
    }
    const std::string_view id = origin.substr(kChromeOriginPrefix.size(), kExtensionIdLength);
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= 'a' && c <= 'p'; });
}

Findings CheckManifest(std::string_view bytes, const ManifestExpectation& expected,
                       const std::string& label) {
    const std::string where = label + " manifest " + expected.manifestPath;
    const auto problem = [&](const std::string& what) {
        return Finding{Severity::kProblem, where + ": " + what};
    };
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return {problem("starts with a byte-order mark, which the browser does not accept")};
    }
    if (!IsValidUtf8(bytes)) return {problem("is not valid UTF-8")};
    Json::Value root;
    if (!ParseJson(std::string(bytes), root) || !root.isObject()) {
        return {problem("is not a JSON object")};
    }

    Findings found;
    const auto text = [&](const char* member) {
        const Json::Value& value = root[member];
        return value.isString() ? std::optional<std::string>(value.asString()) : std::nullopt;
    };
    if (text("name") != expected.hostName) {
        found.push_back(problem("\"name\" is not \"" + expected.hostName + "\""));
    }
    if (text("type") != std::string("stdio")) found.push_back(problem("\"type\" is not \"stdio\""));
    const std::optional<std::string> path = text("path");
    if (!path || path->empty()) {
        found.push_back(problem("has no \"path\""));
    } else if (PathKey(ResolveHostPath(expected.manifestPath, *path)) !=
               PathKey(expected.ownPath)) {
        found.push_back(
            problem("\"path\" names " + *path + ", not this program (" + expected.ownPath + ")"));
    }
    if (text("description").value_or("").empty()) {
        found.push_back(problem("has no \"description\""));
    }

    const char* const listName = expected.mozilla ? "allowed_extensions" : "allowed_origins";
    const Json::Value& list = root[listName];
    if (!list.isArray() || list.empty()) {
        found.push_back(problem(std::string("has no \"") + listName + "\" entries"));
    } else {
        for (const Json::Value& entry : list) {
            const std::string value = entry.isString() ? entry.asString() : "";
            if (expected.mozilla) {
                if (value.empty()) found.push_back(problem("an allowed_extensions entry is empty"));
            } else if (!IsChromeExtensionOrigin(value)) {
                const bool slashMissing = IsChromeExtensionOrigin(value + "/");
                found.push_back(problem(
                    "allowed_origins entry \"" + value + "\" " +
                    (slashMissing
                         ? "lacks its trailing slash: the browser rejects the whole manifest"
                         : "is not of the form chrome-extension://<32 letters a-p>/")));
            }
        }
    }
    if (found.empty()) found.push_back({Severity::kOk, where + " is valid"});
    return found;
}

Findings JudgePolicies(const NativeMessagingPolicies& policies, const std::string& hostName,
                       const std::string& where) {
    Findings found;
    if (policies.userLevelHosts && *policies.userLevelHosts == 0) {
        found.push_back({Severity::kProblem,
                         where + ": policy NativeMessagingUserLevelHosts is 0, so the browser "
                                 "ignores per-user hosts such as this one"});
    }
    const bool blocked =
        Contains(policies.blocklist, "*") || Contains(policies.blocklist, hostName);
    if (blocked && !Contains(policies.allowlist, hostName)) {
        found.push_back(
            {Severity::kProblem, where + ": policy NativeMessagingBlocklist blocks " + hostName +
                                     " and NativeMessagingAllowlist does not allow it"});
    }
    return found;
}

Finding JudgeHandOffBrowser(const HandOffBrowser& browser) {
    const std::string name = "\"" + browser.wanted + "\"";
    if (!browser.where) {
        return {Severity::kWarning, "a hand-off brings up no browser: no browser named " + name +
                                        " is registered in " + browser.searched};
    }
    if (browser.registered < 2) {
        return {Severity::kWarning,
                "a hand-off brings up no browser: " + name + " is registered in " + *browser.where +
                    ", but it is the only browser registered and the hand-off needs two"};
    }
    return {Severity::kOk,
            "a hand-off brings up " + name + " unless it runs, registered in " + *browser.where};
}

Finding JudgeSignature(const SignatureCheck& check) {
    if (!check.checked) {
        return {Severity::kWarning,
                "the Authenticode signature cannot be checked: wintrust.dll cannot be loaded"};
    }
    // The HRESULTs of wintrust.h and winerror.h that a user can act on.
    constexpr unsigned long kNoSignature = 0x800B0100;    // TRUST_E_NOSIGNATURE
    constexpr unsigned long kFormUnknown = 0x800B0003;    // TRUST_E_SUBJECT_FORM_UNKNOWN
    constexpr unsigned long kExpired = 0x800B0101;        // CERT_E_EXPIRED
    constexpr unsigned long kUntrustedRoot = 0x800B0109;  // CERT_E_UNTRUSTEDROOT
    constexpr unsigned long kChaining = 0x800B010A;       // CERT_E_CHAINING
    constexpr unsigned long kDistrusted = 0x800B0111;     // TRUST_E_EXPLICIT_DISTRUST
    constexpr unsigned long kBadDigest = 0x80096010;      // TRUST_E_BAD_DIGEST
    constexpr unsigned long kWrongUsage = 0x800B0110;     // CERT_E_WRONG_USAGE
    if (check.status == 0) {
        return {Severity::kOk,
                "this program carries an Authenticode signature by " +
                    (check.signer.empty() ? std::string("an unnamed signer") : check.signer) +
                    " that Windows trusts"};
    }
    if (check.signer.empty() && (check.status == kNoSignature || check.status == kFormUnknown)) {
        return {Severity::kWarning,
                "this program carries no Authenticode signature: Windows names its publisher "
                "as unknown, and SmartScreen and virus scanners may distrust it"};
    }
    std::string why;
    switch (check.status) {
        case kExpired:
            why = "the certificate has expired and the signature has no time stamp";
            break;
        case kUntrustedRoot:
            why = "its certificate authority is not one Windows trusts";
            break;
        case kChaining:
            why = "its certificate does not lead to a certificate authority";
            break;
        case kDistrusted:
            why = "its certificate is explicitly distrusted";
            break;
        case kBadDigest:
            why = "the file was changed after it was signed";
            break;
        case kWrongUsage:
            why = "its certificate is not one for signing code";
            break;
        default: {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08lX", check.status);
            why = std::string("WinVerifyTrust says ") + code;
        }
    }
    return {Severity::kWarning, "this program carries an Authenticode signature" +
                                    (check.signer.empty() ? std::string() : " by " + check.signer) +
                                    " that Windows does not trust: " + why};
}

}  // namespace zendro
