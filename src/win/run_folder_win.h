#pragma once

#include <string>

#include "win/owners_win.h"

namespace zendro {

// The user's temporary folder, resolved and in extended-length form ("\\?\C:\..."), without a
// trailing backslash; "" when Windows names none.
std::wstring UserTempFolder();

// A folder of this run's own below <temp>\ZendroWebHost, for downloads and unpacking. While the
// run lives, it holds the folder's lock file open without delete sharing: that is how later runs
// tell a live run's folder from one left by a run that was killed or crashed. Whatever way the run
// ends, the folder goes with its owner (waiting a moment for files that a scanner holds), and the
// host's folder too when no other run uses it.
class RunFolder {
  public:
    // What the folder will hold. Windows starts no program from a path of 260 characters or
    // more (CreateProcessW refuses the extended form; short names help on Windows, not under
    // Wine), so a folder for a program to be started goes, when the user's temporary folder is
    // that deep, to Windows' default one (the local application-data folder's "Temp") instead.
    enum class Use { kFiles, kProgramToStart };

    // Makes the folder; `path()` is "" when it could not be made.
    explicit RunFolder(Use use = Use::kFiles);
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // In extended-length form, without a trailing backslash.
    const std::wstring& path() const { return path_; }

  private:
    std::wstring root_;
    std::wstring path_;
    UniqueHandle lock_;
};

// Removes what earlier runs left in the host's temporary folders: every run folder whose lock file
// can be deleted (its owner is gone). A live run's folder, links and junctions, and anything
// outside that folder are never touched.
void RemoveLeftoverRunFolders();

}  // namespace zendro
