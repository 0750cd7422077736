#include "win/registry_win.h"

namespace zendro {

bool ReadRegistryText(HKEY key, const wchar_t* valueName, std::wstring& text) {
    DWORD type = 0;
    DWORD byteSize = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &byteSize) != ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    // A value larger than the buffer is refused rather than read past its end.
    wchar_t buffer[kRegistryTextUnits] = {};
    if (byteSize > sizeof buffer || byteSize % sizeof(wchar_t) != 0) return false;
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &byteSize) != ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (byteSize > sizeof buffer || byteSize % sizeof(wchar_t) != 0) return false;
    if (byteSize != 0 && buffer[byteSize / sizeof(wchar_t) - 1] != L'\0') return false;
    text.assign(buffer);
    return true;
}

}  // namespace zendro
