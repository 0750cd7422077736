#pragma once

#include <windows.h>

#include <string>

namespace zendro {

inline constexpr DWORD kRegistryTextUnits = 1024;

// Reads a REG_SZ or REG_EXPAND_SZ value (not expanded) of an open key; `valueName` nullptr or ""
// reads the default value. It counts as read only when its byte size is 0 or an even count that
// fits in 1,024 UTF-16 units and ends with a NUL unit; `text` is then the text up to the first
// NUL. Otherwise false, and `text` is left alone.
bool ReadRegistryText(HKEY key, const wchar_t* valueName, std::wstring& text);

}  // namespace zendro
