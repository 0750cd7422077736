#include "win/run_folder_win.h"

#include <windows.h>

#include <vector>

#include "base/run_files.h"
#include "win/files_win.h"
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

bool IsPlainFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Removes the run folders in `root` whose owners are gone, and `root` when it is left empty.
void RemoveLeftoversIn(const std::wstring& root) {
    if (!IsPlainFolder(root)) return;
    std::vector<std::wstring> abandoned;
    {
        const UserMutex guard(kTempFolderMutex, kTempFolderWaitMs);
        WIN32_FIND_DATAW found;
        UniqueFindHandle search(::FindFirstFileW((root + L"\\*").c_str(), &found));
        if (!search) return;
        do {
            const DWORD attributes = found.dwFileAttributes;
            if (!IsRemovableRunFolder(found.cFileName, attributes & FILE_ATTRIBUTE_DIRECTORY,
                                      attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                continue;
            }
            const std::wstring folder = root + L"\\" + found.cFileName;
            // A live run holds its lock open without delete sharing, so this fails while it lives.
            const std::wstring lock = folder + L"\\" + kRunLockName;
            if (::DeleteFileW(lock.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) {
                abandoned.push_back(folder);
            }
        } while (::FindNextFileW(search.get(), &found));
    }
    // Outside the guard: a folder whose lock is gone never becomes live again.
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
    ::CreateDirectoryW(root_.substr(0, root_.rfind(L'\\')).c_str(), nullptr);  // may be missing
    ::CreateDirectoryW(root_.c_str(), nullptr);
    if (!IsPlainFolder(root_)) return;  // a file or a link in its place: not ours to use
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
