#include "net/trust.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "win/text.h"

namespace zendro {
namespace {

// Made by Debian's minisign 0.11 (`minisign -G -W`, then `minisign -S -t 'my comment'` over
// "hello\n"); only the public half was kept. The e2e tests sign afresh; these pin the text forms.
constexpr char kKeyLine[] = "RWQH900o54exVj26eh6zW+dfGwRjOul22V2w/UeqUqCipmm/mXPJCWIF";
const std::string kPub =
    std::string("untrusted comment: minisign public key 56B187E7284DF707\n") + kKeyLine + "\n";
const std::string kSig =
    "untrusted comment: signature from minisign secret key\n"
    "RUQH900o54exVtyC9INC8zoJWfIqTUT5egpMw6pKvGoGHzjIinhIn9jqjQwr39fmVRspExxJJCMkGtfoMHcBPovn/"
    "uFkSF3rgQw=\n"
    "trusted comment: my comment\n"
    "s8b1PrkIy6SMv2g+TQ//eMUZ9CQpXH9pOSZcoEk4HRTp9WpaWhyZrqC+IGjIVj+IOHhGfnfWIredbnYdFVAgCQ==\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    ReplaceAll(text, from, to);
    return text;
}

bool VerifiesHello(const std::string& sig) {
    const TrustedKeys keys = ParseTrustedKeys(kPub);
    Signature signature;
    if (!ParseSignatureFile(sig, signature)) return false;
    const PublicKey* signer = FindSigner(keys, signature);
    FileHasher hasher;
    hasher.Update(reinterpret_cast<const unsigned char*>("hello\n"), 6);
    return signer != nullptr && VerifySignature(*signer, signature, hasher.Finish());
}

TEST(ParseSignatureFile, TakesMinisignsFourLinesInTheirPrehashedFormOnly) {
    const std::string crlf = Replaced(kSig, "\n", "\r\n");
    for (const std::string& good :
         {kSig, crlf, kSig.substr(0, kSig.size() - 1), crlf.substr(0, crlf.size() - 1)}) {
        EXPECT_TRUE(VerifiesHello(good)) << good;
    }
    for (const std::string& bad :
         {std::string(), kSig.substr(0, kSig.find("trusted comment: my")), kSig + "\n",
          Replaced(kSig, "\nRUQH", "\nRWQH"),  // legacy "Ed": the file itself was signed
          Replaced(kSig, "untrusted comment: s", "untrusted comment:s"),
          Replaced(kSig, "trusted comment: my", "trusted comment:my"),
          Replaced(kSig, "my comment", "my\rcomment"),
          Replaced(kSig, "my comment", std::string("my\0comment", 10)),
          Replaced(kSig, "gQw=", "gQx="),  // stray bits after the last byte
          Replaced(kSig, "gQw=", "gQw=="), Replaced(kSig, "\nRUQH", "\n RUQH"),
          Replaced(kSig, "CQ==\n", "CQ=\n"),
          Replaced(kSig, "my comment", std::string(kMaxSignatureFileBytes, 'c'))}) {
        EXPECT_FALSE(VerifiesHello(bad)) << bad;
    }
}

TEST(ParseTrustedKeys, ReadsKeyLinesAndRefusesEverythingOnAnyOtherLine) {
    using Mode = TrustedKeys::Mode;
    struct Case {
        std::string text;
        Mode mode;
        size_t count;
    };
    const std::string key = kKeyLine;
    for (const Case& c : std::vector<Case>{
             {"", Mode::kUnverified, 0},
             {"# none yet\n\n \t\r\nuntrusted comment: x\n", Mode::kUnverified, 0},
             {"\xEF\xBB\xBF" + Replaced(kPub, "\n", "\r\n") + " " + key + "\t", Mode::kVerify, 2},
             {key + "\nnot a key\n", Mode::kRefuseAll, 0},
             {key.substr(0, 55), Mode::kRefuseAll, 0},
             {key + "A", Mode::kRefuseAll, 0},
             {"RU" + key.substr(2), Mode::kRefuseAll, 0},  // algorithm "ED"
             {Replaced(key, "+", "-"), Mode::kRefuseAll, 0},
             {"untrusted comment\n" + key, Mode::kRefuseAll, 0}}) {
        const TrustedKeys keys = ParseTrustedKeys(c.text);
        EXPECT_EQ(keys.mode, c.mode) << c.text;
        EXPECT_EQ(keys.keys.size(), c.count) << c.text;
    }
}

}  // namespace
}  // namespace zendro
