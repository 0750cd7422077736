// Reads and writes per-user registry values byte for byte, so that tests can plant what another
// program might have stored and inspect what the host stored, without the host's own code.
//   reg_bytes set <key below HKCU> <value name> <type number> <data as hex>
//   reg_bytes dump <key below HKCU>...
//   reg_bytes delete <key below HKCU>...
// "dump" prints tab-separated lines: "key <path>" for each key from the named ones down, each
// followed by "value <name> <type> <hex>" for its values. Missing keys are left out.
// "delete" removes the keys with everything below them; a missing key is no failure.
// Exit code 0 on success, 1 on any failure.

#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "win/owners_win.h"
#include "win/text_win.h"

namespace {

// RegSetValueExW adds a missing NUL to string values under Wine; the native call does not.
using SetValueKey = LONG(NTAPI*)(HANDLE, PUNICODE_STRING, ULONG, ULONG, PVOID, ULONG);

bool ParseHex(const std::wstring& hex, std::vector<BYTE>& bytes) {
    if (hex.size() % 2 != 0) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        wchar_t* end = nullptr;
        const std::wstring pair = hex.substr(i, 2);
        const unsigned long value = std::wcstoul(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2) return false;
        bytes.push_back(static_cast<BYTE>(value));
    }
    return true;
}

int Set(const wchar_t* keyPath, std::wstring name, DWORD type, const wchar_t* hex) {
    std::vector<BYTE> bytes;
    if (!ParseHex(hex, bytes)) return 1;
    zendro::UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return 1;
    }
    const auto setValueKey = reinterpret_cast<SetValueKey>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey")));
    if (setValueKey == nullptr) return 1;
    const auto nameBytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    UNICODE_STRING unicodeName{nameBytes, nameBytes, name.data()};
    return setValueKey(key.get(), &unicodeName, 0, type, bytes.data(),
                       static_cast<ULONG>(bytes.size())) == 0
               ? 0
               : 1;
}

// Prints the key and its values, then every subkey the same way. A missing key prints nothing.
bool Dump(const std::wstring& keyPath) {
    zendro::UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return true;
    }
    std::printf("key\t%s\n", zendro::ToNarrow(keyPath).c_str());
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameUnits = 16384;
        DWORD type = 0;
        DWORD byteSize = 0;
        if (RegEnumValueW(key.get(), index, name, &nameUnits, nullptr, &type, nullptr, &byteSize) !=
            ERROR_SUCCESS) {
            break;
        }
        std::vector<BYTE> data(byteSize + 1);
        if (RegQueryValueExW(key.get(), name, nullptr, &type, data.data(), &byteSize) !=
            ERROR_SUCCESS) {
            return false;
        }
        std::printf("value\t%s\t%lu\t", zendro::ToNarrow(name).c_str(), type);
        for (DWORD i = 0; i < byteSize; ++i) std::printf("%02x", data[i]);
        std::printf("\n");
    }
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameUnits = 256;
        if (RegEnumKeyExW(key.get(), index, name, &nameUnits, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        subkeys.push_back(name);
    }
    for (const std::wstring& subkey : subkeys) {
        if (!Dump(keyPath + L"\\" + subkey)) return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 6 && std::wcscmp(argv[1], L"set") == 0) {
        return Set(argv[2], argv[3], static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)),
                   argv[5]);
    }
    if (argc >= 2 && std::wcscmp(argv[1], L"dump") == 0) {
        for (int i = 2; i < argc; ++i) {
            if (!Dump(argv[i])) return 1;
        }
        return 0;
    }
    if (argc >= 2 && std::wcscmp(argv[1], L"delete") == 0) {
        for (int i = 2; i < argc; ++i) {
            const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, argv[i]);
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return 1;
        }
        return 0;
    }
    std::fprintf(stderr,
                 "usage: reg_bytes set <key> <name> <type> <hex> | dump <key>... | "
                 "delete <key>...\n");
    return 1;
}
