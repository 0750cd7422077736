// Any bytes, read both as trusted-key text and as a signature file: never a crash; keys that are
// read are the only reason to verify; and whatever is accepted says the same when written back
// in minisign's own form and read again.

#include <cstdint>
#include <cstring>
#include <string>

#include "net/trust.h"

namespace {

template <typename Bytes>
std::string Base64(const std::string& prefix, const Bytes& bytes, const std::string& more = "") {
    const std::string all = prefix + std::string(bytes.begin(), bytes.end()) + more;
    std::string text(sodium_base64_encoded_len(all.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(all.data()),
                      all.size(), sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();
    return text;
}

void CheckKeys(const std::string& input) {
    const zendro::TrustedKeys keys = zendro::ParseTrustedKeys(input);
    using Mode = zendro::TrustedKeys::Mode;
    if ((keys.mode == Mode::kVerify) != !keys.keys.empty()) __builtin_trap();
    for (const zendro::PublicKey& key : keys.keys) {
        zendro::PublicKey again;
        if (!zendro::ParsePublicKey(
                Base64("Ed", key.id, std::string(key.key.begin(), key.key.end())), again) ||
            again.id != key.id || again.key != key.key) {
            __builtin_trap();
        }
    }
}

void CheckSignature(const std::string& input) {
    zendro::Signature signature;
    if (!zendro::ParseSignatureFile(input, signature)) return;
    if (input.size() > zendro::kMaxSignatureFileBytes ||
        signature.trustedComment.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        __builtin_trap();
    }
    const std::string canonical =
        "untrusted comment: again\n" +
        Base64("ED", signature.keyId,
               std::string(signature.signature.begin(), signature.signature.end())) +
        "\ntrusted comment: " + signature.trustedComment + "\n" +
        Base64("", signature.globalSignature) + "\n";
    zendro::Signature again;
    if (!zendro::ParseSignatureFile(canonical, again) || again.keyId != signature.keyId ||
        again.signature != signature.signature ||
        again.trustedComment != signature.trustedComment ||
        again.globalSignature != signature.globalSignature) {
        __builtin_trap();
    }
    // Whatever the bytes, checking them against some key over some digest is only a verdict.
    zendro::PublicKey key;
    key.id = signature.keyId;
    zendro::VerifySignature(key, signature, zendro::FileDigest{});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckKeys(input);
    CheckSignature(input);
    return 0;
}
