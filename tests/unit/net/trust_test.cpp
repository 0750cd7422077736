#include "net/trust.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"

namespace zendro {
namespace {

// Made by Debian's minisign 0.11 (`minisign -G -W`, then `minisign -S -m hello.txt` over
// "hello\n", its default trusted comment, and once more with `-t 'my comment'`); only the public
// half was kept. The e2e tests sign afresh; these pin the text forms.
constexpr char kKeyLine[] = "RWRRycBBb1Xe9QPRzKHyDLgtvNK7T+ZucRjcOKO5mh0pzVRAk0M+3iG4";
const std::string kPub =
    std::string("untrusted comment: minisign public key F5DE556F41C0C951\n") + kKeyLine + "\n";
constexpr char kComment[] = "timestamp:1796843844\tfile:hello.txt\thashed";
const std::string kSignatureLine =
    "RURRycBBb1Xe9eEXZ5CTQxfnw9Ta8ZvWwqqQaULJu3bJkngk8piI3ohPrGxROvopOrBw3X0CDqR6oH4epjBImiAnWD1Q"
    "WlE1EQM=\n";
const std::string kSig =
    "untrusted comment: signature from minisign secret key\n" + kSignatureLine +
    "trusted comment: " + kComment + "\n" +
    "JiMUUD3jaVjzxWZUxOLL6mYXG4jCDCl3CqS4BsV6y6AsJD3TtiW1P0Oe+2Tl6w0dGiagJZbO52yBht/F/QPZCg==\n";
const std::string kCustomSig =
    "untrusted comment: signature from minisign secret key\n" + kSignatureLine +
    "trusted comment: my comment\n"
    "m7t4KolGxtCq46mjhKQMdgLKIPCG0/8mK6MO4zlPQCrzQBGrjQaO32Ynp9EpLHcGjQ+jpa/8/bsLGsfxIiQiCA==\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    ReplaceAll(text, from, to);
    return text;
}

bool VerifiesHello(const std::string& sig, std::string_view fileName = "hello.txt") {
    const TrustedKeys keys = ParseTrustedKeys(kPub);
    Signature signature;
    if (!ParseSignatureFile(sig, signature)) return false;
    const PublicKey* signer = FindSigner(keys, signature);
    FileHasher hasher;
    hasher.Update(reinterpret_cast<const unsigned char*>("hello\n"), 6);
    return signer != nullptr && VerifySignature(*signer, signature, hasher.Finish(), fileName);
}

TEST(ParseSignatureFile, TakesMinisignsFourLinesInTheirPrehashedFormOnly) {
    const std::string crlf = Replaced(kSig, "\n", "\r\n");
    for (const std::string& good :
         {kSig, crlf, kSig.substr(0, kSig.size() - 1), crlf.substr(0, crlf.size() - 1)}) {
        EXPECT_TRUE(VerifiesHello(good)) << good;
    }
    for (const std::string& bad :
         {std::string(), kSig.substr(0, kSig.find("trusted comment: t")), kSig + "\n",
          Replaced(kSig, "\nRURR", "\nRWRR"),  // legacy "Ed": the file itself was signed
          Replaced(kSig, "untrusted comment: s", "untrusted comment:s"),
          Replaced(kSig, "trusted comment: t", "trusted comment:t"),
          Replaced(kSig, "\thashed", "\rhashed"),
          Replaced(kSig, "\thashed", std::string("\0hashed", 7)),
          Replaced(kSig, "EQM=", "EQN="),  // stray bits after the last byte
          Replaced(kSig, "EQM=", "EQM=="), Replaced(kSig, "\nRURR", "\n RURR"),
          Replaced(kSig, "Cg==\n", "Cg=\n"),
          Replaced(kSig, "hashed", std::string(kMaxSignatureFileBytes, 'c'))}) {
        EXPECT_FALSE(VerifiesHello(bad)) << bad;
    }
}

TEST(VerifySignature, HoldsOnlyForTheFileItsTrustedCommentNames) {
    EXPECT_TRUE(VerifiesHello(kSig, "hello.txt"));
    for (const char* other : {"Hello.txt", "hello.txt.minisig", "hello", "hello.txt ", ""}) {
        EXPECT_FALSE(VerifiesHello(kSig, other)) << other;
    }
    // Signed as it is, but it names no file, so it stands for none.
    EXPECT_FALSE(VerifiesHello(kCustomSig, "hello.txt"));
    EXPECT_FALSE(VerifiesHello(kCustomSig, "my comment"));
}

// What is checked before the file is fetched: the global signature and the file it names.
TEST(VerifyTrustedComment, NeedsTheGenuineCommentNamingTheFile) {
    const TrustedKeys keys = ParseTrustedKeys(kPub);
    Signature signature;
    ASSERT_TRUE(ParseSignatureFile(kSig, signature));
    EXPECT_TRUE(VerifyTrustedComment(keys.keys[0], signature, "hello.txt"));
    EXPECT_FALSE(VerifyTrustedComment(keys.keys[0], signature, "other.txt"));
    Signature renamed = signature;
    ReplaceAll(renamed.trustedComment, "hello.txt", "other.txt");
    EXPECT_FALSE(VerifyTrustedComment(keys.keys[0], renamed, "other.txt"));
}

TEST(SignatureTimestamp, IsTheEarliestTimestampFieldOrZero) {
    for (const auto& [comment, seconds] : {
             std::pair<const char*, uint64_t>{kComment, 1796843844},
             {"file:a.zip\ttimestamp:7", 7},
             {"timestamp:9\ttimestamp:8", 8},
             {"timestamp:18446744073709551615", UINT64_MAX},
             {"timestamp:18446744073709551616", 0},
             {"timestamp:", 0},
             {"timestamp:12x", 0},
             {"timestamp:-1", 0},
             {"timestamp: 5", 0},
             {"timestamp:5\ttimestamp:x", 0},
             {"Timestamp:5", 0},
             {"my comment", 0},
         }) {
        EXPECT_EQ(SignatureTimestamp(comment), seconds) << comment;
    }
}

TEST(DescribeSignatureTime, IsTheUtcTimeAndTheSeconds) {
    EXPECT_EQ(DescribeSignatureTime(1796843844), "2026-12-09T19:17:24Z (timestamp 1796843844)");
    EXPECT_EQ(DescribeSignatureTime(951782400), "2000-02-29T00:00:00Z (timestamp 951782400)");
    EXPECT_EQ(DescribeSignatureTime(0), "no time");
}

TEST(TrustedCommentNamesFile, WantsOneFileFieldNamingExactlyThatFile) {
    for (const char* comment : {"timestamp:1\tfile:a.zip\thashed", "file:a.zip", "x\tfile:a.zip",
                                "file:a.zip\tfile:a.zip"}) {
        EXPECT_TRUE(TrustedCommentNamesFile(comment, "a.zip")) << comment;
    }
    for (const char* comment :
         {"", "a.zip", "ZendroWebHost 1.0.0.2", "timestamp:1\tfile:b.zip\thashed", "file: a.zip",
          "file:a.zip \thashed", "xfile:a.zip", "file:a.zip\tfile:b.zip", "file:b.zip\tfile:a.zip",
          "timestamp:1 file:a.zip hashed", "file:"}) {
        EXPECT_FALSE(TrustedCommentNamesFile(comment, "a.zip")) << comment;
    }
    EXPECT_FALSE(TrustedCommentNamesFile("file:", ""));
}

TEST(SignedFileName, IsTheLastPathSegmentOrNothingWhenThatIsUnsure) {
    struct Case {
        const char* url;
        const char* name;
    };
    for (const Case& c : std::vector<Case>{
             {"http://h/files/ferl/ZendroWebDaemonSetup.exe", "ZendroWebDaemonSetup.exe"},
             {"https://h:8443/a//ZendroWebHost.zip", "ZendroWebHost.zip"},
             {"http://h/Zendro%20Web%2bHost.zip", "Zendro Web+Host.zip"},
             {"http://h/caf%C3%A9.zip", "caf\xC3\xA9.zip"},
             {"http://h/x/../a.zip", "a.zip"},
             {"http://h/a.zip?v=2", ""},  // the signature's URL would be "...?v=2.minisig"
             {"http://h/a.zip#top", ""},
             {"http://h/?/a.zip", ""},
             {"http://h/files/", ""},
             {"http://h", ""},
             {"http://h/a.zip/.", ""},
             {"http://h/a.zip/..", ""},
             {"http://h/a.zip/%2e%2E", ""},
             {"http://h/a%2Fb.zip", ""},
             {"http://h/a%5cb.zip", ""},
             {"http://h/a%09b.zip", ""},
             {"http://h/a%00.zip", ""},
             {"http://h/a%zz.zip", ""},
             {"http://h/a.zip%2", ""},
             {"http://h/a b.zip", ""},
             {"http://h/a\\b.zip", ""},
             {"/files/a.zip", ""},
             {"://h/a.zip", ""},
         }) {
        EXPECT_EQ(SignedFileName(c.url), c.name) << c.url;
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
