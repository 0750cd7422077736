#pragma once

// Decisions about the files a run of the host makes: how long to wait for a file that another
// program holds for a moment, what the host's own temporary folder may hold and which of it a
// later run may remove, and the path forms that reach past 260 characters.

#include <cstdint>
#include <string>
#include <string_view>

namespace zendro {

// Virus scanners and indexers open a freshly written file for a moment. An operation on such a
// file is tried again for this long in all, with pauses that grow from the first to the last.
inline constexpr unsigned kBusyRetryBudgetMs = 6000;
inline constexpr unsigned kBusyFirstPauseMs = 20;
inline constexpr unsigned kBusyLongestPauseMs = 1000;

// The pause before the next try after `failedTries` (1 or more) tries that met a busy file, of
// which the pauses so far took `waitedMs`; 0 means give up. The last pause is shortened so the
// wait ends at the budget.
unsigned NextBusyPauseMs(unsigned failedTries, unsigned waitedMs);

// Whether a Windows error code says that another program holds the file (sharing or lock
// violation, access denied), which passes, rather than that the operation cannot succeed.
bool IsBusyError(unsigned long error);

// The host's own folder in the user's temporary folder; each run works in a folder of its own
// below it, named by RunFolderName, holding kRunLockName open for as long as the run lives.
inline constexpr wchar_t kHostTempFolderName[] = L"ZendroWebHost";
inline constexpr wchar_t kRunLockName[] = L"run.lock";

// "run-" + the process id and a time stamp in hexadecimal: unique enough that a collision is only
// retried, and telling whose it was when someone looks.
std::wstring RunFolderName(std::uint32_t processId, std::uint64_t stamp);

// Whether an entry of the host's temporary folder is a run folder that a later run may remove
// once its lock shows that its owner is gone: a plain folder (never a link or junction, which
// could lead anywhere) with a name that RunFolderName makes.
bool IsRemovableRunFolder(std::wstring_view name, bool isDirectory, bool isReparsePoint);

// What a removal does with an entry it opened (itself, never what a link leads to), judged by the
// attributes read through that handle rather than by an earlier listing, which may be stale: a
// plain folder is emptied and then removed; a file, and a link or junction even to a folder, is
// removed itself. Nothing behind a reparse point is ever reached.
enum class SweepStep { kEmptyThenRemove, kRemoveItself };
SweepStep SweepStepFor(bool isDirectory, bool isReparsePoint);

// The security descriptor (SDDL) the host's temporary folder is made with: owned by the user, and
// open to the user and SYSTEM alone, with nothing inherited from the folder above (a shared
// C:\Temp lets every user create entries there); all it holds inherits the same. "" when the
// user's SID is unknown.
std::wstring OwnFolderSecurity(std::wstring_view userSid);

// Whether a host's temporary folder found in place (not made by this run) may be used: only when
// its owner is the user. One made first by another user may carry an access list that lets them
// change what is downloaded into it; the host then works elsewhere.
bool IsUsersOwnFolder(std::wstring_view ownerSid, std::wstring_view userSid);

// An absolute path in the form that Win32 file functions take past 260 characters: "\\?\" before
// a drive path, "\\?\UNC\" for a share. Paths already in that form, and relative ones, stay as
// they are. The path must be fully resolved (no "." or ".." parts, backslashes only).
std::wstring ExtendedLengthPath(const std::wstring& path);

// The inverse, for programs and shell calls that do not take the extended form.
std::wstring WithoutExtendedPrefix(const std::wstring& path);

}  // namespace zendro
