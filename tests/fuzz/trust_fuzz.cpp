// Any bytes, read as trusted-key text and as a signature file: never a crash; keys are trusted
// only when every line was read; an accepted signature says the same when minisign's own form of
// it is read again.

#include <cstdint>
#include <string>

#include "net/trust.h"

namespace {

template <typename Bytes>
std::string Base64(const std::string& head, const Bytes& tail) {
    const std::string bytes = head + std::string(tail.begin(), tail.end());
    std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(),
                      reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();  // its NUL
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const zendro::TrustedKeys keys = zendro::ParseTrustedKeys(input);
    if ((keys.mode == zendro::TrustedKeys::Mode::kVerify) == keys.keys.empty()) __builtin_trap();

    zendro::Signature read;
    if (!zendro::ParseSignatureFile(input, read)) return 0;
    const std::string id(read.keyId.begin(), read.keyId.end());
    const std::string again = "untrusted comment: \n" + Base64("ED" + id, read.signature) +
                              "\ntrusted comment: " + read.trustedComment + "\n" +
                              Base64("", read.globalSignature);
    zendro::Signature reread;  // never longer than the input, so within the size limit too
    if (!zendro::ParseSignatureFile(again, reread) || reread.keyId != read.keyId ||
        reread.signature != read.signature || reread.trustedComment != read.trustedComment ||
        reread.globalSignature != read.globalSignature) {
        __builtin_trap();
    }
    zendro::VerifySignature(zendro::PublicKey{read.keyId, {}}, read, zendro::FileDigest{});
    return 0;
}
