#pragma once

#include <cstddef>

namespace zendro {

// The host's own path is read into this many units, asking the loader for one less.
inline constexpr std::size_t kModulePathUnits = 1024;

// Whether a length the loader reported for the module path is the whole path: 0 means failure,
// and kModulePathUnits - 1 means the path filled the request and may have been cut short, which
// would name another file (a registered command that starts nothing, a swap of the wrong file).
inline bool IsWholeModulePath(std::size_t length) {
    return length > 0 && length < kModulePathUnits - 1;
}

}  // namespace zendro
