#include "win/files_win.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "base/module_path.h"

namespace zendro {

bool ReadWholeFile(const std::wstring& path, std::string& contents) {
    UniqueFile file(_wfopen(path.c_str(), L"rb"));
    if (!file) return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.get());
    if (size <= 0) return false;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    contents.swap(bytes);
    return true;
}

void ClearReadOnly(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
    ::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
}

bool DeleteFileWhenFree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;  // no file, and nothing to wait for
    // Cleared at each try: a program that holds the file may keep the attribute from changing.
    if (RetryWhileBusy([&] {
            ClearReadOnly(path);
            return ::DeleteFileW(path.c_str()) != 0;
        })) {
        return true;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool RemoveFolderTree(const std::wstring& folder, bool waitForBusy) {
    const auto attempt = [waitForBusy](auto&& operation) {
        return waitForBusy ? RetryWhileBusy(operation) : operation();
    };
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            const DWORD attributes = found.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_READONLY) ClearReadOnly(path);
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveFolderTree(path, waitForBusy);
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                attempt([&] { return ::RemoveDirectoryW(path.c_str()) != 0; });
            } else {
                attempt([&] { return ::DeleteFileW(path.c_str()) != 0; });
            }
        } while (::FindNextFileW(search.get(), &found));
    }
    search.reset();
    return attempt([&] { return ::RemoveDirectoryW(folder.c_str()) != 0; });
}

bool GetHostExecutablePath(std::wstring& path) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&GetHostExecutablePath), &module)) {
        return false;
    }
    wchar_t buffer[kModulePathUnits] = {};
    const DWORD length =
        ::GetModuleFileNameW(module, buffer, static_cast<DWORD>(kModulePathUnits - 1));
    if (!IsWholeModulePath(length)) return false;
    path.assign(buffer, length);
    return true;
}

bool SameFileContents(const std::wstring& first, const std::wstring& second) {
    const auto open = [](const std::wstring& path) {
        return UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    };
    const UniqueHandle a = open(first);
    const UniqueHandle b = open(second);
    LARGE_INTEGER sizeA{}, sizeB{};
    if (!a || !b || !::GetFileSizeEx(a.get(), &sizeA) || !::GetFileSizeEx(b.get(), &sizeB) ||
        sizeA.QuadPart != sizeB.QuadPart) {
        return false;
    }
    std::vector<char> pieceA(64 * 1024), pieceB(64 * 1024);
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!::ReadFile(a.get(), pieceA.data(), static_cast<DWORD>(pieceA.size()), &readA,
                        nullptr) ||
            !::ReadFile(b.get(), pieceB.data(), static_cast<DWORD>(pieceB.size()), &readB,
                        nullptr) ||
            readA != readB || std::memcmp(pieceA.data(), pieceB.data(), readA) != 0) {
            return false;
        }
        if (readA == 0) return true;
    }
}

UniqueHandle OpenHeldForReading(const std::wstring& path) {
    UniqueHandle file;
    RetryWhileBusy([&] {
        file.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file);
    });
    return file;
}

}  // namespace zendro
