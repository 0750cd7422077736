// Any bytes, read as trusted-key text, as a signature file, as a download's URL and as a trusted
// comment: never a crash; keys are trusted only when every line was read; an accepted signature
// says the same when minisign's own form of it is read again; a file name taken from a URL is one
// plain name, which minisign's own comment for it matches; a comment matches only a name it holds.

#include <algorithm>
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
    const std::string name = zendro::SignedFileName(input);
    if (!name.empty()) {
        const bool plain =
            name != "." && name != ".." && std::none_of(name.begin(), name.end(), [](char c) {
                const auto byte = static_cast<unsigned char>(c);
                return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
            });
        if (!plain ||
            !zendro::TrustedCommentNamesFile("timestamp:0\tfile:" + name + "\thashed", name)) {
            __builtin_trap();
        }
    }
    // The input's first line as a file name, the rest as a comment.
    const size_t end = input.find('\n');
    const std::string wanted = input.substr(0, end);
    const std::string comment = end == std::string::npos ? "" : input.substr(end + 1);
    if (zendro::TrustedCommentNamesFile(comment, wanted) &&
        (wanted.empty() ||
         ("\t" + comment + "\t").find("\tfile:" + wanted + "\t") == std::string::npos)) {
        __builtin_trap();
    }

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
    zendro::VerifySignature(zendro::PublicKey{read.keyId, {}}, read, zendro::FileDigest{}, name);
    // A comment's time, written back as minisign writes it, is read as the same time.
    const uint64_t time = zendro::SignatureTimestamp(read.trustedComment);
    if (zendro::SignatureTimestamp("timestamp:" + std::to_string(time) + "\tfile:x") != time) {
        __builtin_trap();
    }
    return 0;
}
