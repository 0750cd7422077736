#include "host/handoff.h"

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(ChooseBrowser, ChromeForTheHostsOwnNameInAnyCaseOtherwiseFirefox) {
    for (const wchar_t* path :
         {L"C:\\Program Files\\Zendro\\ZendroWebHost.exe", L"C:\\x\\ZENDROWEBHOST.EXE",
          L"C:\\zendrowebhost.exe.d\\other.exe", L"Z:\\tmp\\zendrowebhost.exe"}) {
        const BrowserChoice choice = ChooseBrowser(path);
        EXPECT_STREQ(choice.displayName, L"Google Chrome");
        EXPECT_STREQ(choice.processName, L"chrome.exe");
    }
    for (const wchar_t* path : {L"C:\\Zendro\\host_copy.exe", L"C:\\Zendro\\ZendroWebHost2.exe",
                                L"C:\\ZendroWebHost .exe", L""}) {
        const BrowserChoice choice = ChooseBrowser(path);
        EXPECT_STREQ(choice.displayName, L"Mozilla Firefox");
        EXPECT_STREQ(choice.processName, L"firefox.exe");
    }
}

TEST(IsMagnetItem, LooksForTheLowerCaseWordAnywhere) {
    EXPECT_TRUE(IsMagnetItem(L"magnet:?xt=urn:btih:00"));
    EXPECT_TRUE(IsMagnetItem(L"C:\\missing\\magnets\\file.torrent"));
    EXPECT_FALSE(IsMagnetItem(L"Magnet:?xt=urn:btih:00"));
    EXPECT_FALSE(IsMagnetItem(L"MAGNET:?xt"));
    EXPECT_FALSE(IsMagnetItem(L"C:\\missing.torrent"));
    EXPECT_FALSE(IsMagnetItem(L""));
}

}  // namespace
}  // namespace zendro
