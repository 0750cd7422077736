#include "base/registry_text.h"

namespace zendro {

std::optional<std::u16string> RegistryTextFromUnits(const char16_t* units, std::size_t byteSize) {
    if (byteSize == 0) return std::u16string();
    if (byteSize % 2 != 0 || byteSize > kRegistryTextUnits * 2) return std::nullopt;
    const std::size_t count = byteSize / 2;
    if (units[count - 1] != u'\0') return std::nullopt;
    return std::u16string(units);
}

}  // namespace zendro
