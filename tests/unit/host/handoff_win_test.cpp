#include "host/handoff_win.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(IsProcessRunning, FindsThisProgramInAnyLetterCase) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    EXPECT_TRUE(IsProcessRunning(name));
    CharUpperW(name.data());
    EXPECT_TRUE(IsProcessRunning(name));
    EXPECT_FALSE(IsProcessRunning(name + L"x"));
    EXPECT_FALSE(IsProcessRunning(L"zendro-no-such-program.exe"));
    EXPECT_FALSE(IsProcessRunning(L""));
}

}  // namespace
}  // namespace zendro
