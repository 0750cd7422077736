#pragma once

#include <map>
#include <string>

namespace zendro {

// Display name -> open command, exactly as registered; ordinal, case-sensitive keys.
using BrowserTable = std::map<std::wstring, std::wstring>;

// Where browsers register for the Start menu: those installed for the machine under
// HKEY_LOCAL_MACHINE\SOFTWARE\Clients\StartMenuInternet, those installed without administrator
// rights (Chrome's default for such users) under
// HKEY_CURRENT_USER\Software\Clients\StartMenuInternet.
enum class BrowserHive { kMachine, kUser };

// "HKLM\SOFTWARE\Clients\StartMenuInternet" or "HKCU\Software\Clients\StartMenuInternet".
std::string BrowserListName(BrowserHive hive);

// Adds every browser registered in `hive` whose display name and open command can be read; an
// entry whose display name the table already holds is left out. False, with `table` untouched,
// only when the hive's list cannot be opened.
bool ListStartMenuBrowsersIn(BrowserHive hive, BrowserTable& table);

// The machine's browsers, then the user's for display names the machine's do not have. False,
// with `table` untouched, only when neither list can be opened.
bool ListStartMenuBrowsers(BrowserTable& table);

}  // namespace zendro
