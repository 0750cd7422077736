#include "desktop/browsers_win.h"

#include <windows.h>

#include "win/owners_win.h"
#include "win/registry_win.h"

namespace zendro {
namespace {

constexpr wchar_t kStartMenuInternetKey[] = L"SOFTWARE\\Clients\\StartMenuInternet";
constexpr wchar_t kStartMenuInternetPrefix[] = L"SOFTWARE\\Clients\\StartMenuInternet\\";
constexpr wchar_t kOpenCommandTail[] = L"\\shell\\open\\command";

bool ReadDefaultText(const std::wstring& keyPath, std::wstring& text) {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    return ReadRegistryText(key.get(), nullptr, text);
}

}  // namespace

bool ListStartMenuBrowsers(BrowserTable& table) {
    UniqueKey root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStartMenuInternetKey, 0, KEY_ENUMERATE_SUB_KEYS,
                      root.put()) != ERROR_SUCCESS) {
        return false;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[kRegistryTextUnits] = {};
        DWORD nameUnits = kRegistryTextUnits;
        if (RegEnumKeyExW(root.get(), index, name, &nameUnits, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        const std::wstring entryPath = kStartMenuInternetPrefix + std::wstring(name);
        std::wstring displayName;
        std::wstring openCommand;
        if (!ReadDefaultText(entryPath, displayName)) continue;
        if (!ReadDefaultText(entryPath + kOpenCommandTail, openCommand)) continue;
        table.emplace(displayName, openCommand);  // an earlier entry keeps its place
    }
    return true;
}

}  // namespace zendro
