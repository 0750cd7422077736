#pragma once

#include <windows.h>

#include <string>

#include "base/run_files.h"
#include "win/owners_win.h"

namespace zendro {

// The whole file as bytes, read with one read after learning its size. False when it cannot be
// opened, its size is unknown or 0, memory runs short, or fewer bytes arrive; `contents` is then
// left alone.
bool ReadWholeFile(const std::wstring& path, std::string& contents);

// Runs `operation` (true on success, its reason in GetLastError otherwise) again while it fails
// because another program holds the file, with growing pauses, for a few seconds at most. Any
// other failure ends it at once. The last error stays that of the last try.
template <typename Operation>
bool RetryWhileBusy(Operation&& operation) {
    unsigned waitedMs = 0;
    for (unsigned failedTries = 1;; ++failedTries) {
        if (operation()) return true;
        const DWORD error = ::GetLastError();
        const unsigned pause = IsBusyError(error) ? NextBusyPauseMs(failedTries, waitedMs) : 0;
        if (pause == 0) {
            ::SetLastError(error);
            return false;
        }
        ::Sleep(pause);
        waitedMs += pause;
    }
}

// Clears the read-only attribute, which would make deleting or replacing the file fail.
void ClearReadOnly(const std::wstring& path);

// Deletes a file the host made or is about to replace, read-only or not, waiting while another
// program holds it. True when the file is gone, also when it was not there.
bool DeleteFileWhenFree(const std::wstring& path);

// Removes a folder with everything in it, each entry through a handle to the entry itself. Links
// and junctions, inside or in the folder's own place, are removed themselves, never followed.
// With `waitForBusy` each entry that another program holds is waited for (files the run itself
// made); without, it is left (what another run left: the next run tries again).
bool RemoveFolderTree(const std::wstring& folder, bool waitForBusy);

// Opens the entry itself, a link or junction rather than what it leads to, for reading its
// attributes and deleting it; while the handle lives, no other program can rename or delete it.
UniqueHandle OpenEntryItself(const std::wstring& path);

// Whether the opened entry is a folder and no reparse point.
bool IsPlainFolder(HANDLE entry);

// The file this code was loaded from, exactly as the loader reports it; false when the path is
// unknown or may have been cut short.
bool GetHostExecutablePath(std::wstring& path);

// Whether both files can be read and hold the same bytes.
bool SameFileContents(const std::wstring& first, const std::wstring& second);

// Opens a file for reading while denying every other program the right to write, rename or
// delete it, so what is checked through the handle stays what is used by its path until the
// handle goes. Waits while another program holds the file.
UniqueHandle OpenHeldForReading(const std::wstring& path);

}  // namespace zendro
