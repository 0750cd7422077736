#include "host/dispatch.h"

#include <cstring>

#include <gtest/gtest.h>

#include "win/json.h"

namespace zendro {
namespace {

class FakeOperations : public Operations {};

std::optional<std::string> DispatchText(const std::string& json) {
    Json::Value message;
    EXPECT_TRUE(ParseJson(json, message)) << json;
    FakeOperations operations;
    return Dispatch(message, operations);
}

TEST(Dispatch, AnswersTheHealthCheck) {
    EXPECT_EQ(DispatchText(R"({"text":"CheckNativeMessagingHost"})"), "1");
    EXPECT_EQ(DispatchText(R"({"text":"CheckNativeMessagingHost","port":[1],"x":{}})"), "1");
}

TEST(Dispatch, StaysSilentForUnknownNames) {
    EXPECT_EQ(DispatchText(R"({"text":"checkNativeMessagingHost"})"), std::nullopt);
    EXPECT_EQ(DispatchText(R"({"text":"CheckNativeMessagingHost "})"), std::nullopt);
    EXPECT_EQ(DispatchText(R"({"text":""})"), std::nullopt);
    EXPECT_EQ(DispatchText(R"({"text":true})"), std::nullopt);  // reads as "true"
}

TEST(Dispatch, TextThatCannotBeReadIsAParseFailure) {
    for (const char* json :
         {R"({})", R"({"text":null})", R"({"text":1})", R"({"text":[]})",
          R"({"text":{"text":"CheckNativeMessagingHost"}})", R"(["CheckNativeMessagingHost"])",
          R"("CheckNativeMessagingHost")", R"(42)", R"(null)"}) {
        EXPECT_EQ(DispatchText(json), kParseFailedReply) << json;
    }
}

TEST(HandleRequest, RepliesParseFailureWhenNoMessageCanBeRead) {
    FakeOperations operations;
    const std::string frame = std::string("\x03\0\0\0abc", 7);
    size_t position = 0;
    const auto reply = HandleRequest(
        [&](char* buffer, size_t size) {
            const size_t count = std::min(size, frame.size() - position);
            std::memcpy(buffer, frame.data() + position, count);
            position += count;
            return count;
        },
        operations);
    EXPECT_EQ(reply, kParseFailedReply);
}

}  // namespace
}  // namespace zendro
