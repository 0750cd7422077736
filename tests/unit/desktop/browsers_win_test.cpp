#include "desktop/browsers_win.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "win/owners_win.h"

namespace zendro {
namespace {

constexpr wchar_t kRoot[] = L"SOFTWARE\\Clients\\StartMenuInternet";

// Fills the machine's and the user's browser lists of the unit tests' own Wine prefix, and removes
// them again.
class StartMenuBrowsers : public ::testing::Test {
  protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot);
        RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
    }

    static void SetDefault(const std::wstring& path, const std::wstring& text,
                           HKEY hive = HKEY_LOCAL_MACHINE) {
        UniqueKey key;
        ASSERT_EQ(RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
        if (text.empty()) return;  // the key without a default value
        ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    static void Register(const std::wstring& subkey, const std::wstring& displayName,
                         const std::wstring& command, HKEY hive = HKEY_LOCAL_MACHINE) {
        const std::wstring entry = std::wstring(kRoot) + L"\\" + subkey;
        SetDefault(entry, displayName, hive);
        if (!command.empty()) SetDefault(entry + L"\\shell\\open\\command", command, hive);
    }
};

TEST_F(StartMenuBrowsers, ReadsReadableEntriesAndTheFirstOfEachDisplayName) {
    Register(L"A Chrome", L"Google Chrome", L"\"C:\\Chrome\\chrome.exe\" --flag \"%1\"");
    Register(L"B No Display Name", L"", L"C:\\nameless.exe");
    Register(L"C Chrome Again", L"Google Chrome", L"C:\\other\\chrome.exe");
    Register(L"D No Command", L"Opera", L"");
    Register(L"E Firefox", L"Mozilla Firefox", L"C:\\Firefox\\firefox.exe");
    Register(L"F Lower Case", L"google chrome", L"C:\\lower.exe");

    BrowserTable table;
    ASSERT_TRUE(ListStartMenuBrowsers(table));
    const BrowserTable expected = {
        {L"Google Chrome", L"\"C:\\Chrome\\chrome.exe\" --flag \"%1\""},
        {L"Mozilla Firefox", L"C:\\Firefox\\firefox.exe"},
        {L"google chrome", L"C:\\lower.exe"},
    };
    EXPECT_EQ(table, expected);
}

TEST_F(StartMenuBrowsers, AddsToWhatTheTableHolds) {
    Register(L"Chrome", L"Google Chrome", L"C:\\chrome.exe");
    BrowserTable table = {{L"Google Chrome", L"kept"}, {L"Other", L"x"}};
    ASSERT_TRUE(ListStartMenuBrowsers(table));
    EXPECT_EQ(table, (BrowserTable{{L"Google Chrome", L"kept"}, {L"Other", L"x"}}));
}

// Browsers installed without administrator rights count, after the machine's: a display name
// the machine's list holds keeps the machine's command.
TEST_F(StartMenuBrowsers, TheUsersBrowsersAddTheNamesTheMachinesLack) {
    Register(L"Firefox", L"Mozilla Firefox", L"C:\\Firefox\\firefox.exe");
    Register(L"Chrome", L"Google Chrome", L"C:\\machine\\chrome.exe");
    Register(L"Google Chrome", L"Google Chrome", L"C:\\user\\chrome.exe", HKEY_CURRENT_USER);
    Register(L"Opera", L"Opera", L"C:\\user\\opera.exe", HKEY_CURRENT_USER);
    Register(L"Nameless", L"", L"C:\\user\\nameless.exe", HKEY_CURRENT_USER);

    BrowserTable table;
    ASSERT_TRUE(ListStartMenuBrowsers(table));
    EXPECT_EQ(table, (BrowserTable{{L"Google Chrome", L"C:\\machine\\chrome.exe"},
                                   {L"Mozilla Firefox", L"C:\\Firefox\\firefox.exe"},
                                   {L"Opera", L"C:\\user\\opera.exe"}}));

    BrowserTable user;
    ASSERT_TRUE(ListStartMenuBrowsersIn(BrowserHive::kUser, user));
    EXPECT_EQ(user, (BrowserTable{{L"Google Chrome", L"C:\\user\\chrome.exe"},
                                  {L"Opera", L"C:\\user\\opera.exe"}}));
}

TEST_F(StartMenuBrowsers, NoListLeavesTheTableAlone) {
    TearDown();
    BrowserTable table = {{L"Google Chrome", L"kept"}};
    EXPECT_FALSE(ListStartMenuBrowsers(table));
    EXPECT_EQ(table, (BrowserTable{{L"Google Chrome", L"kept"}}));

    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        TearDown();
        SetDefault(kRoot, L"", hive);
        EXPECT_TRUE(ListStartMenuBrowsers(table));
        EXPECT_EQ(table.size(), 1u);
    }
}

}  // namespace
}  // namespace zendro
