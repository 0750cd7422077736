#include "host/handoff.h"

namespace zendro {

BrowserChoice ChooseBrowser(const std::wstring& ownPath) {
    std::wstring lowered = ownPath;
    for (wchar_t& c : lowered) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    if (lowered.find(L"zendrowebhost.exe") != std::wstring::npos) {
        return {L"Google Chrome", L"chrome.exe"};
    }
    return {L"Mozilla Firefox", L"firefox.exe"};
}

bool IsMagnetItem(const std::wstring& item) { return item.find(L"magnet") != std::wstring::npos; }

}  // namespace zendro
