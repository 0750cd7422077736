#include "daemon/daemon_port.h"

#include <cstdint>
#include <cstring>

namespace zendro {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// strtol with base 10 on a platform whose long has 32 bits: blanks, an optional sign, digits up to
// the first non-digit; out-of-range values clamp; no digits reads as 0.
int32_t ParseLikeStrtol(const std::string& text) {
    size_t position = 0;
    while (position < text.size() && IsCSpace(text[position])) ++position;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;  // enough to know it clamps either way
    int64_t magnitude = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
        magnitude = magnitude * 10 + (text[position] - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<int32_t>(-magnitude);  // -2^31 fits exactly
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

}  // namespace

std::string PortFromExportedSettings(const std::string& contents) {
    const size_t key = contents.find(kPortKey);
    if (key == std::string::npos) return "";
    const size_t valueStart = key + std::strlen(kPortKey);
    const size_t lineEnd = contents.find("\r\n", valueStart);
    if (lineEnd == std::string::npos) return "";
    const int32_t port = ParseLikeStrtol(contents.substr(valueStart, lineEnd - valueStart));
    if (port == 0) return "";
    return std::to_string(port);
}

std::string FirstBindablePort(const std::function<bool(unsigned short port)>& tryBind) {
    for (unsigned port = kFirstListeningPort; port <= kLastListeningPort; ++port) {
        if (tryBind(static_cast<unsigned short>(port))) return std::to_string(port);
    }
    return std::to_string(kLastListeningPort + 1);
}

}  // namespace zendro
