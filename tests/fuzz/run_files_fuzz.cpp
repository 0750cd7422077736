// Names found in the host's temporary folder, as any bytes read two at a time as UTF-16 units
// (anyone running as the user can put any name there). Only names that RunFolderName makes are
// ever removable, never a link; and the extended-length form of a path undoes to the path.

#include <cstdint>
#include <string>

#include "base/run_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring name(size / 2, L'\0');
    for (size_t i = 0; i < name.size(); ++i) {
        name[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    if (zendro::IsRemovableRunFolder(name, true, true)) __builtin_trap();
    if (zendro::IsRemovableRunFolder(name, false, false)) __builtin_trap();
    if (zendro::IsRemovableRunFolder(name, true, false)) {
        if (name.compare(0, 4, L"run-") != 0 ||
            name.find_first_of(L"\\/:.") != std::wstring::npos) {
            __builtin_trap();
        }
    }
    const std::wstring extended = zendro::ExtendedLengthPath(name);
    if (zendro::ExtendedLengthPath(extended) != extended) __builtin_trap();
    if (extended != name && zendro::WithoutExtendedPrefix(extended) != name) __builtin_trap();
    return 0;
}
