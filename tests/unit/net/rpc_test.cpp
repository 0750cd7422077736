#include "net/rpc.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/json.h"

namespace zendro {
namespace {

std::string Base64Of(const std::string& bytes) {
    return EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// An independent decoder: the inverse of what RFC 4648 says, strict about padding and alphabet.
bool DecodeBase64(const std::string& text, std::string& bytes) {
    if (text.size() % 4 != 0) return false;
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 4) {
        unsigned group = 0;
        int padding = 0;
        for (size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            unsigned value = 0;
            if (c == '=') {
                if (i + 4 != text.size() || j < 2) return false;
                ++padding;
            } else {
                if (padding > 0) return false;
                const size_t found = alphabet.find(c);
                if (found == std::string::npos) return false;
                value = static_cast<unsigned>(found);
            }
            group = group << 6 | value;
        }
        bytes += static_cast<char>(group >> 16 & 0xFF);
        if (padding < 2) bytes += static_cast<char>(group >> 8 & 0xFF);
        if (padding < 1) bytes += static_cast<char>(group & 0xFF);
    }
    return true;
}

TEST(EncodeBase64, KnownTexts) {
    EXPECT_EQ(Base64Of(""), "");
    EXPECT_EQ(Base64Of("a"), "YQ==");
    EXPECT_EQ(Base64Of("ab"), "YWI=");
    EXPECT_EQ(Base64Of("abc"), "YWJj");
    EXPECT_EQ(Base64Of("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Of("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Of(std::string("\xfb\xff\xbf", 3)), "+/+/");
    EXPECT_EQ(Base64Of(std::string("\0\0\0\0", 4)), "AAAAAA==");
}

TEST(EncodeBase64, EveryRemainderLengthDecodesBack) {
    std::mt19937 random(42);
    for (size_t length = 0; length <= 64; ++length) {
        std::string bytes(length, '\0');
        for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
        const std::string text = Base64Of(bytes);
        EXPECT_EQ(text.size(), (length + 2) / 3 * 4) << length;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        std::string decoded;
        ASSERT_TRUE(DecodeBase64(text, decoded)) << text;
        EXPECT_EQ(decoded, bytes) << length;
    }
}

TEST(EncodeBase64, MultiMegabyteInputDecodesBack) {
    std::string bytes(5 * 1024 * 1024 + 1, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + (i >> 11));
    std::string decoded;
    ASSERT_TRUE(DecodeBase64(Base64Of(bytes), decoded));
    EXPECT_TRUE(decoded == bytes);
}

TEST(RpcBodies, HaveTheExactBytes) {
    EXPECT_STREQ(kSessionGetBody, R"({"method":"session-get"})");
    const unsigned char abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(BuildTorrentAddByMetainfo(abc, 3),
              R"({"arguments":{"metainfo":"YWJj"},"method":"torrent-add"})");
    const std::string link =
        "magnet:?xt=urn:btih:c12fe1c06bba254a9dc9f519b335aa7c1367a88a&dn=Some+File%20"
        "name&tr=http%3A%2F%2Ftracker.example%3A80%2Fannounce&x.pe=1.2.3.4:5";
    EXPECT_EQ(BuildTorrentAddByFilename(link),
              R"({"arguments":{"filename":")" + link + R"("},"method":"torrent-add"})");
    const std::string unicode = "magnet:?xt=urn:btih:00&dn=\xC3\xA9t\xC3\xA9/\xE2\x82\xAC";
    EXPECT_EQ(BuildTorrentAddByFilename(unicode),
              R"({"arguments":{"filename":")" + unicode + R"("},"method":"torrent-add"})");
}

TEST(RpcBodies, ALinkCannotAddMembersOfItsOwn) {
    for (const std::string& link :
         {std::string(R"(magnet:?xt=urn:btih:00&dn=a","download-dir":"C:\\Windows)"),
          std::string(R"(magnet:?dn=\"},"method":"session-set"})"),
          std::string("magnet:?dn=line\r\nbreak\ttab\x01\x1f"), std::string("magnet\\"),
          std::string("\"")}) {
        Json::Value root;
        ASSERT_TRUE(ParseJson(BuildTorrentAddByFilename(link), root)) << link;
        EXPECT_EQ(root.getMemberNames(), (std::vector<std::string>{"arguments", "method"}));
        EXPECT_EQ(root["method"].asString(), "torrent-add");
        EXPECT_EQ(root["arguments"].getMemberNames(), std::vector<std::string>{"filename"});
        EXPECT_EQ(root["arguments"]["filename"].asString(), link);
    }
}

TEST(RpcEndpoint, IsTheDaemonsRpcPath) {
    EXPECT_EQ(RpcEndpoint("51234"), "http://127.0.0.1:51234/transmission/rpc");
}

TEST(JudgeRpcReply, AJsonReplyNeedsTheResultSuccess) {
    const std::string add = BuildTorrentAddByFilename("magnet:?xt=1");
    for (const std::string& body : {std::string(kSessionGetBody), add}) {
        EXPECT_TRUE(JudgeRpcReply(R"({"result":"success"})", body));
        EXPECT_TRUE(JudgeRpcReply(R"({"arguments":{},"result":"success","tag":1})", body));
        for (const char* reply :
             {R"({"result":"Success"})", R"({"result":"success "})", R"({"result":"duplicate"})",
              R"({"result":""})", R"({"result":null})", R"({})", R"({"result":1})",
              R"({"result":true})", R"({"result":["success"]})", R"({"result":{"a":"success"}})",
              R"(["success"])", R"("success")", R"(42)", R"({"arguments":{"result":"success"}})"}) {
            EXPECT_FALSE(JudgeRpcReply(reply, body)) << reply;
        }
    }
}

TEST(JudgeRpcReply, AReplyThatIsNotJsonPassesOnlyForSessionGet) {
    const std::string refusal = "<h1>409: Conflict</h1><p>Your request had an invalid session-id";
    for (const std::string& reply : {refusal, std::string(""), std::string("{\"result\":")}) {
        EXPECT_TRUE(JudgeRpcReply(reply, kSessionGetBody)) << reply;
        EXPECT_FALSE(JudgeRpcReply(reply, BuildTorrentAddByFilename("magnet:?xt=1"))) << reply;
        EXPECT_FALSE(JudgeRpcReply(reply, std::string(kSessionGetBody) + " ")) << reply;
        EXPECT_FALSE(JudgeRpcReply(reply, R"({"method":"Session-get"})")) << reply;
    }
}

}  // namespace
}  // namespace zendro
