#pragma once

// What the host accepts of an HTTPS peer's certificate chain, apart from Windows' own verdict.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zendro {

// Bits of a certificate chain's error status (CERT_TRUST_* of wincrypt.h) that only say that
// revocation could not be checked: no list or answer was to be had, or not in time.
inline constexpr uint32_t kChainRevocationStatusUnknown = 0x00000040;
inline constexpr uint32_t kChainOfflineRevocation = 0x01000000;

// True when a chain's error status holds no fault but unknown revocation: best effort, as browsers
// do. A revoked, expired, misused or untrusted certificate, or a chain that never reached a root,
// fails.
bool ChainErrorsAllowTrust(uint32_t errorStatus);

// Converts a host name holding non-ASCII letters (UTF-8) to its ASCII form ("xn--" labels), or
// gives "" when it cannot.
using HostNameToAscii = std::function<std::string(std::string_view utf8)>;

// The name a server's certificate must carry, in the form Windows compares it, for `host`, a URL's
// host as libcurl parsed it: an IPv6 literal without its brackets, a fully qualified name without
// its trailing dot, an international name in its ASCII form (libcurl may hand over the decoded
// one). "" when the name cannot be compared for sure: empty labels, an IPv6 zone, characters no
// host name or address holds, a conversion that fails or gives anything but such a name.
std::string CertificateHostName(std::string_view host, const HostNameToAscii& toAscii);

}  // namespace zendro
