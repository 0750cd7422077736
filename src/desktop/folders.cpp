#include "desktop/folders.h"

namespace zendro {

namespace {
constexpr wchar_t kLongPathPrefix[] = L"\\\\?\\";
}

std::optional<std::wstring> PrefixedPath(const std::wstring& path) {
    const size_t prefixLength = sizeof(kLongPathPrefix) / sizeof(wchar_t) - 1;
    if (prefixLength + path.size() + 1 > kPrefixedPathCapacity - 1) return std::nullopt;
    return kLongPathPrefix + path;
}

std::optional<std::wstring> ContainingFolder(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return std::nullopt;
    const bool isRoot = separator == 0 || (separator == 2 && path[1] == L':');
    return path.substr(0, isRoot ? separator + 1 : separator);
}

namespace {
std::optional<std::wstring> FolderOrContainingFolder(const std::wstring& path,
                                                     const PathKindLookup& kindOf) {
    switch (kindOf(path)) {
        case PathKind::kMissing:
            return std::nullopt;
        case PathKind::kFolder:
            return path;
        case PathKind::kOther:
            break;
    }
    const std::optional<std::wstring> folder = ContainingFolder(path);
    if (!folder || kindOf(*folder) != PathKind::kFolder) return std::nullopt;
    return folder;
}
}  // namespace

std::optional<std::wstring> FolderToShow(const std::wstring& path, const PathKindLookup& kindOf) {
    std::optional<std::wstring> folder = FolderOrContainingFolder(path, kindOf);
    if (folder && folder->size() >= kShellPathLimit) return std::nullopt;
    return folder;
}

std::wstring FolderChoiceText(const std::wstring& path, bool attributesReadable) {
    return attributesReadable ? path : kFolderChoiceInvalid + path;
}

}  // namespace zendro
