#pragma once

// What the host accepts of an HTTPS peer's certificate chain, apart from Windows' own verdict.

#include <cstdint>

namespace zendro {

// Bits of a certificate chain's error status (CERT_TRUST_* of wincrypt.h) that only say that
// revocation could not be checked: no list or answer was to be had, or not in time.
inline constexpr uint32_t kChainRevocationStatusUnknown = 0x00000040;
inline constexpr uint32_t kChainOfflineRevocation = 0x01000000;

// True when a chain's error status holds no fault but unknown revocation: best effort, as browsers
// do. A revoked, expired, misused or untrusted certificate, or a chain that never reached a root,
// fails.
bool ChainErrorsAllowTrust(uint32_t errorStatus);

}  // namespace zendro
