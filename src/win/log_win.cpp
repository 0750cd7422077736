#include "win/log_win.h"

#include <windows.h>

#include <cstdio>
#include <string_view>
#include <vector>

#include "base/log.h"
#include "win/late_binding_win.h"
#include "win/owners_win.h"
#include "win/shell_win.h"
#include "win/user_mutex_win.h"

namespace zendro {
namespace {

constexpr wchar_t kLogFolderName[] = L"\\ZendroWebHost";
constexpr wchar_t kLogFileName[] = L"\\host.log";
constexpr wchar_t kOldLogSuffix[] = L".1";
// Held while a host checks the size, moves the log aside or cuts it back, and appends its line:
// hosts of one user then never write into a file that another is moving or cutting, nor into each
// other's lines. A line that cannot have its turn within the wait goes to standard error only, so
// a stuck holder costs each line that wait and never lets the file grow unchecked.
constexpr wchar_t kLogMutexName[] = L"Log";
constexpr DWORD kLogTurnWaitMs = 250;

std::string& Context() {
    static std::string context = "run";
    return context;
}

LogTime UtcNow() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

// Keeps the newest lines of the last half of the limit: for a log that cannot move aside.
void CutBack(const std::wstring& path) {
    const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return;
    const uint64_t offset = LogCutBackOffset(static_cast<uint64_t>(size.QuadPart));
    std::vector<char> kept(static_cast<size_t>(static_cast<uint64_t>(size.QuadPart) - offset));
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    if (!::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.get(), kept.data(), static_cast<DWORD>(kept.size()), &read, nullptr)) {
        return;
    }
    const std::string_view lines = WholeLinesFrom({kept.data(), read}, offset);
    DWORD written = 0;
    at.QuadPart = 0;
    if (::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
        ::WriteFile(file.get(), lines.data(), static_cast<DWORD>(lines.size()), &written,
                    nullptr) &&
        written == lines.size()) {
        ::SetEndOfFile(file.get());
    }
}

void AppendToLog(const std::string& line) {
    // The folder from the shell, the turn's name from the user's token: bound here, so that a
    // system lacking either keeps the line on standard error rather than end the run.
    if (!BindLibraries({"shell32.dll", "advapi32.dll"})) return;
    const std::wstring folder = LogFolder();
    if (folder.empty()) return;
    ::CreateDirectoryW(folder.c_str(), nullptr);  // already there, most times
    const std::wstring path = folder + kLogFileName;

    const UserMutex turn(kLogMutexName, kLogTurnWaitMs);
    if (!turn.held()) return;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        ShouldRotateLog((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow, line.size()) &&
        !::MoveFileExW(path.c_str(), (path + kOldLogSuffix).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        CutBack(path);
    }
    // Append-only access: each write lands whole at the end.
    const UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        DWORD written = 0;
        ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

}  // namespace

void SetLogContext(std::string context) { Context() = std::move(context); }

void WriteLogLine(const std::string& message) {
    const std::string line = FormatLogLine(UtcNow(), ::GetCurrentProcessId(), Context(), message);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    AppendToLog(line);
}

void LogFailure(const Result& result) {
    if (!result.ok()) WriteLogLine(result.Describe());
}

std::wstring LogFolder() {
    const std::wstring local = LocalAppDataFolder();
    return local.empty() ? local : local + kLogFolderName;
}

std::wstring LogFilePath() {
    const std::wstring folder = LogFolder();
    return folder.empty() ? L"" : folder + kLogFileName;
}

}  // namespace zendro
