// Before any header that may bring wincrypt.h or sspi.h with it.
#define SECURITY_WIN32
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS

#include "net/tls_win.h"

#include <windows.h>
#include <wincrypt.h>
#include <security.h>
#include <schannel.h>

#include <string>

#include "net/curl_owners_win.h"
#include "net/tls.h"
#include "win/crypt_owners_win.h"
#include "win/text_win.h"

namespace zendro {
namespace {

// Fetching revocation lists or OCSP answers may take this long in all; what has not arrived by
// then counts as unknown, which does not fail the transfer.
constexpr DWORD kRevocationFetchMilliseconds = 5000;

static_assert(kChainRevocationStatusUnknown == CERT_TRUST_REVOCATION_STATUS_UNKNOWN);
static_assert(kChainOfflineRevocation == CERT_TRUST_IS_OFFLINE_REVOCATION);

// SECURITY_FLAG_IGNORE_REVOCATION of wininet.h, for the SSL policy's own checks.
constexpr DWORD kIgnoreRevocation = 0x00000080;

// Windows' own conversion of an international name to its ASCII form.
std::string IdnToAsciiName(std::string_view utf8) {
    const std::wstring name = ToWide(std::string(utf8));
    if (name.empty()) return {};
    const int length = ::IdnToAscii(0, name.c_str(), static_cast<int>(name.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring ascii(static_cast<size_t>(length), L'\0');
    if (::IdnToAscii(0, name.c_str(), static_cast<int>(name.size()), ascii.data(), length) !=
        length) {
        return {};
    }
    return ToNarrow(ascii);
}

// The host name of the transfer's URL, as libcurl parsed it to connect, in the form the
// certificate is compared with.
std::wstring ServerName(CURL* curl) {
    char* url = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || url == nullptr) {
        return {};
    }
    UniqueCurlUrl parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK) return {};
    UniqueCurlText host;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, host.put(), 0) != CURLUE_OK) return {};
    return ToWide(CertificateHostName(host.get(), IdnToAsciiName));
}

bool IsTrustedServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& serverName) {
    char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuthentication};
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    chainPara.dwUrlRetrievalTimeout = kRevocationFetchMilliseconds;
    UniqueCertChain chain;
    // The peer's own store holds the intermediate certificates it sent.
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore,
                                   &chainPara,
                                   CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                       CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                                   nullptr, chain.put())) {
        return false;
    }
    // Judged here, not left to the SSL policy alone: Wine's passes a chain that never reached a
    // root.
    if (!ChainErrorsAllowTrust(chain.get()->TrustStatus.dwErrorStatus)) return false;

    std::wstring name = serverName;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = kIgnoreRevocation;  // judged above
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    return ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy,
                                              &status) &&
           status.dwError == 0;
}

}  // namespace

// Schannel is asked to validate the peer during the handshake as well, but not every Schannel
// does (Wine's accepts any certificate): this check makes the outcome the same everywhere.
int CheckPeerBeforeRequest(void* curl, char*, char*, int, int) {
    const auto handle = static_cast<CURL*>(curl);
    char* scheme = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_SCHEME, &scheme) != CURLE_OK || scheme == nullptr) {
        return CURL_PREREQFUNC_ABORT;
    }
    if (::lstrcmpiA(scheme, "https") != 0) return CURL_PREREQFUNC_OK;

    curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK ||
        session == nullptr || session->backend != CURLSSLBACKEND_SCHANNEL ||
        session->internals == nullptr) {
        return CURL_PREREQFUNC_ABORT;
    }
    UniqueCertContext certificate;
    if (::QueryContextAttributesW(static_cast<CtxtHandle*>(session->internals),
                                  SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.put()) != SEC_E_OK ||
        !certificate) {
        return CURL_PREREQFUNC_ABORT;
    }
    const std::wstring serverName = ServerName(handle);
    if (serverName.empty() || !IsTrustedServerCertificate(certificate.get(), serverName)) {
        return CURL_PREREQFUNC_ABORT;
    }
    return CURL_PREREQFUNC_OK;
}

}  // namespace zendro
