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
    MOCK_METHOD(std::string, DefaultDownloadFolder, (), (override));
    MOCK_METHOD(std::string, SelectDownloadFolder, (), (override));
    MOCK_METHOD(bool, OpenContainingFolder, (const std::string&), (override));
};

std::optional<std::string> DispatchText(const std::string& json) {
    Json::Value message;
    EXPECT_TRUE(ParseJson(json, message)) << json;
    StrictMock<FakeOperations> operations;
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

std::optional<std::string> DispatchWith(Operations& operations, const std::string& json) {
    Json::Value message;
    EXPECT_TRUE(ParseJson(json, message)) << json;
    return Dispatch(message, operations);
}

TEST(Dispatch, PathRepliesHaveEveryBackslashDoubled) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, DefaultDownloadFolder())
        .WillOnce(Return("C:\\Users\\u\\Downloads\\Zendro Downloads"));
    EXPECT_EQ(DispatchWith(operations, R"({"text":"getDefaultDownloadsDirectory"})"),
              "C:\\\\Users\\\\u\\\\Downloads\\\\Zendro Downloads");

    EXPECT_CALL(operations, SelectDownloadFolder())
        .WillOnce(Return("D:\\x"))
        .WillOnce(Return("Cancel"))
        .WillOnce(Return("invalidE:\\y"));
    EXPECT_EQ(DispatchWith(operations, R"({"text":"setDownloadFolder"})"), "D:\\\\x");
    EXPECT_EQ(DispatchWith(operations, R"({"text":"setDownloadFolder"})"), "Cancel");
    EXPECT_EQ(DispatchWith(operations, R"({"text":"setDownloadFolder"})"), "invalidE:\\\\y");
}

TEST(Dispatch, OpenContainingFolderPassesTheDirectoryAndMapsTheOutcome) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, OpenContainingFolder("C:\\d\\f.txt")).WillOnce(Return(true));
    EXPECT_CALL(operations, OpenContainingFolder("true")).WillOnce(Return(false));
    EXPECT_EQ(
        DispatchWith(operations, R"({"text":"openContainingFolder","directory":"C:\\d\\f.txt"})"),
        "success");
    EXPECT_EQ(DispatchWith(operations, R"({"text":"openContainingFolder","directory":true})"),
              "failed");
}

TEST(Dispatch, OpenContainingFolderWithoutADirectoryIsAParseFailure) {
    StrictMock<FakeOperations> operations;  // and nothing is opened
    for (const char* json : {R"({"text":"openContainingFolder"})",
                             R"({"text":"openContainingFolder","directory":null})",
                             R"({"text":"openContainingFolder","directory":5})",
                             R"({"text":"openContainingFolder","directory":["C:\\"]})",
                             R"({"text":"openContainingFolder","Directory":"C:\\"})"}) {
        EXPECT_EQ(DispatchWith(operations, json), kParseFailedReply) << json;
    }
}

TEST(HandleRequest, RepliesParseFailureWhenNoMessageCanBeRead) {
    StrictMock<FakeOperations> operations;
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
