// Test helper: unzip_to_folder.exe <archive> <folder> unpacks an archive the way the update does
// and prints ExtractZipToFolder's result code.

#include <cstdio>
#include <string>

#include "update/package_win.h"
#include "update/unzip_win.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const zendro::UniqueUnzFile archive = zendro::OpenZipArchive(argv[1]);
    const int result = zendro::ExtractZipToFolder(archive.get(), argv[2]);
    std::printf("opened=%d result=%d\n", archive ? 1 : 0, result);
    return 0;
}
