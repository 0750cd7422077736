#include "win/log_win.h"

#include <windows.h>

#include <cstdio>

#include "base/log.h"
#include "win/owners_win.h"
#include "win/shell_win.h"
#include "win/user_mutex_win.h"

namespace zendro {
namespace {

constexpr wchar_t kLogFolderName[] = L"\\ZendroWebHost";
constexpr wchar_t kLogFileName[] = L"\\host.log";
constexpr wchar_t kOldLogSuffix[] = L".1";
// Held while a host checks the size, maybe moves the log aside, and appends its line: hosts of
// one user then never write into a file that another is moving, nor into each other's lines.
constexpr wchar_t kLogMutexName[] = L"Local\\ZendroWebHost.log";
constexpr DWORD kLogMutexWaitMs = 2000;

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

void AppendToLog(const std::string& line) {
    const std::wstring folder = LogFolder();
    if (folder.empty()) return;
    ::CreateDirectoryW(folder.c_str(), nullptr);  // already there, most times
    const std::wstring path = folder + kLogFileName;

    const NamedMutex turn(kLogMutexName, kLogMutexWaitMs);
    if (turn.held()) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
            ShouldRotateLog((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                            line.size())) {
            ::MoveFileExW(path.c_str(), (path + kOldLogSuffix).c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    // Append-only access: each write lands whole at the end, even from a host that could not
    // wait for the mutex.
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
