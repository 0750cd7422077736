#include "base/log.h"

#include <gtest/gtest.h>

#include "base/result.h"

namespace zendro {
namespace {

TEST(FormatLogLine, OneLineWithUtcTimeProcessContextAndMessage) {
    EXPECT_EQ(FormatLogLine({2026, 1, 2, 3, 4, 5, 6}, 4242, "StartDaemon",
                            "the installer: exited with 1603"),
              "2026-01-02T03:04:05.006Z pid 4242 StartDaemon: the installer: exited with 1603\n");
    // A cause that holds line breaks (a daemon's reply, a system message) stays on its line.
    EXPECT_EQ(FormatLogLine({2026, 12, 31, 23, 59, 59, 999}, 1, "a\nb", "x\r\ny\x7f"),
              "2026-12-31T23:59:59.999Z pid 1 a b: x  y \n");
}

TEST(ShouldRotateLog, OnlyWhenTheLineWouldCarryAFileBeyondTheLimit) {
    EXPECT_FALSE(ShouldRotateLog(0, kLogLimitBytes + 10));  // a single long line still goes in
    EXPECT_FALSE(ShouldRotateLog(kLogLimitBytes - 10, 10));
    EXPECT_TRUE(ShouldRotateLog(kLogLimitBytes - 10, 11));
    EXPECT_TRUE(ShouldRotateLog(kLogLimitBytes * 3, 1));
}

TEST(LogCutBack, KeepsTheNewestWholeLinesOfTheLastHalf) {
    EXPECT_EQ(LogCutBackOffset(kLogLimitBytes * 2 + 7), kLogLimitBytes * 3 / 2 + 7);
    EXPECT_EQ(LogCutBackOffset(kLogLimitBytes / 2), 0u);
    EXPECT_EQ(WholeLinesFrom("ne\nb\nc\n", 9), "b\nc\n");  // the cut line goes
    EXPECT_EQ(WholeLinesFrom("a\nb\n", 0), "a\nb\n");      // the file's start is a line's
    EXPECT_EQ(WholeLinesFrom("no line end", 3), "");
}

struct Redaction {
    const char* item;
    const char* logged;
};
class RedactItemTest : public ::testing::TestWithParam<Redaction> {};

TEST_P(RedactItemTest, KeepsOnlyTheInfoHashOrTheFileName) {
    EXPECT_EQ(RedactItem(GetParam().item), GetParam().logged);
}

INSTANTIATE_TEST_SUITE_P(
    Items, RedactItemTest,
    ::testing::Values(
        Redaction{"magnet:?xt=urn:btih:0123456789ABCDEF0123456789abcdef01234567&dn=Private+Name"
                  "&tr=http%3A%2F%2Ftracker.example%2Fannounce?passkey=secret",
                  "magnet link 0123456789ABCDEF0123456789abcdef01234567"},
        Redaction{"MAGNET:?dn=x&XT=URN:BTIH:ABCDEFGHIJKLMNOPQRSTUVWXYZ234567",
                  "magnet link ABCDEFGHIJKLMNOPQRSTUVWXYZ234567"},
        Redaction{"magnet:?xt=urn:btmh:1220aa&dn=n", "magnet link 1220aa"},
        Redaction{"magnet:?dn=Only+A+Name&tr=udp://t", "magnet link without an info hash"},
        Redaction{"C:\\Users\\Jane Doe\\Secret Plans\\movie.torrent", "file movie.torrent"},
        Redaction{"\\\\server\\share\\dir/a.torrent", "file a.torrent"},
        Redaction{"C:\\folder\\", "an item without a file name"},
        Redaction{"plain", "file plain"}));

TEST(CommandForLog, NamesPlainWordsOnly) {
    EXPECT_EQ(CommandForLog("StartDaemon"), "StartDaemon");
    EXPECT_EQ(CommandForLog(""), "an unreadable command");
    EXPECT_EQ(CommandForLog("Start Daemon"), "an unreadable command");
    EXPECT_EQ(CommandForLog("x\ny"), "an unreadable command");
    EXPECT_EQ(CommandForLog(std::string(41, 'a')), "an unreadable command");
}

TEST(LastLogLines, GivesTheTailOldestFirst) {
    EXPECT_EQ(LastLogLines("a\nb\nc\n", 2), "b\nc");
    EXPECT_EQ(LastLogLines("a\nb\nc", 5), "a\nb\nc");
    EXPECT_EQ(LastLogLines("a\nb\n", 0), "");
    EXPECT_EQ(LastLogLines("", 3), "");
}

TEST(Result, DescribesTheStepAndItsCause) {
    EXPECT_EQ(Result::Ok().Describe(), "");
    EXPECT_TRUE(Result::Ok());
    const Result failed = Result::Failed("session-get to 127.0.0.1:9091", "connection refused");
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Describe(), "session-get to 127.0.0.1:9091: connection refused");
    EXPECT_EQ(Result::Failed("reading the port", "").Describe(), "reading the port");
    EXPECT_EQ(DescribeErrorCode(5, "Access is denied.\r\n"), "Access is denied. (error 5)");
    EXPECT_EQ(DescribeErrorCode(1603, ""), "error 1603");
}

}  // namespace
}  // namespace zendro
