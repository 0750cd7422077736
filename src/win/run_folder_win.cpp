#include "win/run_folder_win.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "base/run_files.h"
#include "win/files_win.h"
#include "win/owners_win.h"
#include "win/shell_win.h"
#include "win/user_mutex_win.h"

namespace zendro {
namespace {

// Guards making a run folder with its lock, judging a lock, and removing the host's folder: a
// folder without a lock is then always one whose owner is gone.
constexpr wchar_t kTempFolderMutex[] = L"TempFolder";
constexpr DWORD kTempFolderWaitMs = 10000;
constexpr int kNameTries = 16;

// The longest tail a run folder adds to the host's folder for a program to be started in it:
// "\run-" + 8 + "-" + 16 hexadecimal digits + "\ZendroWebDaemonSetup.exe".
constexpr size_t kLongestProgramTail = 56;

std::wstring HostTempRoot() {
    const std::wstring temp = UserTempFolder();
    return temp.empty() ? temp : temp + L"\\" + kHostTempFolderName;
}

// The host's folder in Windows' default temporary folder, %LOCALAPPDATA%\Temp; "" when there is
// no such folder.
std::wstring DefaultTempRoot() {
    const std::wstring local = LocalAppDataFolder();
    if (local.empty()) return L"";
    return ExtendedLengthPath(local + L"\\Temp") + L"\\" + kHostTempFolderName;
}

bool StartsProgramsFrom(const std::wstring& root) {
    return WithoutExtendedPrefix(root).size() + kLongestProgramTail < MAX_PATH;
}

std::wstring ChooseRoot(RunFolder::Use use) {
    std::wstring root = HostTempRoot();
    if (use == RunFolder::Use::kProgramToStart && !root.empty() && !StartsProgramsFrom(root)) {
        const std::wstring fallback = DefaultTempRoot();
        if (!fallback.empty() && StartsProgramsFrom(fallback)) root = fallback;
    }
    return root;
}

// The security the host's folder is made with (see OwnFolderSecurity); empty when it cannot be
// had, and then no folder is made.
UniqueLocalMemory OwnFolderDescriptor() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl = OwnFolderSecurity(CurrentUserSid());
    if (sddl.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                            sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return {};
    }
    return UniqueLocalMemory(descriptor);
}

// Opens the host's folder `root` when it is a plain folder that the user owns, held against
// renaming while the handle lives; with `reprotect`, its access list is set to the user's own
// again (one that an earlier version made inherited that of the folder above).
UniqueHandle OpenOwnRoot(const std::wstring& root, bool reprotect) {
    UniqueHandle folder(
        ::CreateFileW(root.c_str(), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder || !IsPlainFolder(folder.get())) return {};
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR ownerDescriptor = nullptr;
    if (::GetSecurityInfo(folder.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &ownerDescriptor) != ERROR_SUCCESS) {
        return {};
    }
    const UniqueLocalMemory ownerMemory(ownerDescriptor);
    wchar_t* ownerText = nullptr;
    if (!::ConvertSidToStringSidW(owner, &ownerText)) return {};
    const UniqueLocalMemory ownerTextMemory(ownerText);
    if (!IsUsersOwnFolder(ownerText, CurrentUserSid())) return {};
    if (reprotect) {
        const UniqueLocalMemory descriptor = OwnFolderDescriptor();
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        if (!descriptor ||
            !::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) ||
            ::SetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr) != ERROR_SUCCESS) {
            return {};
        }
    }
    return folder;
}

// Makes the host's folder `root` for the user alone, or opens the one there when it is theirs.
UniqueHandle MakeOwnRoot(const std::wstring& root) {
    ::CreateDirectoryW(root.substr(0, root.rfind(L'\\')).c_str(), nullptr);  // may be missing
    const UniqueLocalMemory descriptor = OwnFolderDescriptor();
    if (!descriptor) return {};
    SECURITY_ATTRIBUTES security{sizeof security, descriptor.get(), FALSE};
    const bool made = ::CreateDirectoryW(root.c_str(), &security) != 0;
    if (!made && ::GetLastError() != ERROR_ALREADY_EXISTS) return {};
    return OpenOwnRoot(root, !made);
}

// Removes the run folders in `root` whose owners are gone, and `root` when it is left empty. A
// folder of the host's name that is not the user's own is left alone.
void RemoveLeftoversIn(const std::wstring& root) {
    std::vector<std::wstring> abandoned;
    {
        const UserMutex guard(kTempFolderMutex, kTempFolderWaitMs);
        const UniqueHandle heldRoot = OpenOwnRoot(root, false);
        if (!heldRoot) return;
        WIN32_FIND_DATAW found;
        UniqueFindHandle search(::FindFirstFileW((root + L"\\*").c_str(), &found));
        if (!search) return;
        do {
            const DWORD attributes = found.dwFileAttributes;
            if (!IsRemovableRunFolder(found.cFileName, attributes & FILE_ATTRIBUTE_DIRECTORY,
                                      attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                continue;
            }
            // Judged again through a handle that keeps it in place: the listing may be stale.
            const std::wstring folder = root + L"\\" + found.cFileName;
            const UniqueHandle heldFolder = OpenEntryItself(folder);
            if (!heldFolder || !IsPlainFolder(heldFolder.get())) continue;
            // A live run holds its lock open without delete sharing, so this fails while it lives.
            const std::wstring lock = folder + L"\\" + kRunLockName;
            if (::DeleteFileW(lock.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) {
                abandoned.push_back(folder);
            }
        } while (::FindNextFileW(search.get(), &found));
    }
    // Outside the guard: a folder whose lock is gone never becomes live again. Each entry is
    // judged once more as it is removed, so a folder swapped for a junction meanwhile loses only
    // the junction.
    for (const std::wstring& folder : abandoned) RemoveFolderTree(folder, false);
    const UserMutex guard(kTempFolderMutex, kTempFolderWaitMs);
    ::RemoveDirectoryW(root.c_str());
}

}  // namespace

std::wstring UserTempFolder() {
    std::vector<wchar_t> temp(32768);
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    if (length == 0 || length >= temp.size()) return L"";
    std::vector<wchar_t> full(32768);
    const DWORD fullLength =
        ::GetFullPathNameW(temp.data(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (fullLength == 0 || fullLength >= full.size()) return L"";
    std::wstring path(full.data(), fullLength);
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return ExtendedLengthPath(path);
}

RunFolder::RunFolder(Use use) : root_(ChooseRoot(use)) {
    if (root_.empty()) return;
    const UserMutex guard(kTempFolderMutex, kTempFolderWaitMs);
    // Held while the run folder is made in it, so it stays the folder that was checked.
    UniqueHandle heldRoot = MakeOwnRoot(root_);
    if (!heldRoot) {
        // Another user's, or not a folder: Windows' default temporary folder of this user instead.
        const std::wstring fallback = DefaultTempRoot();
        if (fallback.empty() || fallback == root_) return;
        root_ = fallback;
        heldRoot = MakeOwnRoot(root_);
        if (!heldRoot) return;
    }
    for (int tries = 0; tries < kNameTries && path_.empty(); ++tries) {
        const std::wstring candidate =
            root_ + L"\\" +
            RunFolderName(::GetCurrentProcessId(),
                          ::GetTickCount64() + static_cast<unsigned>(tries));
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
        } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return;
        }
    }
    if (path_.empty()) return;
    lock_.reset(::CreateFileW((path_ + L"\\" + kRunLockName).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!lock_) {
        ::RemoveDirectoryW(path_.c_str());
        path_.clear();
    }
}

RunFolder::~RunFolder() {
    if (path_.empty()) return;
    lock_.reset();
    RemoveFolderTree(path_, true);
    const UserMutex guard(kTempFolderMutex, kTempFolderWaitMs);
    ::RemoveDirectoryW(root_.c_str());  // only when empty: another run may work in it
}

void RemoveLeftoverRunFolders() {
    const std::wstring roots[] = {HostTempRoot(), DefaultTempRoot()};
    for (const std::wstring& root : roots) {
        if (root.empty() || (&root != &roots[0] && root == roots[0])) continue;
        RemoveLeftoversIn(root);
    }
}

}  // namespace zendro
