#include "update/package_win.h"

#include <cstdio>
#include <memory>
#include <new>
#include <windows.h>
#include <objbase.h>

#include "update/entry_name.h"
#include "win/owners_win.h"
#include "win/text_win.h"

namespace zendro {
namespace {

constexpr size_t kCopyBufferBytes = 8192;

// Copies the open entry into `output`: 0 at its end, UNZ_ERRNO when a write fails, or the
// reader's negative code.
int CopyEntry(unzFile archive, std::FILE* output, char* buffer) {
    for (;;) {
        const int count = unzReadCurrentFile(archive, buffer, kCopyBufferBytes);
        if (count <= 0) return count;
        if (std::fwrite(buffer, static_cast<size_t>(count), 1, output) != 1) return UNZ_ERRNO;
    }
}

int ExtractFileEntry(unzFile archive, const std::wstring& path, char* buffer) {
    UniqueFile output(_wfopen(path.c_str(), L"wb"));
    if (!output) return unzCloseCurrentFile(archive);  // cannot be created: skipped

    int result = CopyEntry(archive, output.get(), buffer);
    const bool closed = std::fclose(output.release()) == 0;
    const int closeResult = unzCloseCurrentFile(archive);  // reports a checksum mismatch
    if (result == UNZ_OK) result = closed ? closeResult : UNZ_ERRNO;
    // A damaged or partly written file must not be taken for the real thing.
    if (result != UNZ_OK) DeleteFileW(path.c_str());
    return result;
}

}  // namespace

std::wstring MakeGuidString() {
    GUID guid;
    if (FAILED(CoCreateGuid(&guid))) return {};
    wchar_t text[100] = {};
    if (StringFromGUID2(guid, text, 100) == 0) return {};
    return text;
}

std::wstring ZipNameToWide(const std::string& name) { return ToWide(name); }

int ExtractCurrentEntry(unzFile archive, const std::wstring& folder) {
    unz_file_info64 info{};
    char nameBuffer[kMaxEntryNameBytes + 1] = {};
    const int infoResult = unzGetCurrentFileInfo64(archive, &info, nameBuffer, sizeof nameBuffer,
                                                   nullptr, 0, nullptr, 0);
    if (infoResult != UNZ_OK) return infoResult;
    // A longer name did not fit the buffer; hostile names are passed over like it.
    if (info.size_filename > kMaxEntryNameBytes) return UNZ_OK;
    const std::string name(nameBuffer, info.size_filename);
    if (!IsSafeEntryName(name)) return UNZ_OK;

    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBufferBytes]);
    if (!buffer) return UNZ_INTERNALERROR;

    const std::wstring wideName = ZipNameToWide(name);
    if (IsFolderEntryName(name)) {
        if (wideName.empty()) return UNZ_INTERNALERROR;
        CreateDirectoryW((folder + L"\\" + wideName).c_str(), nullptr);  // parents not made
        return UNZ_OK;
    }

    const int openResult = unzOpenCurrentFile(archive);
    if (openResult != UNZ_OK) return openResult;
    if (wideName.empty()) {
        unzCloseCurrentFile(archive);
        return UNZ_INTERNALERROR;
    }
    return ExtractFileEntry(archive, folder + L"\\" + wideName, buffer.get());
}

int ExtractZipToFolder(unzFile archive, const std::wstring& folder) {
    if (archive == nullptr) return UNZ_PARAMERROR;
    unz_global_info64 global{};
    int result = unzGetGlobalInfo64(archive, &global);
    if (result != UNZ_OK) return result;
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        result = ExtractCurrentEntry(archive, folder);
        if (result != UNZ_OK) return result;
        if (i + 1 < global.number_entry) {
            result = unzGoToNextFile(archive);
            if (result != UNZ_OK) return result;
        }
    }
    return result;
}

}  // namespace zendro
