#pragma once

// The system DLLs that only some commands need are bound at their first call (delay-load, see
// cmake/windows.cmake). A DLL that cannot be bound there (missing, denied, or lacking the function)
// must not crash the run: operations bind what they need before they start and fail as a value
// when that fails, and whatever still fails at a first call ends the run with the reply owed.

#include <initializer_list>
#include <string>

namespace zendro {

// The DLLs (file names, e.g. "version.dll") as the delay-load helper itself would load them, kept
// loaded for the rest of the run; false when any cannot be.
bool BindLibraries(std::initializer_list<const char*> dlls);

// BindLibraries for what every transfer calls into: Winsock and Schannel under libcurl, the
// certificate check (with the host name's ASCII form), and libsodium's random numbers.
bool BindTransferLibraries();

// From now on a DLL or function that cannot be bound at its first call ends the run with
// EndRunWithOwedReply.
void EndRunWhenABindingFails();

// What to write to standard output, and the exit code, should the run end early (a binding that
// fails, an exception nobody caught): the reply the command owes when it fails. None at first.
void OweReply(std::string frame, int exitCode = 0);

// Writes the owed reply and gives the exit code that goes with it; what main returns, or the
// process exits with, when the run cannot go on.
int WriteOwedReply();

}  // namespace zendro
