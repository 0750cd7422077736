#include "base/text.h"

#include <gtest/gtest.h>

#include "base/json.h"

namespace zendro {
namespace {

TEST(ReplaceAll, NeverSearchesInsertedText) {
    std::string text = "a\\b\\\\c";
    ReplaceAll(text, "\\", "\\\\");
    EXPECT_EQ(text, "a\\\\b\\\\\\\\c");

    std::string grows = "aaa";
    ReplaceAll(grows, "a", "aa");
    EXPECT_EQ(grows, "aaaaaa");

    std::string commas = "1, 0, 0, 1";
    ReplaceAll(commas, ",", ".");
    EXPECT_EQ(commas, "1. 0. 0. 1");

    std::string unchanged = "abc";
    ReplaceAll(unchanged, "", "x");
    EXPECT_EQ(unchanged, "abc");
}

TEST(DoubleBackslashes, MakesAPathDecodeBackFromJson) {
    const std::string path = "C:\\Users\\u\\Downloads\\Zendro Downloads";
    Json::Value decoded;
    ASSERT_TRUE(ParseJson("{\"text\": \"" + DoubleBackslashes(path) + "\"}", decoded));
    EXPECT_EQ(decoded["text"].asString(), path);
}

TEST(ReadTextMember, ReadsStringsAndBooleansOnly) {
    Json::Value message;
    ASSERT_TRUE(ParseJson(R"({"s":"x","t":true,"f":false,"n":1,"a":[],"o":{},"z":null})", message));
    EXPECT_EQ(ReadTextMember(message, "s"), "x");
    EXPECT_EQ(ReadTextMember(message, "t"), "true");
    EXPECT_EQ(ReadTextMember(message, "f"), "false");
    for (const char* name : {"n", "a", "o", "z", "missing"}) {
        EXPECT_EQ(ReadTextMember(message, name), std::nullopt) << name;
    }
    EXPECT_EQ(ReadTextMember(Json::Value("s"), "s"), std::nullopt);
}

}  // namespace
}  // namespace zendro
