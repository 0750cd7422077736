#include "update/self_update_win.h"

#include <windows.h>
#include <shlwapi.h>

#include "net/http.h"
#include "net/trust_win.h"
#include "update/manifest_win.h"
#include "update/package_win.h"
#include "update/version.h"
#include "update/version_win.h"
#include "win/owners_win.h"
#include "win/unzip_win.h"

namespace zendro {
namespace {

constexpr char kManifestPath[] = "/files/ZendroWeb/hostupdate.xml";
constexpr wchar_t kPackageName[] = L"\\ZendroWebHost.zip";
constexpr wchar_t kNewExecutableName[] = L"\\ZendroWebHost.exe";
constexpr wchar_t kPreviousSuffix[] = L".old";

bool Exists(const std::wstring& path) { return PathFileExistsW(path.c_str()) == TRUE; }

void ClearReadOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
}

// Removes a folder with everything in it. Links inside are removed, never followed.
bool RemoveFolderTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            ClearReadOnly(path);
            const DWORD attributes = found.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveFolderTree(path);
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(path.c_str());
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search.get(), &found));
    }
    search.reset();
    return RemoveDirectoryW(folder.c_str()) != 0;
}

// Owns the work folder: whatever way the attempt ends, the folder and its contents go, or are
// left to the next restart when they cannot go now.
class WorkFolder {
  public:
    explicit WorkFolder(std::wstring path) : path_(std::move(path)) {}
    ~WorkFolder() {
        if (!RemoveFolderTree(path_)) {
            MoveFileExW(path_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

// Unpacks the package; true only when every entry came out intact.
bool UnpackPackage(const std::wstring& package, const std::wstring& folder) {
    const UniqueUnzFile archive = OpenZipArchive(package);
    return ExtractZipToFolder(archive.get(), folder) == UNZ_OK;
}

// Puts `replacement` in place of `executable`, keeping the previous file as `previous`.
void SwapExecutable(const std::wstring& executable, const std::wstring& replacement) {
    const std::wstring previous = executable + kPreviousSuffix;
    if (Exists(previous) && !DeleteFileW(previous.c_str())) return;
    ClearReadOnly(executable);
    ClearReadOnly(replacement);
    // A running executable cannot be overwritten, only renamed; if it stays, so does the update.
    if (!MoveFileW(executable.c_str(), previous.c_str())) return;
    if (!CopyFileW(replacement.c_str(), executable.c_str(), FALSE)) {
        MoveFileExW(previous.c_str(), executable.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

}  // namespace

void UpdateExecutable(const UpdateSources& sources) {
    std::string installedVersion;
    if (!GetFileVersionString(sources.executablePath, installedVersion)) return;

    std::string manifest;
    if (!sources.fetchText(sources.manifestUrl, manifest)) return;
    std::string packageUrl;
    std::string newVersion;
    ParseUpdateManifest(manifest, packageUrl, newVersion);
    if (packageUrl.empty() || newVersion.empty()) return;
    if (!KeepsTransport(sources.manifestUrl, packageUrl)) return;
    if (CompareVersions(newVersion, installedVersion) >= 0) return;  // never a downgrade

    if (sources.tempFolder.empty()) return;
    const std::wstring guid = MakeGuidString();
    if (guid.empty()) return;
    const std::wstring workPath = sources.tempFolder + guid;
    if (!CreateDirectoryW(workPath.c_str(), nullptr)) return;
    const WorkFolder work(workPath);

    const std::wstring package = work.path() + kPackageName;
    if (!sources.downloadFile(packageUrl, package)) return;
    // Nothing of an untrusted package is unpacked: the unpacking itself reads hostile input.
    if (!sources.trustDownload(packageUrl, package)) return;
    if (!UnpackPackage(package, work.path())) return;
    const std::wstring replacement = work.path() + kNewExecutableName;
    if (!Exists(replacement)) return;
    // The manifest's word is not enough: only a program that itself says it is newer replaces
    // the host. An empty file or an error page would break the host for good, and an older
    // release replayed under a newer manifest would bring old faults back.
    std::string packagedVersion;
    if (!GetFileVersionString(replacement, packagedVersion)) return;
    if (CompareVersions(packagedVersion, installedVersion) >= 0) return;
    SwapExecutable(sources.executablePath, replacement);
}

int RunSelfUpdate() {
    UpdateSources sources;
    wchar_t executable[1024] = {};
    const DWORD length = GetModuleFileNameW(nullptr, executable, 1023);
    if (length == 0 || length >= 1023) return 0;  // a cut path would name another file
    sources.executablePath = executable;
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD tempLength = GetTempPathW(MAX_PATH, temp);
    if (tempLength != 0 && tempLength <= MAX_PATH) sources.tempFolder = temp;
    sources.manifestUrl = DownloadServerBaseUrl() + kManifestPath;
    sources.fetchText = HttpGetToString;
    sources.downloadFile = HttpDownloadToFile;
    sources.trustDownload = IsDownloadTrusted;
    UpdateExecutable(sources);
    return 0;
}

}  // namespace zendro
