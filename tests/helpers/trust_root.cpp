// Test helper: makes a certificate authority trusted by every later process of the prefix, as an
// administrator would, by adding its certificate to the local machine's "Root" store.
//   trust_root <DER certificate in Base64>
// Exit code 0 when the certificate is in the store (added now or before), 1 otherwise.

#include <vector>

#include "win/crypt_owners_win.h"

int wmain(int argc, wchar_t** argv) {
    DWORD size = 4096;
    std::vector<BYTE> der(size);
    if (argc != 2 || !::CryptStringToBinaryW(argv[1], 0, CRYPT_STRING_BASE64, der.data(), &size,
                                             nullptr, nullptr)) {
        return 1;
    }
    zendro::UniqueCertStore store(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    return store && ::CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                                       size, CERT_STORE_ADD_REPLACE_EXISTING,
                                                       nullptr)
               ? 0
               : 1;
}
