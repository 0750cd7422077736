#include "net/trust.h"

#include <string>

#include <gtest/gtest.h>

#include "win/text.h"

namespace zendro {
namespace {

// Made by Debian's minisign 0.11: `minisign -G -W`, then `minisign -S -t 'my comment'` over
// "hello\n". Only the public half was kept.
constexpr char kMinisignPub[] =
    "untrusted comment: minisign public key 56B187E7284DF707\n"
    "RWQH900o54exVj26eh6zW+dfGwRjOul22V2w/UeqUqCipmm/mXPJCWIF\n";
constexpr char kMinisignSig[] =
    "untrusted comment: signature from minisign secret key\n"
    "RUQH900o54exVtyC9INC8zoJWfIqTUT5egpMw6pKvGoGHzjIinhIn9jqjQwr39fmVRspExxJJCMkGtfoMHcBPovn/"
    "uFkSF3rgQw=\n"
    "trusted comment: my comment\n"
    "s8b1PrkIy6SMv2g+TQ//eMUZ9CQpXH9pOSZcoEk4HRTp9WpaWhyZrqC+IGjIVj+IOHhGfnfWIredbnYdFVAgCQ==\n";
constexpr char kKeyLine[] = "RWQH900o54exVj26eh6zW+dfGwRjOul22V2w/UeqUqCipmm/mXPJCWIF";

FileDigest DigestOf(const std::string& content) {
    FileHasher hasher;
    for (const char c : content) hasher.Update(reinterpret_cast<const unsigned char*>(&c), 1);
    return hasher.Finish();
}

bool Verifies(const std::string& pub, const std::string& sig, const std::string& content) {
    Signature signature;
    if (!ParseSignatureFile(sig, signature)) return false;
    const TrustedKeys keys = ParseTrustedKeys(pub);
    const PublicKey* signer = FindSigner(keys, signature);
    return signer != nullptr && VerifySignature(*signer, signature, DigestOf(content));
}

std::string Base64(const std::string& bytes) {
    std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(),
                      reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();  // its NUL
    return text;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

std::string WithCrLf(std::string text) {
    ReplaceAll(text, "\n", "\r\n");
    return text;
}

TEST(Trust, AcceptsMinisignsOwnSignatureOfTheSameBytesOnly) {
    EXPECT_TRUE(Verifies(kMinisignPub, kMinisignSig, "hello\n"));
    EXPECT_TRUE(Verifies(kMinisignPub, WithCrLf(kMinisignSig), "hello\n"));
    const std::string sig = kMinisignSig;
    EXPECT_TRUE(Verifies(kMinisignPub, sig.substr(0, sig.size() - 1), "hello\n"));  // no last LF
    EXPECT_TRUE(Verifies(kMinisignPub, WithCrLf(sig).substr(0, sig.size() + 3), "hello\n"));
    EXPECT_FALSE(Verifies(kMinisignPub, kMinisignSig, "hellp\n"));
    EXPECT_FALSE(
        Verifies(kMinisignPub, Replaced(kMinisignSig, "my comment", "my commenu"), "hello\n"));
}

TEST(Trust, OnlyAKeyWithTheSignaturesIdAndItsOwnKeyBytesVerifies) {
    // Another key under the same id: the id picks it, its key bytes refuse the signature.
    PublicKey impostor;
    ASSERT_TRUE(ParsePublicKey(kKeyLine, impostor));
    impostor.key[0] ^= 1;
    const PublicKey otherId{{1, 2, 3, 4, 5, 6, 7, 8}, {}};
    Signature signature;
    ASSERT_TRUE(ParseSignatureFile(kMinisignSig, signature));
    const TrustedKeys keys{TrustedKeys::Mode::kVerify, {otherId, impostor}};
    ASSERT_EQ(FindSigner(keys, signature), &keys.keys[1]);
    EXPECT_FALSE(VerifySignature(impostor, signature, DigestOf("hello\n")));
    const TrustedKeys strangers{TrustedKeys::Mode::kVerify, {otherId}};
    EXPECT_EQ(FindSigner(strangers, signature), nullptr);
}

struct KeysCase {
    std::string text;
    TrustedKeys::Mode mode;
    size_t count;
};

class ParseTrustedKeysTest : public ::testing::TestWithParam<KeysCase> {};

TEST_P(ParseTrustedKeysTest, ReadsKeyLinesAndRefusesAllOnAnyBadOne) {
    const TrustedKeys keys = ParseTrustedKeys(GetParam().text);
    EXPECT_EQ(keys.mode, GetParam().mode);
    EXPECT_EQ(keys.keys.size(), GetParam().count);
}

const std::string kKey = kKeyLine;
using Mode = TrustedKeys::Mode;
INSTANTIATE_TEST_SUITE_P(
    Trust, ParseTrustedKeysTest,
    ::testing::Values(
        KeysCase{"", Mode::kUnverified, 0},
        KeysCase{"# no keys yet\n\n  \r\nuntrusted comment: x\n", Mode::kUnverified, 0},
        KeysCase{kMinisignPub, Mode::kVerify, 1},
        KeysCase{"\xEF\xBB\xBF" + WithCrLf(kMinisignPub) + kMinisignPub, Mode::kVerify, 2},
        KeysCase{" \t" + kKey + " ", Mode::kVerify, 1},
        KeysCase{kKey + "\nnot a key\n", Mode::kRefuseAll, 0},
        KeysCase{kKey.substr(0, 55), Mode::kRefuseAll, 0},                  // cut short
        KeysCase{kKey + "A", Mode::kRefuseAll, 0},                          // too long
        KeysCase{"RU" + kKey.substr(2), Mode::kRefuseAll, 0},               // algorithm "ED"
        KeysCase{Replaced(kKey, "+", "-"), Mode::kRefuseAll, 0},            // URL alphabet
        KeysCase{Replaced(kKey, "zW", "z W"), Mode::kRefuseAll, 0},         // blank inside
        KeysCase{"untrusted comment\n" + kKey, Mode::kRefuseAll, 0},        // no colon
        KeysCase{Base64("Ed" + std::string(48, 'k')), Mode::kRefuseAll, 0}  // a secret key's size
        ));

class ParseSignatureFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ParseSignatureFileTest, RefusesWhatMinisignWouldNotHaveWritten) {
    Signature signature;
    signature.trustedComment = "kept";
    EXPECT_FALSE(ParseSignatureFile(GetParam(), signature));
    EXPECT_EQ(signature.trustedComment, "kept");
}

const std::string kSig = kMinisignSig;
INSTANTIATE_TEST_SUITE_P(
    Trust, ParseSignatureFileTest,
    ::testing::Values(
        "", "\n\n\n\n", kSig.substr(0, kSig.find("trusted comment: my")),  // fewer lines
        kSig + "\n",                                                       // a fifth line
        Replaced(kSig, "\nRUQH", "\nRWQH"),  // legacy "Ed": signs the file, not its digest
        Replaced(kSig, "untrusted comment: s", "untrusted comment:s"),
        Replaced(kSig, "untrusted comment: s", "# s"), Replaced(kSig, "trusted comment: my", "my"),
        Replaced(kSig, "trusted comment: my", "trusted comment:my"),
        Replaced(kSig, "my comment", "my\rcomment"),
        Replaced(kSig, "my comment", std::string("my\0comment", 10)), Replaced(kSig, "gQw=", "gQw"),
        Replaced(kSig, "gQw=", "gQx="), Replaced(kSig, "gQw=", "gQw=="),
        Replaced(kSig, "RUQH", " RUQH"), Replaced(kSig, "\ns8b1", "\ns8b"),
        Replaced(kSig, "CQ==\n", "CQ=\n"),
        Replaced(kSig, "my comment", std::string(kMaxSignatureFileBytes, 'c'))));

TEST(FileHasher, PiecesGiveTheDigestOfTheWhole) {
    const std::string content(200000, 'z');
    FileDigest whole{};
    crypto_generichash(whole.data(), whole.size(),
                       reinterpret_cast<const unsigned char*>(content.data()), content.size(),
                       nullptr, 0);
    FileHasher hasher;
    hasher.Update(reinterpret_cast<const unsigned char*>(content.data()), 65536);
    hasher.Update(reinterpret_cast<const unsigned char*>(content.data()) + 65536, 0);
    hasher.Update(reinterpret_cast<const unsigned char*>(content.data()) + 65536, 134464);
    EXPECT_EQ(hasher.Finish(), whole);
}

}  // namespace
}  // namespace zendro
