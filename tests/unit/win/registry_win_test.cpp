#include "win/registry_win.h"

#include <winternl.h>

#include <gtest/gtest.h>

#include "win/owners_win.h"
#include "win/registry_text.h"

namespace zendro {
namespace {

// RegSetValueExW adds a missing NUL to string values under Wine; the native call stores the bytes
// exactly as given, as another program might have.
using SetValueKey = LONG(NTAPI*)(HANDLE, PUNICODE_STRING, ULONG, ULONG, PVOID, ULONG);

constexpr const wchar_t* kScratchKey = L"Software\\ZendroWebHost unit tests\\registry text";

// A key of its own under HKEY_CURRENT_USER, removed with its values when the test ends.
class RegistryTextReader : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, key_.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key_.reset();
        RegDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
    }

    void Write(const wchar_t* name, DWORD type, const void* data, size_t byteSize) {
        static const auto setValueKey = reinterpret_cast<SetValueKey>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey")));
        ASSERT_NE(setValueKey, nullptr);
        std::wstring nameUnits = name;
        UNICODE_STRING unicodeName{static_cast<USHORT>(nameUnits.size() * sizeof(wchar_t)),
                                   static_cast<USHORT>(nameUnits.size() * sizeof(wchar_t)),
                                   nameUnits.data()};
        ASSERT_EQ(setValueKey(key_.get(), &unicodeName, 0, type, const_cast<void*>(data),
                              static_cast<ULONG>(byteSize)),
                  0);
    }
    void WriteText(const wchar_t* name, DWORD type, const std::wstring& units) {
        Write(name, type, units.data(), units.size() * sizeof(wchar_t));
    }

    // What ReadRegistryText gives, or "<kept>" when it refused the value.
    std::wstring Read(const wchar_t* name) {
        std::wstring text = L"<kept>";
        const bool read = ReadRegistryText(key_.get(), name, text);
        EXPECT_EQ(read, text != L"<kept>") << name;
        return text;
    }

    UniqueKey key_;
};

TEST_F(RegistryTextReader, ReadsStringValuesAsStored) {
    WriteText(L"sz", REG_SZ, std::wstring(L"Zendro Web\0", 11));
    WriteText(L"expand", REG_EXPAND_SZ, std::wstring(L"%APPDATA%\\x\0", 12));
    WriteText(L"", REG_SZ, std::wstring(L"default\0", 8));
    WriteText(L"just nul", REG_SZ, std::wstring(1, L'\0'));
    Write(L"no bytes", REG_SZ, nullptr, 0);
    EXPECT_EQ(Read(L"sz"), L"Zendro Web");
    EXPECT_EQ(Read(L"expand"), L"%APPDATA%\\x");  // not expanded
    EXPECT_EQ(Read(nullptr), L"default");
    EXPECT_EQ(Read(L"just nul"), L"");
    EXPECT_EQ(Read(L"no bytes"), L"");
}

TEST_F(RegistryTextReader, RefusesValuesThatAreNoText) {
    const DWORD number = 0x00410041;  // "AA" if it were read as units
    Write(L"dword", REG_DWORD, &number, sizeof number);
    WriteText(L"binary", REG_BINARY, std::wstring(L"text\0", 5));
    WriteText(L"multi", REG_MULTI_SZ, std::wstring(L"a\0b\0\0", 5));
    WriteText(L"no nul", REG_SZ, L"unterminated");
    Write(L"odd size", REG_SZ, L"ab\0", 5);
    EXPECT_EQ(Read(L"dword"), L"<kept>");
    EXPECT_EQ(Read(L"binary"), L"<kept>");
    EXPECT_EQ(Read(L"multi"), L"<kept>");
    EXPECT_EQ(Read(L"no nul"), L"<kept>");
    EXPECT_EQ(Read(L"odd size"), L"<kept>");
    EXPECT_EQ(Read(L"missing"), L"<kept>");
}

TEST_F(RegistryTextReader, ReadsUpToTheBufferAndNoFurther) {
    const std::wstring fits(kRegistryTextUnits - 1, L'f');
    WriteText(L"fits", REG_SZ, fits + L'\0');
    WriteText(L"one too long", REG_SZ, std::wstring(kRegistryTextUnits, L'x') + L'\0');
    WriteText(L"far too long", REG_SZ, std::wstring(100000, L'y') + L'\0');
    EXPECT_EQ(Read(L"fits"), fits);
    EXPECT_EQ(Read(L"one too long"), L"<kept>");
    EXPECT_EQ(Read(L"far too long"), L"<kept>");
}

}  // namespace
}  // namespace zendro
