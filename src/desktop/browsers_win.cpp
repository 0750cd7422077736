#include "desktop/browsers_win.h"

#include <windows.h>

#include "win/owners_win.h"
#include "win/registry_win.h"

namespace zendro {
namespace {

constexpr wchar_t kOpenCommandTail[] = L"\\shell\\open\\command";

struct HiveList {
    HKEY root;
    const wchar_t* key;
    const char* name;
};

HiveList ListOf(BrowserHive hive) {
    if (hive == BrowserHive::kUser) {
        return {HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet",
                "HKCU\\Software\\Clients\\StartMenuInternet"};
    }
    return {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\StartMenuInternet",
            "HKLM\\SOFTWARE\\Clients\\StartMenuInternet"};
}

bool ReadDefaultText(HKEY root, const std::wstring& keyPath, std::wstring& text) {
    UniqueKey key;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    return ReadRegistryText(key.get(), nullptr, text);
}

}  // namespace

std::string BrowserListName(BrowserHive hive) { return ListOf(hive).name; }

bool ListStartMenuBrowsersIn(BrowserHive hive, BrowserTable& table) {
    const HiveList list = ListOf(hive);
    UniqueKey root;
    if (RegOpenKeyExW(list.root, list.key, 0, KEY_ENUMERATE_SUB_KEYS, root.put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[kRegistryTextUnits] = {};
        DWORD nameUnits = kRegistryTextUnits;
        if (RegEnumKeyExW(root.get(), index, name, &nameUnits, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        const std::wstring entryPath = std::wstring(list.key) + L"\\" + name;
        std::wstring displayName;
        std::wstring openCommand;
        if (!ReadDefaultText(list.root, entryPath, displayName)) continue;
        if (!ReadDefaultText(list.root, entryPath + kOpenCommandTail, openCommand)) continue;
        table.emplace(displayName, openCommand);  // an earlier entry keeps its place
    }
    return true;
}

bool ListStartMenuBrowsers(BrowserTable& table) {
    const bool machine = ListStartMenuBrowsersIn(BrowserHive::kMachine, table);
    const bool user = ListStartMenuBrowsersIn(BrowserHive::kUser, table);
    return machine || user;
}

}  // namespace zendro
