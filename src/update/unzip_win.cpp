#include "update/unzip_win.h"

#include <cstdio>

namespace zendro {
namespace {

// minizip's own 64-bit file functions, except that the path it passes through is UTF-16.
voidpf ZCALLBACK OpenWidePath(voidpf, const void* path, int mode) {
    const wchar_t* openMode = nullptr;
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) {
        openMode = L"rb";
    } else if (mode & ZLIB_FILEFUNC_MODE_EXISTING) {
        openMode = L"r+b";
    } else if (mode & ZLIB_FILEFUNC_MODE_CREATE) {
        openMode = L"wb";
    }
    if (path == nullptr || openMode == nullptr) return nullptr;
    return _wfopen(static_cast<const wchar_t*>(path), openMode);
}

}  // namespace

UniqueUnzFile OpenZipArchive(const std::wstring& path) {
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = OpenWidePath;
    return UniqueUnzFile(unzOpen2_64(path.c_str(), &functions));
}

}  // namespace zendro
