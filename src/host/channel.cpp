#include "host/channel.h"

#include <algorithm>
#include <cstring>

#include "base/json.h"

namespace zendro {
namespace {

constexpr char kReplyOpening[] = "{\"text\": \"";
constexpr char kReplyClosing[] = "\"}";

// Fills as much of `buffer` as the stream still gives.
size_t ReadFully(const ByteReader& read, char* buffer, size_t size) {
    size_t total = 0;
    while (total < size) {
        const size_t count = read(buffer + total, size - total);
        if (count == 0) break;
        total += count;
    }
    return total;
}

}  // namespace

std::optional<Json::Value> ReadMessage(const ByteReader& read) {
    unsigned char header[4] = {0, 0, 0, 0};
    ReadFully(read, reinterpret_cast<char*>(header), sizeof header);
    const uint32_t length =
        static_cast<uint32_t>(header[0]) | static_cast<uint32_t>(header[1]) << 8 |
        static_cast<uint32_t>(header[2]) << 16 | static_cast<uint32_t>(header[3]) << 24;
    if (length == 0 || length == UINT32_MAX) return std::nullopt;

    // The body grows with what actually arrives, so a frame that claims gigabytes but brings a
    // few bytes costs a few bytes; bytes that never arrive read as zero, which ends the text.
    std::string body;
    constexpr size_t kChunk = 64 * 1024;
    while (body.size() < length) {
        const size_t wanted = std::min<size_t>(kChunk, length - body.size());
        const size_t old_size = body.size();
        body.resize(old_size + wanted);
        const size_t count = ReadFully(read, body.data() + old_size, wanted);
        body.resize(old_size + count);
        if (count < wanted) break;
    }
    body.resize(std::strlen(body.c_str()));

    Json::Value message;
    if (!ParseJson(body, message)) return std::nullopt;
    return message;
}

std::string BuildReplyFrame(const std::string& text) {
    const std::string reply = kReplyOpening + text + kReplyClosing;
    const uint32_t length = static_cast<uint32_t>(reply.size());
    std::string frame;
    frame.reserve(4 + reply.size());
    for (int shift = 0; shift < 32; shift += 8) {
        frame.push_back(static_cast<char>((length >> shift) & 0xFF));
    }
    frame += reply;
    return frame;
}

}  // namespace zendro
