// Holds a file open for a while, as a virus scanner or an indexer does with a file that was just
// written: hold_file <milliseconds> <share: none|read> <folder> <name>. Waits up to 60 s for a file
// called <name> anywhere below <folder> that it can open (links are not followed), opens it for
// reading with that sharing (none: nobody else may open it; read: others may read but not write,
// rename or delete it), prints "held <path>", keeps it open for <milliseconds>, closes it, prints
// "released" and exits 0; exits 1 (printing "nothing held") when it found none in time.

#include <cstdio>
#include <cwchar>
#include <string>

#include "helper_files_win.h"

using namespace zendro;

namespace {

// The first file called `name` below `folder` that opens with `share`.
HANDLE OpenFirst(const std::wstring& folder, const std::wstring& name, DWORD share,
                 std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    HANDLE file = INVALID_HANDLE_VALUE;
    do {
        const std::wstring entry = found.cFileName;
        if (entry == L"." || entry == L"..") continue;
        const std::wstring candidate = folder + L"\\" + entry;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            file = OpenFirst(candidate, name, share, path);
        } else if (_wcsicmp(entry.c_str(), name.c_str()) == 0) {
            file = ::CreateFileW(candidate.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) path = candidate;
        }
    } while (file == INVALID_HANDLE_VALUE && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return file;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) return 2;
    const DWORD milliseconds = std::wcstoul(argv[1], nullptr, 10);
    const DWORD share = std::wstring(argv[2]) == L"read" ? FILE_SHARE_READ : 0;
    std::wstring path;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 60000 && file == INVALID_HANDLE_VALUE; ++tries) {
        file = OpenFirst(argv[3], argv[4], share, path);
        if (file == INVALID_HANDLE_VALUE) ::Sleep(1);
    }
    if (file == INVALID_HANDLE_VALUE) {
        std::puts("nothing held");
        return 1;
    }
    std::printf("held %s\n", ToNarrow(path).c_str());
    std::fflush(stdout);
    ::Sleep(milliseconds);
    ::CloseHandle(file);
    std::puts("released");
    return 0;
}
