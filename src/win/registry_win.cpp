#include "win/registry_win.h"

#include "base/registry_text.h"

namespace zendro {
namespace {

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

bool ReadRegistryText(HKEY key, const wchar_t* valueName, std::wstring& text) {
    DWORD type = REG_NONE;
    DWORD byteSize = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &byteSize) != ERROR_SUCCESS ||
        !IsTextType(type)) {
        return false;
    }
    // Asking for more than the buffer holds would let the registry write past it.
    char16_t units[kRegistryTextUnits] = {};
    if (byteSize > sizeof units) return false;
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(units),
                         &byteSize) != ERROR_SUCCESS ||
        !IsTextType(type)) {
        return false;
    }
    const std::optional<std::u16string> read = RegistryTextFromUnits(units, byteSize);
    if (!read) return false;
    text.assign(read->begin(), read->end());
    return true;
}

}  // namespace zendro
