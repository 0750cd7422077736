#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zendro {

// Registry texts are read into a fixed buffer of this many UTF-16 units; a value that needs more
// (its NUL included) is not read at all.
inline constexpr std::size_t kRegistryTextUnits = 1024;

// The text held by the first `byteSize` bytes of `units` (a buffer of kRegistryTextUnits) after
// a string value was read into it. It is a text only when the bytes fit the buffer and are none
// at all (the empty text) or a whole number of units ending in a NUL. The text ends at its first
// NUL, as the registry's readers do.
std::optional<std::u16string> RegistryTextFromUnits(const char16_t* units, std::size_t byteSize);

}  // namespace zendro
