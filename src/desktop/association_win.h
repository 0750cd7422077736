#pragma once

#include <windows.h>

namespace zendro {

// Whether the per-user .torrent and magnet association points at this executable.
bool CheckDefaultApplication();

// Removes the association, then writes it anew for this executable: 0 on success, -1 on any
// failure (what was written until then stays). Hosts that set or unset it at the same moment
// take turns, so one's removal never pulls keys from under another's writing.
int SetDefaultApplication();

// Removes the .torrent, class and magnet trees whole, whoever wrote into them.
void UnsetDefaultApplication();

// Deletes parent\name with every subkey below it; ERROR_SUCCESS when all of it is gone, else the
// status of the step that failed (ERROR_FILE_NOT_FOUND when the key does not exist).
LONG DeleteKeyTree(HKEY parent, const wchar_t* name);

}  // namespace zendro
