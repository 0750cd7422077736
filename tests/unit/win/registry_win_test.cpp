#include "win/registry_win.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "win/owners_win.h"

namespace zendro {
namespace {

constexpr wchar_t kScratchKey[] = L"Software\\ZendroUnitTests\\RegistryText";

class RegistryText : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key_.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key_.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZendroUnitTests");
    }

    // Stores exactly these bytes, with no NUL added.
    void Store(const wchar_t* name, DWORD type, const std::vector<BYTE>& bytes) {
        ASSERT_EQ(RegSetValueExW(key_.get(), name, 0, type, bytes.data(),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    void StoreText(const wchar_t* name, DWORD type, const std::wstring& units) {
        const BYTE* start = reinterpret_cast<const BYTE*>(units.data());
        Store(name, type, std::vector<BYTE>(start, start + units.size() * sizeof(wchar_t)));
    }
    bool Read(const wchar_t* name, std::wstring& text) {
        return ReadRegistryText(key_.get(), name, text);
    }

    UniqueKey key_;
};

TEST_F(RegistryText, ReadsTextValuesAsStored) {
    StoreText(nullptr, REG_SZ, std::wstring(L"\"C:\\Browser\\b.exe\" -x\0", 23));
    StoreText(L"expand", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\x\0", 15));
    StoreText(L"empty", REG_SZ, std::wstring(L"\0", 1));
    Store(L"zero-bytes", REG_SZ, {});
    StoreText(L"inner-nul", REG_SZ, std::wstring(L"ab\0cd\0", 6));

    std::wstring text;
    ASSERT_TRUE(Read(nullptr, text));
    EXPECT_EQ(text, L"\"C:\\Browser\\b.exe\" -x");
    ASSERT_TRUE(Read(L"", text));
    EXPECT_EQ(text, L"\"C:\\Browser\\b.exe\" -x");
    ASSERT_TRUE(Read(L"expand", text));
    EXPECT_EQ(text, L"%SystemRoot%\\x");  // not expanded
    text = L"old";
    ASSERT_TRUE(Read(L"empty", text));
    EXPECT_EQ(text, L"");
    text = L"old";
    ASSERT_TRUE(Read(L"zero-bytes", text));
    EXPECT_EQ(text, L"");
    ASSERT_TRUE(Read(L"inner-nul", text));
    EXPECT_EQ(text, L"ab");
}

TEST_F(RegistryText, RefusesValuesThatAreNotCompleteTexts) {
    // Windows (and Wine) add a forgotten NUL when the unit after the data is one: keep it 'X'.
    const wchar_t unterminated[] = L"abcX";
    ASSERT_EQ(RegSetValueExW(key_.get(), L"no-nul", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(unterminated), 3 * sizeof(wchar_t)),
              ERROR_SUCCESS);
    Store(L"odd-size", REG_SZ, {'a', 0, 0});
    Store(L"dword", REG_DWORD, {1, 0, 0, 0});
    Store(L"binary", REG_BINARY, {'a', 0, 0, 0});
    StoreText(L"multi", REG_MULTI_SZ, std::wstring(L"a\0\0", 3));

    for (const wchar_t* name : {L"no-nul", L"odd-size", L"dword", L"binary", L"multi", L"absent"}) {
        std::wstring text = L"untouched";
        EXPECT_FALSE(Read(name, text)) << name;
        EXPECT_EQ(text, L"untouched") << name;
    }
}

TEST_F(RegistryText, HonoursTheBufferOf1024Units) {
    StoreText(L"fits", REG_SZ, std::wstring(1023, L'x') + L'\0');
    StoreText(L"one-too-many", REG_SZ, std::wstring(1024, L'y') + L'\0');
    StoreText(L"huge", REG_SZ, std::wstring(100000, L'z') + L'\0');

    std::wstring text;
    ASSERT_TRUE(Read(L"fits", text));
    EXPECT_EQ(text, std::wstring(1023, L'x'));
    text = L"untouched";
    EXPECT_FALSE(Read(L"one-too-many", text));
    EXPECT_FALSE(Read(L"huge", text));
    EXPECT_EQ(text, L"untouched");
}

}  // namespace
}  // namespace zendro
