#pragma once

#include <windows.h>

#include <string>

#include "base/registry_text.h"

namespace zendro {

// Reads a REG_SZ or REG_EXPAND_SZ value (not expanded) of an open key; `valueName` nullptr or ""
// reads the default value. The type and size are asked first, then the value is read into a
// zeroed buffer of kRegistryTextUnits units. It counts as read only when its byte size is 0 or an
// even count that fits the buffer and ends with a NUL unit; `text` is then the text up to the
// first NUL. Otherwise false, and `text` is left alone.
bool ReadRegistryText(HKEY key, const wchar_t* valueName, std::wstring& text);

}  // namespace zendro
