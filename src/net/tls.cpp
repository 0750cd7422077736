#include "net/tls.h"

namespace zendro {

bool ChainErrorsAllowTrust(uint32_t errorStatus) {
    return (errorStatus & ~(kChainRevocationStatusUnknown | kChainOfflineRevocation)) == 0;
}

}  // namespace zendro
