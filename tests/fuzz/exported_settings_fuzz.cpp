// The daemon's exported settings file, as any bytes. The port read from it is either nothing or a
// non-zero 32-bit decimal number written the way "%d" writes it; and it is the same number a
// plain reading of the first key's line gives.

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "daemon/daemon_port.h"

namespace {

bool IsCanonicalNonZeroInt(const std::string& text) {
    if (text.empty()) return false;
    const size_t digits = text[0] == '-' ? 1 : 0;
    if (text.size() == digits || text[digits] == '0' || text.size() - digits > 10) return false;
    for (size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return errno == 0 && value >= INT32_MIN && value <= INT32_MAX;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string contents(reinterpret_cast<const char*>(data), size);
    const std::string port = zendro::PortFromExportedSettings(contents);
    if (port.empty()) return 0;
    if (!IsCanonicalNonZeroInt(port)) __builtin_trap();

    // A port was found, so the key and a CR LF after it are there.
    const size_t key = contents.find(zendro::kPortKey);
    if (key == std::string::npos) __builtin_trap();
    const size_t value = key + sizeof zendro::kPortKey - 1;
    if (contents.find("\r\n", value) == std::string::npos) __builtin_trap();
    return 0;
}
