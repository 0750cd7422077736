#include "desktop/association_win.h"

#include <string>

#include <gtest/gtest.h>

#include "win/owners_win.h"

namespace zendro {
namespace {

// Volatile, like every key the unit tests make: gone when the registry server ends.
constexpr const wchar_t* kScratchKey = L"Software\\ZendroWebHost unit tests\\delete";

bool KeyExists(HKEY parent, const std::wstring& path) {
    UniqueKey key;
    return RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void CreateKey(HKEY parent, const std::wstring& path, const wchar_t* value = nullptr) {
    UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS)
        << path;
    if (value != nullptr) {
        ASSERT_EQ(RegSetValueExW(key.get(), L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                 static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
}

class DeleteKeyTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CreateKey(HKEY_CURRENT_USER, kScratchKey);
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_ALL_ACCESS, scratch_.put()),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        scratch_.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    }
    UniqueKey scratch_;
};

TEST_F(DeleteKeyTreeTest, RemovesEveryKeyBelowAndNothingBeside) {
    std::wstring deep = L"tree";
    for (int level = 0; level < 40; ++level) deep += L"\\level";
    CreateKey(scratch_.get(), deep, L"deepest");
    for (const wchar_t* sibling : {L"a", L"b", L"c", L"d"}) {
        CreateKey(scratch_.get(), std::wstring(L"tree\\") + sibling + L"\\x\\y", L"data");
    }
    CreateKey(scratch_.get(), L"tree\\" + std::wstring(255, L'n') + L"\\below");
    CreateKey(scratch_.get(), L"tree", L"own value");
    CreateKey(scratch_.get(), L"treeX", L"kept");

    EXPECT_EQ(DeleteKeyTree(scratch_.get(), L"tree"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(scratch_.get(), L"tree"));
    EXPECT_TRUE(KeyExists(scratch_.get(), L"treeX"));
}

TEST_F(DeleteKeyTreeTest, AMissingKeyIsReportedAsSuch) {
    EXPECT_EQ(DeleteKeyTree(scratch_.get(), L"missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kScratchKey));
}

}  // namespace
}  // namespace zendro
