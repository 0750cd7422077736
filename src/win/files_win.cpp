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

UniqueHandle OpenEntryItself(const std::wstring& path) {
    return UniqueHandle(::CreateFileW(
        path.c_str(),
        DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool IsPlainFolder(HANDLE entry) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(entry, &info) &&
           SweepStepFor(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY,
                        info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ==
               SweepStep::kEmptyThenRemove;
}

namespace {

// Marks the entry behind the handle for deletion when its last handle closes; a read-only one
// loses that attribute first, which would refuse it.
bool DeleteByHandle(HANDLE entry, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO basic{};  // times of 0 stay as they are
        basic.FileAttributes = (attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(entry, FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
}

// The names in the opened folder, read through its handle.
std::vector<std::wstring> NamesIn(HANDLE folder) {
    std::vector<std::wstring> names;
    std::vector<ULONGLONG> buffer(8192);  // 64 KiB, aligned for the records
    const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof buffer[0]);
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
         ::GetFileInformationByHandleEx(folder, kind, buffer.data(), bytes);
         kind = FileIdBothDirectoryInfo) {
        const auto* record = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
            const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") names.push_back(name);
            if (info->NextEntryOffset == 0) break;
            record += info->NextEntryOffset;
        }
    }
    return names;
}

// Each entry is opened itself and judged by what the handle shows. A folder stays open, without
// delete sharing, while what it holds is removed by paths through it: it cannot be renamed or
// swapped for a junction meanwhile, so those paths lead only inside it.
bool RemoveEntry(const std::wstring& path, bool waitForBusy) {
    const auto attempt = [waitForBusy](auto&& operation) {
        return waitForBusy ? RetryWhileBusy(operation) : operation();
    };
    UniqueHandle entry;
    if (!attempt([&] { return static_cast<bool>(entry = OpenEntryItself(path)); })) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(entry.get(), &info)) return false;
    const DWORD attributes = info.dwFileAttributes;
    if (SweepStepFor(attributes & FILE_ATTRIBUTE_DIRECTORY,
                     attributes & FILE_ATTRIBUTE_REPARSE_POINT) == SweepStep::kEmptyThenRemove) {
        for (const std::wstring& name : NamesIn(entry.get())) {
            RemoveEntry(path + L"\\" + name, waitForBusy);
        }
    }
    return attempt([&] { return DeleteByHandle(entry.get(), attributes); });
}

}  // namespace

bool RemoveFolderTree(const std::wstring& folder, bool waitForBusy) {
    return RemoveEntry(folder, waitForBusy);
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
