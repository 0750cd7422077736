#include "desktop/association_win.h"

#include <string>

#include "desktop/association.h"
#include "win/owners_win.h"
#include "win/registry_win.h"
#include "win/user_mutex_win.h"

namespace zendro {
namespace {

constexpr REGSAM kDeleteAccess = KEY_READ | KEY_WRITE;
// Hosts that change the association at the same moment take turns: one host's removal would
// otherwise pull keys from under another's writing. The changes take milliseconds; a host that
// still waits after this long goes ahead unguarded rather than keep its reply back.
constexpr wchar_t kAssociationMutex[] = L"Association";
constexpr DWORD kAssociationWaitMs = 10000;
constexpr DWORD kKeyNameUnits = 256;  // registry key names are at most 255 units long

LONG OpenKey(HKEY parent, const wchar_t* path, REGSAM access, UniqueKey& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(parent, path, 0, access, &opened);
    key.reset(status == ERROR_SUCCESS ? opened : nullptr);
    return status;
}

// The file this code was loaded from, exactly as the loader reports it.
bool GetHostExecutablePath(std::wstring& path) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&GetHostExecutablePath), &module)) {
        return false;
    }
    wchar_t buffer[kModulePathUnits] = {};
    const DWORD length =
        GetModuleFileNameW(module, buffer, static_cast<DWORD>(kModulePathUnits - 1));
    if (!IsWholeModulePath(length)) return false;
    path.assign(buffer, length);
    return true;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

class RegistryAssociationReader final : public AssociationReader {
  public:
    bool OpenKey(const wchar_t* keyPath) override {
        return zendro::OpenKey(HKEY_CURRENT_USER, keyPath, KEY_READ, key_) == ERROR_SUCCESS;
    }
    std::optional<std::wstring> ReadText(const wchar_t* valueName) override {
        std::wstring text;
        if (!ReadRegistryText(key_.get(), valueName, text)) return std::nullopt;
        return text;
    }

  private:
    UniqueKey key_;
};

class RegistryAssociationWriter final : public AssociationWriter {
  public:
    bool OpenOrCreateKey(const wchar_t* keyPath) override {
        if (OpenKey(HKEY_CURRENT_USER, keyPath, KEY_ALL_ACCESS, key_) == ERROR_SUCCESS) return true;
        HKEY raw = nullptr;
        const LONG status =
            RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &raw, nullptr);
        UniqueKey created(status == ERROR_SUCCESS ? raw : nullptr);
        if (!created) return false;
        created.reset();  // and opened afresh
        return OpenKey(HKEY_CURRENT_USER, keyPath, KEY_ALL_ACCESS, key_) == ERROR_SUCCESS;
    }
    bool WriteText(const wchar_t* valueName, const std::wstring& text) override {
        // Stored with its terminating NUL.
        const DWORD byteSize = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key_.get(), valueName, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              byteSize) == ERROR_SUCCESS;
    }

  private:
    UniqueKey key_;
};

using DeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// Looked up once: older systems lack RegDeleteKeyExW.
DeleteKeyExFunction RegDeleteKeyExIfPresent() {
    static const DeleteKeyExFunction function = []() -> DeleteKeyExFunction {
        const HMODULE advapi = GetModuleHandleW(L"Advapi32.dll");
        if (advapi == nullptr) return nullptr;
        return reinterpret_cast<DeleteKeyExFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegDeleteKeyExW")));
    }();
    return function;
}

// The association trees removed whole; the caller holds the turn.
void RemoveAssociation() {
    UniqueKey classes;
    if (OpenKey(HKEY_CURRENT_USER, kClassesKey, kDeleteAccess, classes) != ERROR_SUCCESS) return;
    for (const wchar_t* tree : kAssociationTrees) DeleteKeyTree(classes.get(), tree);
}

}  // namespace

bool CheckDefaultApplication() {
    std::wstring path;
    if (!GetHostExecutablePath(path)) return false;
    RegistryAssociationReader reader;
    return AssociationPointsAt(path, reader, EqualIgnoringCase);
}

int SetDefaultApplication() {
    const UserMutex turn(kAssociationMutex, kAssociationWaitMs);
    RemoveAssociation();
    std::wstring path;
    if (!GetHostExecutablePath(path)) return -1;
    RegistryAssociationWriter writer;
    return WriteAssociation(path, writer) ? 0 : -1;
}

void UnsetDefaultApplication() {
    const UserMutex turn(kAssociationMutex, kAssociationWaitMs);
    RemoveAssociation();
}

LONG DeleteKeyTree(HKEY parent, const wchar_t* name) {
    UniqueKey key;
    const LONG opened = OpenKey(parent, name, kDeleteAccess, key);
    if (opened != ERROR_SUCCESS) return opened;

    // Deleting shifts the remaining subkeys down, so index 0 always names the next one.
    wchar_t subkey[kKeyNameUnits];
    DWORD units = kKeyNameUnits;
    while (RegEnumKeyExW(key.get(), 0, subkey, &units, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        const LONG status = DeleteKeyTree(key.get(), subkey);
        if (status != ERROR_SUCCESS) return status;
        units = kKeyNameUnits;
    }
    key.reset();

    if (const DeleteKeyExFunction deleteKeyEx = RegDeleteKeyExIfPresent()) {
        return deleteKeyEx(parent, name, 0, 0);
    }
    return RegDeleteKeyW(parent, name);
}

}  // namespace zendro
