#include "host/dispatch.h"

#include <cstring>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/json.h"

namespace zendro {
namespace {

using ::testing::Return;
using ::testing::StrictMock;

class FakeOperations : public Operations {
  public:
    MOCK_METHOD(std::string, ReadDaemonPort, (), (override));
    MOCK_METHOD(std::string, GetListeningPort, (), (override));
    MOCK_METHOD(std::string, StartDaemon, (const std::string&), (override));
    MOCK_METHOD(std::string, DefaultDownloadFolder, (), (override));
    MOCK_METHOD(std::string, SelectDownloadFolder, (), (override));
    MOCK_METHOD(bool, OpenContainingFolder, (const std::string&), (override));
    MOCK_METHOD(bool, CheckDefaultApplication, (), (override));
    MOCK_METHOD(bool, SetDefaultApplication, (), (override));
    MOCK_METHOD(void, UnsetDefaultApplication, (), (override));
    MOCK_METHOD(void, RunSelfUpdate, (), (override));
};

std::optional<std::string> DispatchText(const std::string& json) {
    Json::Value message;
    EXPECT_TRUE(ParseJson(json, message)) << json;
    StrictMock<FakeOperations> operations;  // no operation may run unasked
    return Dispatch(message, operations);
}

std::optional<std::string> DispatchText(const std::string& json, Operations& operations) {
    Json::Value message;
    EXPECT_TRUE(ParseJson(json, message)) << json;
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

TEST(Dispatch, PortCommandsReplyWithTheOperationsResultUnchanged) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, ReadDaemonPort()).WillOnce(Return("9091")).WillOnce(Return(""));
    EXPECT_EQ(DispatchText(R"({"text":"ReadDaemonPort"})", operations), "9091");
    EXPECT_EQ(DispatchText(R"({"text":"ReadDaemonPort","port":"1"})", operations), "");

    EXPECT_CALL(operations, GetListeningPort()).WillOnce(Return("9102"));
    EXPECT_EQ(DispatchText(R"({"text":"GetListeningPort"})", operations), "9102");
}

TEST(Dispatch, PortCommandNamesAreMatchedExactly) {
    for (const char* json : {R"({"text":"readDaemonPort"})", R"({"text":"ReadDaemonPort "})",
                             R"({"text":"getListeningPort"})", R"({"text":"GETLISTENINGPORT"})"}) {
        EXPECT_EQ(DispatchText(json), std::nullopt) << json;
    }
}

TEST(Dispatch, UpdateRunsTheSelfUpdateAndRepliesWithTheEmptyText) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, RunSelfUpdate()).Times(2);
    EXPECT_EQ(DispatchText(R"({"text":"UpdateNativeHost"})", operations), "");
    EXPECT_EQ(DispatchText(R"({"text":"UpdateNativeHost","directory":"C:\\"})", operations), "");
    for (const char* json : {R"({"text":"updateNativeHost"})", R"({"text":"UpdateNativeHost "})"}) {
        EXPECT_EQ(DispatchText(json), std::nullopt) << json;
    }
}

TEST(Dispatch, StartDaemonPassesThePortAndRepliesWithTheOutcome) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, StartDaemon("9093")).WillOnce(Return("started"));
    EXPECT_CALL(operations, StartDaemon("9091 -Dx=y")).WillOnce(Return("failed"));
    EXPECT_CALL(operations, StartDaemon("true")).WillOnce(Return("failed"));
    EXPECT_EQ(DispatchText(R"({"text":"StartDaemon","port":"9093"})", operations), "started");
    EXPECT_EQ(DispatchText(R"({"text":"StartDaemon","port":"9091 -Dx=y"})", operations), "failed");
    EXPECT_EQ(DispatchText(R"({"text":"StartDaemon","port":true})", operations), "failed");
}

TEST(Dispatch, ArgumentsThatCannotBeReadAreParseFailures) {
    // The strict fake fails the test if anything is started or opened.
    for (const char* json :
         {R"({"text":"StartDaemon"})", R"({"text":"StartDaemon","port":null})",
          R"({"text":"StartDaemon","port":9091})", R"({"text":"StartDaemon","Port":"9091"})",
          R"({"text":"openContainingFolder"})",
          R"({"text":"openContainingFolder","directory":null})",
          R"({"text":"openContainingFolder","directory":5})",
          R"({"text":"openContainingFolder","directory":["C:\\"]})",
          R"({"text":"openContainingFolder","Directory":"C:\\"})"}) {
        EXPECT_EQ(DispatchText(json), kParseFailedReply) << json;
    }
}

TEST(Dispatch, PathRepliesHaveEveryBackslashDoubled) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, DefaultDownloadFolder())
        .WillOnce(Return("C:\\Users\\u\\Downloads\\Zendro Downloads"));
    EXPECT_EQ(DispatchText(R"({"text":"getDefaultDownloadsDirectory"})", operations),
              "C:\\\\Users\\\\u\\\\Downloads\\\\Zendro Downloads");

    EXPECT_CALL(operations, SelectDownloadFolder())
        .WillOnce(Return("D:\\x"))
        .WillOnce(Return("Cancel"))
        .WillOnce(Return("invalidE:\\y"));
    EXPECT_EQ(DispatchText(R"({"text":"setDownloadFolder"})", operations), "D:\\\\x");
    EXPECT_EQ(DispatchText(R"({"text":"setDownloadFolder"})", operations), "Cancel");
    EXPECT_EQ(DispatchText(R"({"text":"setDownloadFolder"})", operations), "invalidE:\\\\y");
}

TEST(Dispatch, OpenContainingFolderPassesTheDirectoryAndMapsTheOutcome) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, OpenContainingFolder("C:\\d\\f.txt")).WillOnce(Return(true));
    EXPECT_CALL(operations, OpenContainingFolder("true")).WillOnce(Return(false));
    EXPECT_EQ(
        DispatchText(R"({"text":"openContainingFolder","directory":"C:\\d\\f.txt"})", operations),
        "success");
    EXPECT_EQ(DispatchText(R"({"text":"openContainingFolder","directory":true})", operations),
              "failed");
}

TEST(Dispatch, FolderCommandNamesAreMatchedExactly) {
    for (const char* json :
         {R"({"text":"startDaemon","port":"1"})", R"({"text":"GetDefaultDownloadsDirectory"})",
          R"({"text":"OpenContainingFolder","directory":"C:\\"})",
          R"({"text":"SetDownloadFolder"})"}) {
        EXPECT_EQ(DispatchText(json), std::nullopt) << json;
    }
}

TEST(Dispatch, AnswersTheAssociationCheck) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, CheckDefaultApplication())
        .WillOnce(Return(true))
        .WillOnce(Return(false));
    EXPECT_EQ(DispatchText(R"({"text":"checkDefaultApplication"})", operations), "set");
    EXPECT_EQ(DispatchText(R"({"text":"checkDefaultApplication"})", operations), "unset");
}

TEST(Dispatch, ReportsWhetherTheAssociationWasWritten) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, SetDefaultApplication()).WillOnce(Return(true)).WillOnce(Return(false));
    EXPECT_EQ(DispatchText(R"({"text":"setDefaultApplication"})", operations), "success");
    EXPECT_EQ(DispatchText(R"({"text":"setDefaultApplication"})", operations), "failed");
}

TEST(Dispatch, RemovingTheAssociationAlwaysSucceeds) {
    StrictMock<FakeOperations> operations;
    EXPECT_CALL(operations, UnsetDefaultApplication()).Times(1);
    EXPECT_EQ(DispatchText(R"({"text":"unsetDefaultApplication","x":1})", operations), "success");
}

TEST(Dispatch, AssociationNamesAreMatchedExactly) {
    for (const char* json :
         {R"({"text":"CheckDefaultApplication"})", R"({"text":"SetDefaultApplication"})",
          R"({"text":"unsetdefaultapplication"})", R"({"text":"setDefaultApplication "})"}) {
        EXPECT_EQ(DispatchText(json), std::nullopt) << json;
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

TEST(OwedReply, IsWhatEachCommandAnswersWhenItFails) {
    struct Case {
        std::string json;
        std::optional<std::string> owed;
    };
    for (const Case& c :
         std::vector<Case>{{R"({"text":"UpdateNativeHost"})", ""},
                           {R"({"text":"StartDaemon","port":"9091"})", "failed"},
                           {R"({"text":"ReadDaemonPort"})", ""},
                           {R"({"text":"GetListeningPort"})", ""},
                           {R"({"text":"checkDefaultApplication"})", "unset"},
                           {R"({"text":"setDefaultApplication"})", "failed"},
                           {R"({"text":"openContainingFolder","directory":"C:\\x"})", "failed"},
                           {R"({"text":"setDownloadFolder"})", "Cancel"},
                           {R"({"text":"CheckNativeMessagingHost"})", "1"},
                           {R"({"text":"nothing"})", std::nullopt}}) {
        Json::Value message;
        ASSERT_TRUE(ParseJson(c.json, message)) << c.json;
        EXPECT_EQ(OwedReply(message), c.owed) << c.json;
    }
}

}  // namespace
}  // namespace zendro
