#pragma once

#include <string>
#include <windows.h>

namespace zendro {

// Reads a REG_SZ or REG_EXPAND_SZ value (left unexpanded) of an open key as text. The type and
// size are asked first, then the value is read into a zeroed buffer of kRegistryTextUnits units.
// Returns false, leaving `text` as it was, when either query fails, the type is not a string
// type, the value does not fit the buffer, or its bytes do not end in a NUL unit.
bool ReadRegistryText(HKEY key, const wchar_t* valueName, std::wstring& text);

}  // namespace zendro
