#pragma once

#include <string>

namespace zendro {

// The user's Downloads folder: the profile folder + "\Downloads" (just "\Downloads" when the
// profile folder is unknown).
std::wstring GetDefaultDownloadsDirectory();

// Lets the user choose a folder in the shell's folder dialog. Returns the folder's path, "Cancel"
// when the dialog was closed, "invalid" when the choice has no file-system path, or "invalid"
// directly followed by the path when the path's attributes cannot be read.
std::wstring SelectDownloadFolder();

// Shows a folder, or the folder holding a file, in the shell and waits for the process the shell
// started for it. False when there is no existing folder to show or the shell could not show it.
bool OpenContainingFolder(const std::wstring& path);

}  // namespace zendro
