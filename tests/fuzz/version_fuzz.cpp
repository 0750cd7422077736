// Two version strings, as any bytes split at the first newline. The comparison is an order: a
// version equals itself, and swapping the two flips the sign of the result.

#include <cstdint>
#include <string>

#include "update/version.h"

namespace {
int Sign(int value) { return (value > 0) - (value < 0); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\n');
    const std::string candidate = input.substr(0, split);
    const std::string installed = split == std::string::npos ? "" : input.substr(split + 1);
    if (zendro::CompareVersions(candidate, candidate) != 0) __builtin_trap();
    if (Sign(zendro::CompareVersions(candidate, installed)) !=
        -Sign(zendro::CompareVersions(installed, candidate))) {
        __builtin_trap();
    }
    return 0;
}
