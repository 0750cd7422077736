#include "net/tls.h"

#include <gtest/gtest.h>

namespace zendro {
namespace {

// Bits of CERT_TRUST_* (wincrypt.h) that must fail a chain.
constexpr uint32_t kNotTimeValid = 0x1, kRevoked = 0x4, kUntrustedRoot = 0x20,
                   kNotValidForUsage = 0x10, kPartialChain = 0x10000;

TEST(ChainErrorsAllowTrust, OnlyUnknownRevocationIsForgiven) {
    for (uint32_t status : {0u, kChainRevocationStatusUnknown, kChainOfflineRevocation,
                            kChainRevocationStatusUnknown | kChainOfflineRevocation}) {
        EXPECT_TRUE(ChainErrorsAllowTrust(status)) << status;
    }
    for (uint32_t status : {kNotTimeValid, kRevoked, kUntrustedRoot, kNotValidForUsage,
                            kPartialChain, kRevoked | kChainRevocationStatusUnknown,
                            kPartialChain | kChainOfflineRevocation, 0x80000000u}) {
        EXPECT_FALSE(ChainErrorsAllowTrust(status)) << status;
    }
}

}  // namespace
}  // namespace zendro
