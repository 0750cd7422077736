#pragma once

// Owners of CryptoAPI objects: a certificate store, a certificate and a certificate chain.

#include <windows.h>
#include <wincrypt.h>

#include "win/unique_resource.h"

namespace zendro {

struct CertStoreTraits {
    using Value = HCERTSTORE;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::CertCloseStore(v, 0); }
};
using UniqueCertStore = UniqueResource<CertStoreTraits>;

struct CertContextTraits {
    using Value = PCCERT_CONTEXT;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::CertFreeCertificateContext(v); }
};
using UniqueCertContext = UniqueResource<CertContextTraits>;

struct CertChainTraits {
    using Value = PCCERT_CHAIN_CONTEXT;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::CertFreeCertificateChain(v); }
};
using UniqueCertChain = UniqueResource<CertChainTraits>;

}  // namespace zendro
