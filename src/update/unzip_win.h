#pragma once

// The zip reader, opened on UTF-16 paths and held by an owner.

#include <string>

#include <minizip/unzip.h>

#include "base/unique_resource.h"

namespace zendro {

inline void CloseZipArchive(unzFile archive) {
    unzCloseCurrentFile(archive);  // an entry may still be open after a failed extraction
    unzClose(archive);
}
using UniqueUnzFile = UniqueAny<unzFile, CloseZipArchive>;

// Opens an archive by its UTF-16 path; no owner holds anything when it is not a readable zip.
UniqueUnzFile OpenZipArchive(const std::wstring& path);

}  // namespace zendro
