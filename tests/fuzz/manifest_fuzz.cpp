// A native messaging manifest is a file anyone with the user's rights may have written: checking
// it must neither crash nor read out of bounds, and always says something about it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/diagnosis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const bool mozilla : {false, true}) {
        const zendro::Findings found = zendro::CheckManifest(
            bytes, {"com.zendro.webhost", "C:\\p\\m.json", "C:\\p\\ZendroWebHost.exe", mozilla},
            "Chrome");
        if (found.empty()) std::abort();
        zendro::FormatReport(found);
    }
    zendro::IsChromeExtensionOrigin(bytes);
    return 0;
}
