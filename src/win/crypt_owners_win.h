#pragma once

// Owners of CryptoAPI objects: a certificate store, a certificate and a certificate chain.

#include <windows.h>
#include <wincrypt.h>

#include "base/unique_resource.h"

namespace zendro {

inline void CloseCertStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }

using UniqueCertStore = UniqueAny<HCERTSTORE, CloseCertStore>;
using UniqueCertContext = UniqueAny<PCCERT_CONTEXT, ::CertFreeCertificateContext>;
using UniqueCertChain = UniqueAny<PCCERT_CHAIN_CONTEXT, ::CertFreeCertificateChain>;

}  // namespace zendro
