#pragma once

// Trust in downloads: the publisher's minisign public keys and minisign signatures, and the check
// of a file against them. Parsing is ours; every cryptographic step is libsodium's.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sodium.h>

namespace zendro {

// A download's signature lives at the download's URL followed by this.
inline constexpr char kSignatureSuffix[] = ".minisig";
// minisign limits a trusted comment to 8 KiB; a signature file far beyond that is not one.
inline constexpr size_t kMaxSignatureFileBytes = 16 * 1024;

using KeyId = std::array<unsigned char, 8>;

struct PublicKey {
    KeyId id{};
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> key{};
};

struct TrustedKeys {
    enum class Mode {
        kUnverified,  // no key at all: downloads are used as they come
        kVerify,      // downloads need a valid signature by one of `keys`
        kRefuseAll,   // a key line could not be read: nothing downloaded is trusted
    };
    Mode mode = Mode::kUnverified;
    std::vector<PublicKey> keys;
};

// The trusted keys from text holding minisign public keys, one Base64 line each ("RW..."). Blank
// lines, lines starting with "#" and "untrusted comment:" lines are passed over, so whole .pub
// files can be joined. Any other line that is not a valid key refuses everything.
TrustedKeys ParseTrustedKeys(std::string_view text);

// One public key line as minisign writes it (blanks around it allowed).
bool ParsePublicKey(std::string_view line, PublicKey& key);

struct Signature {
    KeyId keyId{};
    std::array<unsigned char, crypto_sign_BYTES> signature{};  // over BLAKE2b-512 of the file
    std::string trustedComment;                                // without "trusted comment: "
    std::array<unsigned char, crypto_sign_BYTES> globalSignature{};
};

// A .minisig file of the prehashed kind (minisign's default): an untrusted comment line, the
// signature, the trusted comment line and the global signature, each line ended by LF or CR LF
// (the last one may lack it). The legacy kind, which signs the file itself, is refused: it would
// need the whole file in memory.
bool ParseSignatureFile(std::string_view text, Signature& signature);

// The key among `keys` whose id the signature names, or none.
const PublicKey* FindSigner(const TrustedKeys& keys, const Signature& signature);
const PublicKey* FindSigner(TrustedKeys&& keys, const Signature& signature) = delete;  // dangles

using FileDigest = std::array<unsigned char, crypto_generichash_BYTES_MAX>;

// BLAKE2b-512 of a stream fed piece by piece, so memory stays flat whatever the file's size.
class FileHasher {
  public:
    FileHasher();
    void Update(const unsigned char* data, size_t length);
    FileDigest Finish();

  private:
    crypto_generichash_state state_;
};

// The name a download's signature must carry: the last segment of the path of `url`, its
// percent-escapes decoded. Empty, so that nothing matches, when that cannot be told for sure: a
// URL without "scheme://", with a query or a fragment (the signature's URL, `url` + ".minisig",
// would then not name the file's own path), a path that ends in "/", ".", "..", a bad escape, or
// a name holding a separator or a control character.
std::string SignedFileName(std::string_view url);

// Whether a trusted comment holds the tab-separated field "file:<fileName>", as minisign writes by
// default ("timestamp:<seconds>\tfile:<name>\thashed"), and no "file:" field naming another file.
// An empty `fileName` matches nothing.
bool TrustedCommentNamesFile(std::string_view comment, std::string_view fileName);

// What can be checked of a signature before the file it signs is fetched: minisign's global
// signature over the signature and the trusted comment, by `signer`, and that the trusted comment
// names `fileName`.
bool VerifyTrustedComment(const PublicKey& signer, const Signature& signature,
                          std::string_view fileName);

// minisign's two checks, the signature over the file's digest and the global signature over the
// signature and the trusted comment, each by `signer`; and then that the trusted comment names
// `fileName`, so that a signature for one file is worth nothing for another.
bool VerifySignature(const PublicKey& signer, const Signature& signature, const FileDigest& digest,
                     std::string_view fileName);

// When a trusted comment says its signature was made: the seconds since 1970 of its field
// "timestamp:<seconds>", as minisign writes it. A comment without one, or with one that is not
// all decimal digits fitting 64 bits, counts as the oldest: 0. Of several fields, the earliest.
uint64_t SignatureTimestamp(std::string_view comment);

// A signature time as the log shows it: "2026-12-10T18:00:00Z (timestamp 1797271200)", or "no
// time" for 0.
std::string DescribeSignatureTime(uint64_t timestamp);

// Whether a signature made at `offered` rolls back what was accepted before: a signature of the
// same file made at `accepted` (none: anything goes). An equal time is no rollback.
inline bool IsRollback(std::optional<uint64_t> accepted, uint64_t offered) {
    return accepted.has_value() && offered < *accepted;
}

}  // namespace zendro
