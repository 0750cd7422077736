// The shell hands the host any text as its item; the log keeps a hash or a file name of it and
// must stay one line whatever the item holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view item(reinterpret_cast<const char*>(data), size);
    const std::string line = zendro::FormatLogLine({2026, 1, 1, 0, 0, 0, 0}, 1,
                                                   "hand-off of " + zendro::RedactItem(item), "x");
    if (line.find('\n') != line.size() - 1 || line.find('\r') != std::string::npos) std::abort();
    zendro::LastLogLines(item, 3);
    return 0;
}
