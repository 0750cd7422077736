#pragma once

// Small file chores shared by the test helper programs (not part of the product).

#include <windows.h>
#include <string>

#include "win/text_win.h"

namespace zendro::helpers {

inline std::wstring OwnPath() {
    wchar_t buffer[1024] = {};
    ::GetModuleFileNameW(nullptr, buffer, 1023);
    return buffer;
}

inline bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1023);
    return length > 0 && length < 1023 ? std::wstring(buffer, length) : std::wstring();
}

inline bool WriteBytes(const std::wstring& path, DWORD access, DWORD disposition,
                       const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

// Appends one UTF-8 line; false when the file cannot be written.
inline bool AppendLine(const std::wstring& path, const std::wstring& line) {
    return WriteBytes(path, FILE_APPEND_DATA, OPEN_ALWAYS, ToNarrow(line) + "\n");
}

// Replaces the file's content.
inline bool WriteText(const std::wstring& path, const std::string& text) {
    return WriteBytes(path, GENERIC_WRITE, CREATE_ALWAYS, text);
}

}  // namespace zendro::helpers
