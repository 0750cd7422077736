#include "base/run_files.h"

#include <algorithm>

namespace zendro {
namespace {

constexpr wchar_t kRunFolderPrefix[] = L"run-";
constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

// Windows' codes: ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION.
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kSharingViolation = 32;
constexpr unsigned long kLockViolation = 33;

bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool StartsWith(std::wstring_view text, std::wstring_view start) {
    return text.substr(0, start.size()) == start;
}

std::wstring Hex(std::uint64_t value) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

}  // namespace

unsigned NextBusyPauseMs(unsigned failedTries, unsigned waitedMs) {
    if (failedTries == 0 || waitedMs >= kBusyRetryBudgetMs) return 0;
    unsigned pause = kBusyFirstPauseMs;
    for (unsigned i = 1; i < failedTries && pause < kBusyLongestPauseMs; ++i) pause *= 2;
    pause = std::min(pause, kBusyLongestPauseMs);
    return std::min(pause, kBusyRetryBudgetMs - waitedMs);
}

bool IsBusyError(unsigned long error) {
    return error == kAccessDenied || error == kSharingViolation || error == kLockViolation;
}

std::wstring RunFolderName(std::uint32_t processId, std::uint64_t stamp) {
    return kRunFolderPrefix + Hex(processId) + L"-" + Hex(stamp);
}

bool IsRemovableRunFolder(std::wstring_view name, bool isDirectory, bool isReparsePoint) {
    if (!isDirectory || isReparsePoint || !StartsWith(name, kRunFolderPrefix)) return false;
    const std::wstring_view rest = name.substr(std::wstring_view(kRunFolderPrefix).size());
    const size_t dash = rest.find(L'-');
    if (dash == std::wstring_view::npos || dash == 0 || dash + 1 == rest.size()) return false;
    const auto allHex = [](std::wstring_view part) {
        return part.size() <= 16 && std::all_of(part.begin(), part.end(), IsHexDigit);
    };
    return allHex(rest.substr(0, dash)) && allHex(rest.substr(dash + 1));
}

SweepStep SweepStepFor(bool isDirectory, bool isReparsePoint) {
    return isDirectory && !isReparsePoint ? SweepStep::kEmptyThenRemove : SweepStep::kRemoveItself;
}

std::wstring OwnFolderSecurity(std::wstring_view userSid) {
    if (userSid.empty()) return L"";
    const std::wstring user(userSid);
    // P: protected, nothing inherited; OICI: files and folders below inherit each entry; FA: all
    // access; SY: LocalSystem.
    return L"O:" + user + L"D:P(A;OICI;FA;;;" + user + L")(A;OICI;FA;;;SY)";
}

bool IsUsersOwnFolder(std::wstring_view ownerSid, std::wstring_view userSid) {
    return !userSid.empty() && ownerSid == userSid;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (StartsWith(path, kExtendedPrefix) || StartsWith(path, kDevicePrefix)) return path;
    if (StartsWith(path, L"\\\\")) return std::wstring(kExtendedUncPrefix) + path.substr(2);
    const bool drivePath =
        path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return drivePath ? std::wstring(kExtendedPrefix) + path : path;
}

std::wstring WithoutExtendedPrefix(const std::wstring& path) {
    if (StartsWith(path, kExtendedUncPrefix))
        return L"\\\\" + path.substr(kExtendedUncPrefix.size());
    if (StartsWith(path, kExtendedPrefix)) return path.substr(kExtendedPrefix.size());
    return path;
}

}  // namespace zendro
