#include "host/channel.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace zendro {
namespace {

// A stream over fixed bytes that hands them out at most `step` bytes per read, as a pipe may.
struct FakeStream {
    std::string bytes;
    size_t step = SIZE_MAX;
    size_t position = 0;
    size_t total_requested = 0;

    ByteReader Reader() {
        return [this](char* buffer, size_t size) {
            total_requested += size;
            const size_t count = std::min({size, step, bytes.size() - position});
            std::memcpy(buffer, bytes.data() + position, count);
            position += count;
            return count;
        };
    }
};

std::string Frame(const std::string& body) {
    std::string frame;
    const uint32_t length = static_cast<uint32_t>(body.size());
    for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>(length >> shift));
    return frame + body;
}

TEST(ReadMessage, ParsesOneFrameEvenWhenItArrivesByteByByte) {
    FakeStream stream{Frame(R"({"text":"CheckNativeMessagingHost","extra":[1,2]})"), 1};
    const auto message = ReadMessage(stream.Reader());
    ASSERT_TRUE(message);
    EXPECT_EQ((*message)["text"].asString(), "CheckNativeMessagingHost");
}

TEST(ReadMessage, ReadsOnlyItsOwnFrame) {
    FakeStream stream{Frame(R"({"text":"a"})") + Frame(R"({"text":"b"})")};
    const auto message = ReadMessage(stream.Reader());
    ASSERT_TRUE(message);
    EXPECT_EQ((*message)["text"].asString(), "a");
    EXPECT_EQ(stream.position, 4 + std::strlen(R"({"text":"a"})"));
}

TEST(ReadMessage, FailsOnMissingOrEmptyFrames) {
    FakeStream closed{""};
    EXPECT_FALSE(ReadMessage(closed.Reader()));

    FakeStream short_header{std::string("\x05\x00", 2)};
    EXPECT_FALSE(ReadMessage(short_header.Reader()));

    // A zero length fails without touching the body.
    FakeStream zero{std::string(4, '\0') + R"({"text":"x"})"};
    EXPECT_FALSE(ReadMessage(zero.Reader()));
    EXPECT_EQ(zero.position, 4u);
}

TEST(ReadMessage, AShortHeaderReadsAsTheBytesThatCame) {
    // Two header bytes, then the end: the length reads as 0x227B and no body follows.
    FakeStream stream{std::string("{\"", 2)};
    EXPECT_FALSE(ReadMessage(stream.Reader()));
}

TEST(ReadMessage, FailsOnBodiesThatAreNotJson) {
    for (const std::string body : {"not json", R"({"text":"cut)", "{", "", "\"unterminated"}) {
        FakeStream stream{Frame(body)};
        EXPECT_FALSE(ReadMessage(stream.Reader())) << body;
    }
}

TEST(ReadMessage, TheTextEndsAtTheFirstZeroByte) {
    FakeStream cut_inside{Frame(std::string("{\"text\":\"a\0\"}", 13))};
    EXPECT_FALSE(ReadMessage(cut_inside.Reader()));

    FakeStream cut_after{Frame(std::string("{\"text\":\"a\"}\0garbage", 20))};
    const auto message = ReadMessage(cut_after.Reader());
    ASSERT_TRUE(message);
    EXPECT_EQ((*message)["text"].asString(), "a");
}

TEST(ReadMessage, AShortBodyIsParsedAsFarAsItCame) {
    // The length claims more than arrives: the missing bytes read as zero.
    const std::string body = R"({"text":"x"})";
    std::string bytes = Frame(body);
    bytes[0] = static_cast<char>(body.size() + 100);
    FakeStream stream{bytes};
    const auto message = ReadMessage(stream.Reader());
    ASSERT_TRUE(message);
    EXPECT_EQ((*message)["text"].asString(), "x");
}

TEST(ReadMessage, HugeLengthsNeitherCrashNorAllocateWhatNeverArrives) {
    FakeStream largest{std::string("\xFF\xFF\xFF\xFF", 4) + R"({"text":"x"})"};
    EXPECT_FALSE(ReadMessage(largest.Reader()));  // its successor does not fit in 32 bits
    EXPECT_EQ(largest.position, 4u);

    FakeStream near_four_gib{std::string("\xFE\xFF\xFF\xFF", 4) + R"({"text":"x"})"};
    const auto message = ReadMessage(near_four_gib.Reader());
    ASSERT_TRUE(message);
    EXPECT_EQ((*message)["text"].asString(), "x");
}

TEST(ReadMessage, DeepNestingIsAFailureNotACrash) {
    FakeStream stream{Frame(std::string(100000, '['))};
    EXPECT_FALSE(ReadMessage(stream.Reader()));
}

TEST(BuildReplyFrame, HasTheExactBytes) {
    EXPECT_EQ(BuildReplyFrame(""), std::string("\x0C\0\0\0{\"text\": \"\"}", 16));
    EXPECT_EQ(BuildReplyFrame("success"), std::string("\x13\0\0\0{\"text\": \"success\"}", 23));

    const std::string frame = BuildReplyFrame(std::string(254, 'a'));
    ASSERT_EQ(frame.size(), 4u + 266u);
    EXPECT_EQ(frame.substr(0, 4), std::string("\x0A\x01\0\0", 4));
    EXPECT_EQ(frame.substr(frame.size() - 2), "\"}");
}

TEST(BuildReplyFrame, InsertsTheTextUnchanged) {
    EXPECT_EQ(BuildReplyFrame("C:\\\\a\r\n").substr(4), "{\"text\": \"C:\\\\a\r\n\"}");
}

}  // namespace
}  // namespace zendro
