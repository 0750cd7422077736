// The shell hands the host any text as its item; the log keeps a hash or a file name of it and
// must stay one line whatever the item holds. Any text, as a cause or a piece of libcurl's trace,
// is redacted the same way twice over (nothing left to hide the second time), and no URL in it
// keeps an "@" behind its "://".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/log.h"
#include "base/redact.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view item(reinterpret_cast<const char*>(data), size);
    const std::string line = zendro::FormatLogLine({2026, 1, 1, 0, 0, 0, 0}, 1,
                                                   "hand-off of " + zendro::RedactItem(item), "x");
    if (line.find('\n') != line.size() - 1 || line.find('\r') != std::string::npos) std::abort();
    zendro::LastLogLines(item, 3);

    const std::string shown = zendro::WithoutUrlCredentials(item);
    const std::string trace = zendro::RedactTrace(item);
    if (zendro::WithoutUrlCredentials(shown) != shown || zendro::RedactTrace(trace) != trace) {
        std::abort();
    }
    // Within each run between separators, no "@" follows a "://".
    size_t start = 0;
    while (start <= shown.size()) {
        const size_t end = std::min(shown.find_first_of(" \t\r\n'\"`<>", start), shown.size());
        const std::string_view run = std::string_view(shown).substr(start, end - start);
        const size_t scheme = run.find("://");
        if (scheme != std::string_view::npos &&
            run.find('@', scheme + 3) != std::string_view::npos) {
            std::abort();
        }
        start = end + 1;
    }
    return 0;
}
