#include "update/version_win.h"

#include <cstdio>
#include <windows.h>

#include "base/text.h"
#include "win/owners_win.h"

namespace zendro {

bool GetFileVersionString(const std::wstring& path, std::string& version) {
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    if (size == 0) return false;
    UniqueLocalMemory block(LocalAlloc(LMEM_ZEROINIT, size));
    if (!block) return false;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.get())) return false;

    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT translationBytes = 0;
    if (!VerQueryValueA(block.get(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &translationBytes) ||
        translations == nullptr || translationBytes < sizeof(Translation)) {
        return false;
    }

    char key[1024] = {};
    std::snprintf(key, sizeof key - 1, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, "FileVersion");
    char* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueA(block.get(), key, reinterpret_cast<void**>(&value), &valueLength) ||
        value == nullptr) {
        return false;
    }
    std::string text(value);
    ReplaceAll(text, ",", ".");
    version = std::move(text);
    return true;
}

}  // namespace zendro
