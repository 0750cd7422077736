#include "net/trust.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zendro {
namespace {

// minisign's algorithm tags: "Ed" for keys and legacy signatures, "ED" for signatures over the
// BLAKE2b-512 digest of the file.
constexpr unsigned char kKeyAlgorithm[2] = {'E', 'd'};
constexpr unsigned char kPrehashedAlgorithm[2] = {'E', 'D'};

// A key file's comment line, and the stricter form minisign demands of a signature file.
constexpr std::string_view kUntrustedPrefix = "untrusted comment:";
constexpr std::string_view kSignatureUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Standard Base64 with padding, all of `text` and exactly `size` bytes: no blanks, no other
// alphabet, no stray bits in the last character.
template <size_t N>
bool DecodeExactly(std::string_view text, std::array<unsigned char, N>& out) {
    size_t length = 0;
    return sodium_base642bin(out.data(), out.size(), text.data(), text.size(), nullptr, &length,
                             nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
           length == out.size();
}

// Splits off the next line; its end (LF or CR LF, or a CR that ends the text) is not part of it.
// False when none is left.
bool NextLine(std::string_view& text, std::string_view& line, bool& ended) {
    if (text.empty()) return false;
    const size_t end = text.find('\n');
    ended = end != std::string_view::npos;
    line = text.substr(0, end);
    text.remove_prefix(ended ? end + 1 : text.size());
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParsePublicKey(std::string_view line, PublicKey& key) {
    // Algorithm, key id, Ed25519 key.
    std::array<unsigned char, 2 + sizeof key.id + sizeof key.key> bytes{};
    if (!DecodeExactly(TrimBlanks(line), bytes)) return false;
    if (std::memcmp(bytes.data(), kKeyAlgorithm, 2) != 0) return false;
    std::copy_n(bytes.begin() + 2, key.id.size(), key.id.begin());
    std::copy_n(bytes.begin() + 2 + key.id.size(), key.key.size(), key.key.begin());
    return true;
}

TrustedKeys ParseTrustedKeys(std::string_view text) {
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (StartsWith(text, kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    TrustedKeys trusted;
    std::string_view line;
    bool ended = false;
    while (NextLine(text, line, ended)) {
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '#' || StartsWith(line, kUntrustedPrefix)) continue;
        PublicKey key;
        if (!ParsePublicKey(line, key)) return {TrustedKeys::Mode::kRefuseAll, {}};
        trusted.keys.push_back(key);
    }
    trusted.mode =
        trusted.keys.empty() ? TrustedKeys::Mode::kUnverified : TrustedKeys::Mode::kVerify;
    return trusted;
}

bool ParseSignatureFile(std::string_view text, Signature& signature) {
    if (text.size() > kMaxSignatureFileBytes) return false;
    // Four lines; only the last may lack its line end, and nothing may follow it.
    std::array<std::string_view, 4> lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        bool ended = false;
        if (!NextLine(text, lines[i], ended) || (!ended && i + 1 < lines.size())) return false;
    }
    const auto [untrusted, encodedSignature, trusted, encodedGlobal] = lines;
    if (!text.empty() || !StartsWith(untrusted, kSignatureUntrustedPrefix) ||
        !StartsWith(trusted, kTrustedPrefix)) {
        return false;
    }
    // minisign cuts the comment at a CR or NUL before checking it; such a comment is refused
    // rather than read in two ways.
    const std::string_view comment = trusted.substr(kTrustedPrefix.size());
    if (comment.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) return false;

    // Algorithm, key id, signature.
    std::array<unsigned char, 2 + sizeof signature.keyId + sizeof signature.signature> bytes{};
    if (!DecodeExactly(encodedSignature, bytes)) return false;
    if (std::memcmp(bytes.data(), kPrehashedAlgorithm, 2) != 0) return false;
    Signature parsed;
    std::copy_n(bytes.begin() + 2, parsed.keyId.size(), parsed.keyId.begin());
    std::copy_n(bytes.begin() + 2 + parsed.keyId.size(), parsed.signature.size(),
                parsed.signature.begin());
    if (!DecodeExactly(encodedGlobal, parsed.globalSignature)) return false;
    parsed.trustedComment.assign(comment);
    signature = std::move(parsed);
    return true;
}

const PublicKey* FindSigner(const TrustedKeys& keys, const Signature& signature) {
    if (keys.mode != TrustedKeys::Mode::kVerify) return nullptr;
    for (const PublicKey& key : keys.keys) {
        if (key.id == signature.keyId) return &key;
    }
    return nullptr;
}

FileHasher::FileHasher() {
    crypto_generichash_init(&state_, nullptr, 0, crypto_generichash_BYTES_MAX);
}

void FileHasher::Update(const unsigned char* data, size_t length) {
    crypto_generichash_update(&state_, data, length);
}

FileDigest FileHasher::Finish() {
    FileDigest digest{};
    crypto_generichash_final(&state_, digest.data(), digest.size());
    return digest;
}

std::string SignedFileName(std::string_view url) {
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == 0 || schemeEnd == std::string_view::npos ||
        url.find_first_of("?#") != std::string_view::npos) {
        return {};
    }
    const size_t pathStart = url.find('/', schemeEnd + 3);
    if (pathStart == std::string_view::npos) return {};
    const std::string_view segment = url.substr(url.rfind('/') + 1);
    std::string name;
    for (size_t i = 0; i < segment.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(segment[i]);
        if (byte == '%') {
            const int high = i + 2 < segment.size() ? HexValue(segment[i + 1]) : -1;
            const int low = high >= 0 ? HexValue(segment[i + 2]) : -1;
            if (low < 0) return {};
            byte = static_cast<unsigned char>(high * 16 + low);
            i += 2;
        } else if (byte == ' ') {
            return {};  // not sent as it stands; its escaped form is
        }
        if (byte < 0x20 || byte == 0x7F || byte == '/' || byte == '\\') return {};
        name.push_back(static_cast<char>(byte));
    }
    // libcurl takes dot segments away: the file fetched would not be the one named.
    if (name.empty() || name == "." || name == "..") return {};
    return name;
}

bool TrustedCommentNamesFile(std::string_view comment, std::string_view fileName) {
    static constexpr std::string_view kFileField = "file:";
    if (fileName.empty()) return false;
    bool named = false;
    for (;;) {
        const size_t end = comment.find('\t');
        const std::string_view field = comment.substr(0, end);
        if (StartsWith(field, kFileField)) {
            if (field.substr(kFileField.size()) != fileName) return false;
            named = true;
        }
        if (end == std::string_view::npos) return named;
        comment.remove_prefix(end + 1);
    }
}

bool VerifyTrustedComment(const PublicKey& signer, const Signature& signature,
                          std::string_view fileName) {
    std::string signedTail(signature.signature.begin(), signature.signature.end());
    signedTail += signature.trustedComment;
    return crypto_sign_verify_detached(signature.globalSignature.data(),
                                       reinterpret_cast<const unsigned char*>(signedTail.data()),
                                       signedTail.size(), signer.key.data()) == 0 &&
           TrustedCommentNamesFile(signature.trustedComment, fileName);
}

bool VerifySignature(const PublicKey& signer, const Signature& signature, const FileDigest& digest,
                     std::string_view fileName) {
    return crypto_sign_verify_detached(signature.signature.data(), digest.data(), digest.size(),
                                       signer.key.data()) == 0 &&
           VerifyTrustedComment(signer, signature, fileName);
}

uint64_t SignatureTimestamp(std::string_view comment) {
    static constexpr std::string_view kTimestampField = "timestamp:";
    bool found = false;
    uint64_t earliest = 0;
    for (;;) {
        const size_t end = comment.find('\t');
        const std::string_view field = comment.substr(0, end);
        if (StartsWith(field, kTimestampField)) {
            const std::string_view digits = field.substr(kTimestampField.size());
            uint64_t value = 0;
            if (digits.empty()) return 0;
            for (const char c : digits) {
                const auto digit = static_cast<unsigned>(c - '0');
                if (digit > 9 || value > (UINT64_MAX - digit) / 10) return 0;
                value = value * 10 + digit;
            }
            earliest = found ? std::min(earliest, value) : value;
            found = true;
        }
        if (end == std::string_view::npos) return earliest;
        comment.remove_prefix(end + 1);
    }
}

std::string DescribeSignatureTime(uint64_t timestamp) {
    if (timestamp == 0) return "no time";
    // Days since 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant.
    const uint64_t days = timestamp / 86400;
    const uint64_t second = timestamp % 86400;
    const uint64_t z = days + 719468;
    const uint64_t era = z / 146097;
    const uint64_t dayOfEra = z - era * 146097;
    const uint64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const uint64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const uint64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const uint64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const uint64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[96] = {};
    std::snprintf(
        text, sizeof text, "%04llu-%02llu-%02lluT%02llu:%02llu:%02lluZ (timestamp %llu)",
        static_cast<unsigned long long>(year), static_cast<unsigned long long>(month),
        static_cast<unsigned long long>(day), static_cast<unsigned long long>(second / 3600),
        static_cast<unsigned long long>(second / 60 % 60),
        static_cast<unsigned long long>(second % 60), static_cast<unsigned long long>(timestamp));
    return text;
}

}  // namespace zendro
