#pragma once

#include <functional>
#include <optional>
#include <string>

namespace zendro {

inline constexpr wchar_t kDownloadsTail[] = L"\\Downloads";
inline constexpr wchar_t kZendroDownloadsTail[] = L"\\Zendro Downloads";

// The folder dialog's title and the words it answers with when no usable folder was chosen.
inline constexpr wchar_t kSelectFolderTitle[] = L"Select download folder";
inline constexpr wchar_t kFolderChoiceCancelled[] = L"Cancel";
inline constexpr wchar_t kFolderChoiceInvalid[] = L"invalid";

// The long-path form "\\?\" + path must fit, with its terminating NUL, in the 1,023 units that the
// fixed 1,024-unit buffer lets us write. Longer paths have no prefixed form.
inline constexpr size_t kPrefixedPathCapacity = 1024;
std::optional<std::wstring> PrefixedPath(const std::wstring& path);

// The folder part of a path: everything before its last "\" or "/". A root keeps its separator
// ("C:\x" gives "C:\", "\x" gives "\"), since "C:" alone names the drive's current directory.
// A path without any separator has no containing folder.
std::optional<std::wstring> ContainingFolder(const std::wstring& path);

// The shell's classic calls take paths of fewer than MAX_PATH units; some shells (Wine's) crash
// on longer ones.
inline constexpr size_t kShellPathLimit = 260;

enum class PathKind { kMissing, kFolder, kOther };
using PathKindLookup = std::function<PathKind(const std::wstring&)>;

// The folder to show for a path: the path itself when it is a folder, else the folder holding it.
// Nothing when the path is missing, or when what would be shown is not an existing folder, so
// that a file is never handed to the shell (its "open" verb would run it), or is too long for the
// shell.
std::optional<std::wstring> FolderToShow(const std::wstring& path, const PathKindLookup& kindOf);

// The dialog's answer: the chosen path, or "invalid" in front of it when its attributes cannot
// be read.
std::wstring FolderChoiceText(const std::wstring& path, bool attributesReadable);

}  // namespace zendro
