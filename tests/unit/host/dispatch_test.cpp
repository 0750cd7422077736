#include "host/dispatch.h"

#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "win/json.h"

namespace zendro {
namespace {

using ::testing::Return;
using ::testing::StrictMock;

class FakeOperations : public Operations {
  public:
    MOCK_METHOD(bool, CheckDefaultApplication, (), (override));
    MOCK_METHOD(bool, SetDefaultApplication, (), (override));
    MOCK_METHOD(void, UnsetDefaultApplication, (), (override));
};

// Any call an expectation does not name fails the test.
using StrictOperations = StrictMock<FakeOperations>;

std::optional<std::string> DispatchWith(Operations& operations, const std::string& json) {
    Json::Value message;
    EXPECT_TRUE(ParseJson(json, message)) << json;
    return Dispatch(message, operations);
}

std::optional<std::string> DispatchText(const std::string& json) {
    StrictOperations operations;
    return DispatchWith(operations, json);
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

TEST(Dispatch, AnswersTheAssociationCheck) {
    StrictOperations operations;
    EXPECT_CALL(operations, CheckDefaultApplication())
        .WillOnce(Return(true))
        .WillOnce(Return(false));
    EXPECT_EQ(DispatchWith(operations, R"({"text":"checkDefaultApplication"})"), "set");
    EXPECT_EQ(DispatchWith(operations, R"({"text":"checkDefaultApplication"})"), "unset");
}

TEST(Dispatch, ReportsWhetherTheAssociationWasWritten) {
    StrictOperations operations;
    EXPECT_CALL(operations, SetDefaultApplication()).WillOnce(Return(true)).WillOnce(Return(false));
    EXPECT_EQ(DispatchWith(operations, R"({"text":"setDefaultApplication"})"), "success");
    EXPECT_EQ(DispatchWith(operations, R"({"text":"setDefaultApplication"})"), "failed");
}

TEST(Dispatch, RemovingTheAssociationAlwaysSucceeds) {
    StrictOperations operations;
    EXPECT_CALL(operations, UnsetDefaultApplication()).Times(1);
    EXPECT_EQ(DispatchWith(operations, R"({"text":"unsetDefaultApplication","x":1})"), "success");
}

TEST(Dispatch, AssociationNamesInOtherLetterCaseCallNothing) {
    StrictOperations operations;  // strict: any call fails
    for (const char* json :
         {R"({"text":"CheckDefaultApplication"})", R"({"text":"SetDefaultApplication"})",
          R"({"text":"unsetdefaultapplication"})", R"({"text":"setDefaultApplication "})"}) {
        EXPECT_EQ(DispatchWith(operations, json), std::nullopt) << json;
    }
}

TEST(HandleRequest, RepliesParseFailureWhenNoMessageCanBeRead) {
    StrictOperations operations;
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
