#include "win/files_win.h"

#include <cstdio>
#include <new>

#include "win/owners_win.h"

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

}  // namespace zendro
