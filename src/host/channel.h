#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <json/json.h>

namespace zendro {

// Reads up to `size` bytes; returns how many arrived, 0 at the end of the stream.
using ByteReader = std::function<size_t(char* buffer, size_t size)>;

inline constexpr char kParseFailedReply[] = "parse message failed";

// Reads one frame: a 32-bit little-endian length, then that many bytes of JSON. The text ends at
// the first zero byte or where the stream ends; it must parse. A zero length, a length whose
// successor does not fit in 32 bits, or a parse error gives nothing.
std::optional<Json::Value> ReadMessage(const ByteReader& read);

// The reply frame: length, then {"text": "<text>"} with the text inserted as it is.
std::string BuildReplyFrame(const std::string& text);

}  // namespace zendro
