#pragma once

#include <string>

namespace zendro {

struct BrowserChoice {
    const wchar_t* displayName;  // key in the Start-menu browser table
    const wchar_t* processName;  // its running executable's file name
};

// The browser that goes with the host's own path: Google Chrome when the path, with A-Z lowered,
// contains "zendrowebhost.exe", otherwise Mozilla Firefox.
BrowserChoice ChooseBrowser(const std::wstring& ownPath);

// Whether an item that is no existing path counts as a magnet link: it contains "magnet"
// anywhere, in that letter case.
bool IsMagnetItem(const std::wstring& item);

}  // namespace zendro
