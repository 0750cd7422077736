#pragma once

#include <map>
#include <string>

namespace zendro {

// Display name -> open command, exactly as registered; ordinal, case-sensitive keys.
using BrowserTable = std::map<std::wstring, std::wstring>;

// Adds every browser registered under HKEY_LOCAL_MACHINE\SOFTWARE\Clients\StartMenuInternet
// whose display name and open command can be read; the first entry with a display name wins.
// False, with `table` untouched, only when that key cannot be opened.
bool ListStartMenuBrowsers(BrowserTable& table);

}  // namespace zendro
