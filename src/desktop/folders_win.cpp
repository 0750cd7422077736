#include "desktop/folders_win.h"

#include <array>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "desktop/folders.h"
#include "win/log_win.h"
#include "win/result_win.h"
#include "win/shell_win.h"

namespace zendro {

namespace {

// The host has no window of its own: keep the dialog above the browser.
int CALLBACK BrowseCallback(HWND window, UINT, LPARAM, LPARAM) {
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    return 0;
}

// The long-path form is asked first, so that paths past MAX_PATH are found; relative paths and
// forward slashes, which that form does not normalise, and paths too long for it fall back to
// the plain form.
PathKind KindOf(const std::wstring& path) {
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (const std::optional<std::wstring> prefixed = PrefixedPath(path)) {
        attributes = ::GetFileAttributesW(prefixed->c_str());
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (path.empty() || !::PathFileExistsW(path.c_str())) return PathKind::kMissing;
        return ::PathIsDirectoryW(path.c_str()) ? PathKind::kFolder : PathKind::kOther;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kOther;
}

}  // namespace

std::wstring GetDefaultDownloadsDirectory() {
    std::array<wchar_t, 1024> profile{};
    // On failure the buffer stays empty and the result is "\Downloads" alone.
    ::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile.data());
    return std::wstring(profile.data()) + kDownloadsTail;
}

std::wstring SelectDownloadFolder() {
    const ShellComScope com;
    // No owner, not even the browser window that Chrome names with --parent-window: a modal
    // dialog disables its owner, and Chrome ends a host whenever the extension's port closes, so
    // a host ended with its dialog open would leave that window disabled. Topmost instead.
    BROWSEINFOW info{};
    info.lpszTitle = kSelectFolderTitle;
    info.lpfn = BrowseCallback;
    const UniqueShellItemList item(::SHBrowseForFolderW(&info));
    if (!item) return kFolderChoiceCancelled;

    std::array<wchar_t, MAX_PATH> path{};
    if (!::SHGetPathFromIDListW(item.get(), path.data())) return kFolderChoiceInvalid;
    const bool readable = ::GetFileAttributesW(path.data()) != INVALID_FILE_ATTRIBUTES;
    return FolderChoiceText(path.data(), readable);
}

bool OpenContainingFolder(const std::wstring& path) {
    const std::optional<std::wstring> folder = FolderToShow(path, KindOf);
    if (!folder) {
        // The path is the user's: the log does not show it.
        LogFailure(
            Result::Failed("the folder to show", "the path names no existing folder or file"));
        return false;
    }
    UniqueHandle process;
    if (!ShellOpen(*folder, L"", SW_SHOW, process)) {
        LogFailure(FailedWithLastError("opening the folder through the shell"));
        return false;
    }
    // The shell may have handed the folder to a running process and made none.
    if (process) ::WaitForSingleObject(process.get(), INFINITE);
    return true;
}

}  // namespace zendro
