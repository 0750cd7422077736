#pragma once

// The zip reader, opened on UTF-16 paths and held by an owner.

#include <string>

#include <minizip/unzip.h>

#include "win/unique_resource.h"

namespace zendro {

struct UnzipTraits {
    using Value = unzFile;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) {
        unzCloseCurrentFile(v);  // an entry may still be open after a failed extraction
        unzClose(v);
    }
};
using UniqueUnzFile = UniqueResource<UnzipTraits>;

// Opens an archive by its UTF-16 path; no owner holds anything when it is not a readable zip.
UniqueUnzFile OpenZipArchive(const std::wstring& path);

}  // namespace zendro
