// Archive entry names, as any bytes. A name judged safe, resolved the way Windows resolves a
// relative path (either separator, trailing dots and blanks of a component dropped, "." and ".."
// applied), never climbs out of the folder it is appended to, never names a drive or a stream,
// and fits the 255-byte name buffer.

#include <cstdint>
#include <string>

#include "update/entry_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    if (!zendro::IsSafeEntryName(name)) return 0;
    if (name.size() > zendro::kMaxEntryNameBytes || name.find(':') != std::string::npos ||
        name.find('\0') != std::string::npos || name[0] == '/' || name[0] == '\\') {
        __builtin_trap();
    }
    long depth = 0;
    std::string component;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') {
            component += name[i];
            continue;
        }
        const size_t kept = component.find_last_not_of(". ");
        const std::string trimmed = kept == std::string::npos ? "" : component.substr(0, kept + 1);
        if (component.find("..") != std::string::npos && trimmed.empty())
            --depth;
        else if (!trimmed.empty())
            ++depth;
        if (depth < 0) __builtin_trap();
        component.clear();
    }
    return 0;
}
