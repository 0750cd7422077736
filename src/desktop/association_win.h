#pragma once

#include <windows.h>

#include "desktop/association.h"

namespace zendro {

// Whether Windows opens .torrent files and magnet links with this executable: the per-user
// association points here, and the user's choice for each type is unmade or names a class that
// starts this executable.
bool CheckDefaultApplication();

// Removes the association and the registration for Default apps, then writes both anew for this
// executable and tells the shell. When the user's choice names another program for either type,
// opens Windows' Default apps page for this host, where only the user can change it. 0 on success,
// -1 on any failure (what was written until then stays; a page that cannot be opened is one).
// Hosts that set or unset it at the same moment take turns, so one's removal never pulls keys
// from under another's writing.
int SetDefaultApplication();

// Removes the .torrent, class and magnet trees whole, whoever wrote into them, and the host's
// registration for Default apps (no other program's), then tells the shell.
void UnsetDefaultApplication();

// The user's choice for one of ChosenTypesOfTheHost(), for the report.
UserChoice ReadUserChoiceOf(const ChosenType& type);

// Whether the host's registration for Default apps is complete and names this executable.
bool IsRegisteredCandidate();

// Deletes parent\name with every subkey below it; ERROR_SUCCESS when all of it is gone, else the
// status of the step that failed (ERROR_FILE_NOT_FOUND when the key does not exist).
LONG DeleteKeyTree(HKEY parent, const wchar_t* name);

}  // namespace zendro
