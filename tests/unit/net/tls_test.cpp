#include "net/tls.h"

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(ChainErrorsAllowTrust, OnlyUnknownRevocationIsForgiven) {
    EXPECT_TRUE(ChainErrorsAllowTrust(0));
    EXPECT_TRUE(ChainErrorsAllowTrust(kChainRevocationStatusUnknown | kChainOfflineRevocation));
    // Not time-valid, revoked, untrusted root, partial chain (CERT_TRUST_*), with or without
    // unknown revocation beside them.
    for (uint32_t fault : {0x1u, 0x4u, 0x20u, 0x10000u}) {
        EXPECT_FALSE(ChainErrorsAllowTrust(fault)) << fault;
        EXPECT_FALSE(ChainErrorsAllowTrust(fault | kChainOfflineRevocation)) << fault;
    }
}

}  // namespace
}  // namespace zendro
