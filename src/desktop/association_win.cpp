#include "desktop/association_win.h"

#include <shlobj.h>

#include <string>

#include "desktop/association.h"
#include "win/files_win.h"
#include "win/log_win.h"
#include "win/owners_win.h"
#include "win/result_win.h"
#include "win/text_win.h"
#include "win/registry_win.h"
#include "win/shell_win.h"
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

// The registry step that failed, as the log names it.
Result RegistryStepFailed(const std::string& step, LONG status) {
    return Result::Failed(step, WindowsErrorText(static_cast<unsigned long>(status)));
}

class RegistryAssociationWriter final : public AssociationWriter {
  public:
    bool OpenOrCreateKey(const wchar_t* keyPath) override {
        keyPath_ = ToNarrow(keyPath);
        if (OpenKey(HKEY_CURRENT_USER, keyPath, KEY_ALL_ACCESS, key_) == ERROR_SUCCESS) return true;
        HKEY raw = nullptr;
        LONG status =
            RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &raw, nullptr);
        UniqueKey created(status == ERROR_SUCCESS ? raw : nullptr);
        if (created) {
            created.reset();  // and opened afresh
            status = OpenKey(HKEY_CURRENT_USER, keyPath, KEY_ALL_ACCESS, key_);
        }
        if (status == ERROR_SUCCESS) return true;
        failure_ = RegistryStepFailed("creating HKCU\\" + keyPath_, status);
        return false;
    }
    bool WriteText(const wchar_t* valueName, const std::wstring& text) override {
        // Stored with its terminating NUL.
        const DWORD byteSize = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        const LONG status = RegSetValueExW(key_.get(), valueName, 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(text.c_str()), byteSize);
        if (status == ERROR_SUCCESS) return true;
        const std::string name = *valueName != L'\0' ? ToNarrow(valueName) : "(default)";
        failure_ = RegistryStepFailed("writing " + name + " of HKCU\\" + keyPath_, status);
        return false;
    }
    const Result& failure() const { return failure_; }

  private:
    UniqueKey key_;
    std::string keyPath_;
    Result failure_ = Result::Failed("writing the association", "");
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

// The association trees removed whole; the caller holds the turn. A tree that is not there is
// removed already; the first one that cannot go is the failure.
Result RemoveAssociation() {
    UniqueKey classes;
    const LONG opened = OpenKey(HKEY_CURRENT_USER, kClassesKey, kDeleteAccess, classes);
    if (opened == ERROR_FILE_NOT_FOUND) return Result::Ok();
    if (opened != ERROR_SUCCESS) {
        return RegistryStepFailed("opening HKCU\\" + ToNarrow(kClassesKey), opened);
    }
    Result removed = Result::Ok();
    for (const wchar_t* tree : kAssociationTrees) {
        const LONG status = DeleteKeyTree(classes.get(), tree);
        if (removed && status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            removed = RegistryStepFailed(
                "removing HKCU\\" + ToNarrow(kClassesKey) + "\\" + ToNarrow(tree), status);
        }
    }
    return removed;
}

// The key below HKCU when nothing is left in it: no value, no subkey.
LONG DeleteKeyIfEmpty(const wchar_t* keyPath) {
    UniqueKey key;
    const LONG opened = OpenKey(HKEY_CURRENT_USER, keyPath, KEY_READ, key);
    if (opened != ERROR_SUCCESS) return opened;
    DWORD subkeys = 0;
    DWORD values = 0;
    const LONG status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                         nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    key.reset();
    if (status != ERROR_SUCCESS || subkeys != 0 || values != 0) return status;
    return RegDeleteKeyW(HKEY_CURRENT_USER, keyPath);
}

// The registration as a candidate for Default apps: the host's magnet class, Capabilities and the
// host's own RegisteredApplications value; other programs' values there stay. (.torrent's
// OpenWithProgids goes with the .torrent tree.) The caller holds the turn.
Result RemoveRegistration() {
    Result removed = Result::Ok();
    const auto note = [&removed](const std::wstring& what, LONG status) {
        if (removed && status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            removed = RegistryStepFailed("removing HKCU\\" + ToNarrow(what), status);
        }
    };
    UniqueKey classes;
    if (OpenKey(HKEY_CURRENT_USER, kClassesKey, kDeleteAccess, classes) == ERROR_SUCCESS) {
        note(std::wstring(kClassesKey) + L"\\" + kMagnetClass,
             DeleteKeyTree(classes.get(), kMagnetClass));
    }
    note(kCapabilitiesKey, DeleteKeyTree(HKEY_CURRENT_USER, kCapabilitiesKey));
    note(kCapabilitiesParentKey, DeleteKeyIfEmpty(kCapabilitiesParentKey));
    UniqueKey registered;
    const LONG opened =
        OpenKey(HKEY_CURRENT_USER, kRegisteredApplicationsKey, kDeleteAccess, registered);
    note(std::wstring(kRegisteredApplicationsKey) + L"\\" + kRegisteredName,
         opened == ERROR_SUCCESS ? RegDeleteValueW(registered.get(), kRegisteredName) : opened);
    return removed;
}

// Explorer's icons and handlers follow a change of association at once only when told.
void TellTheShellAssociationsChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

// Whether the user's choice for a type names another program, as Windows' Default apps holds it.
bool AnotherProgramIsChosen(const std::wstring& path) {
    RegistryAssociationReader reader;
    for (const ChosenType& type : ChosenTypesOfTheHost()) {
        if (ReadUserChoice(type, path, reader, EqualIgnoringCase).holder ==
            ChoiceHolder::kOtherProgram) {
            return true;
        }
    }
    return false;
}

// Windows lets only the user make the choice: its Default apps page for this host, where the user
// picks it for both types.
Result OpenDefaultAppsPage() {
    const std::wstring url = ToWide(DefaultAppsPageUrl(ToNarrow(kRegisteredName)));
    UniqueHandle process;
    if (!ShellOpen(url, L"", SW_SHOWNORMAL, process)) {
        return FailedWithLastError("opening Windows' Default apps page " + ToNarrow(url) +
                                   " for the user's choice");
    }
    WriteLogLine("another program holds the user's choice: Windows' Default apps page was opened");
    return Result::Ok();
}

Result WriteAssociationForThisHost(std::wstring& path) {
    // What stays is written over where it can be.
    LogFailure(RemoveAssociation());
    LogFailure(RemoveRegistration());
    if (!GetHostExecutablePath(path)) {
        return FailedWithLastError("finding this program's path");
    }
    RegistryAssociationWriter writer;
    if (!WriteAssociation(path, writer) || !WriteRegistration(path, writer)) {
        return writer.failure();
    }
    return Result::Ok();
}

}  // namespace

bool CheckDefaultApplication() {
    std::wstring path;
    if (!GetHostExecutablePath(path)) return false;
    RegistryAssociationReader reader;
    return AssociationPointsAt(path, reader, EqualIgnoringCase) && !AnotherProgramIsChosen(path);
}

UserChoice ReadUserChoiceOf(const ChosenType& type) {
    std::wstring path;
    GetHostExecutablePath(path);  // without it no class is this host's
    RegistryAssociationReader reader;
    return ReadUserChoice(type, path, reader, EqualIgnoringCase);
}

bool IsRegisteredCandidate() {
    std::wstring path;
    if (!GetHostExecutablePath(path)) return false;
    RegistryAssociationReader reader;
    return RegistrationPointsAt(path, reader, EqualIgnoringCase);
}

int SetDefaultApplication() {
    std::wstring path;
    Result written = Result::Ok();
    {
        const UserMutex turn(kAssociationMutex, kAssociationWaitMs);
        written = WriteAssociationForThisHost(path);
    }
    TellTheShellAssociationsChanged();  // a failure too may have changed a part
    LogFailure(written);
    if (!written) return -1;
    WriteLogLine("the .torrent and magnet association was set");
    // Windows opens what the user chose before the classes, and only the user can change that.
    if (AnotherProgramIsChosen(path)) {
        const Result opened = OpenDefaultAppsPage();
        LogFailure(opened);
        if (!opened) return -1;
    }
    return 0;
}

void UnsetDefaultApplication() {
    const UserMutex turn(kAssociationMutex, kAssociationWaitMs);
    Result removed = RemoveAssociation();
    const Result unregistered = RemoveRegistration();
    if (removed) removed = unregistered;
    TellTheShellAssociationsChanged();
    LogFailure(removed);
    if (removed) WriteLogLine("the .torrent and magnet association was removed");
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
