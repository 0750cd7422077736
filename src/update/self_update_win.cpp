#include "update/self_update_win.h"

#include <windows.h>

#include "net/http.h"
#include "net/trust_win.h"
#include "update/manifest_win.h"
#include "update/package_win.h"
#include "update/version.h"
#include "update/version_win.h"
#include "win/files_win.h"
#include "win/owners_win.h"
#include "win/run_folder_win.h"
#include "win/unzip_win.h"
#include "win/user_mutex_win.h"

namespace zendro {
namespace {

constexpr char kManifestPath[] = "/files/ZendroWeb/hostupdate.xml";
constexpr wchar_t kPackageName[] = L"\\ZendroWebHost.zip";
constexpr wchar_t kNewExecutableName[] = L"\\ZendroWebHost.exe";
constexpr wchar_t kPreviousSuffix[] = L".old";
constexpr size_t kMaxManifestBytes = 64 * 1024;
constexpr wchar_t kSwapMutex[] = L"UpdateSwap";
constexpr DWORD kSwapWaitMs = 60000;
// A build setting (installer/settings.cmake).
constexpr unsigned long long kMaxPackageBytes = ZENDRO_MAX_PACKAGE_BYTES;

// Owns the work folder: whatever way the attempt ends, the folder and its contents go, waiting a
// moment for files that a scanner holds. What still cannot go stays in the run's folder, which a
// later run removes.
class WorkFolder {
  public:
    explicit WorkFolder(std::wstring path) : path_(std::move(path)) {}
    ~WorkFolder() { RemoveFolderTree(path_, true); }
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

// Puts `replacement` in place of `executable`, keeping the previous file as `previous`. Each step
// waits a moment for a file that another program (a scanner, an indexer) holds.
void SwapExecutable(const std::wstring& executable, const std::wstring& replacement) {
    const std::wstring previous = executable + kPreviousSuffix;
    if (!DeleteFileWhenFree(previous)) return;
    ClearReadOnly(executable);
    // A running executable cannot be overwritten, only renamed; if it stays, so does the update.
    if (!RetryWhileBusy([&] { return MoveFileW(executable.c_str(), previous.c_str()) != 0; })) {
        return;
    }
    if (!RetryWhileBusy(
            [&] { return CopyFileW(replacement.c_str(), executable.c_str(), FALSE) != 0; })) {
        RetryWhileBusy([&] {
            return MoveFileExW(previous.c_str(), executable.c_str(), MOVEFILE_REPLACE_EXISTING) !=
                   0;
        });
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

    // In a build with keys the signature comes first: without a good one the package is never
    // asked for.
    DownloadCheck check;
    if (!PrepareDownloadCheck(packageUrl, check)) return;
    const std::wstring package = work.path() + kPackageName;
    if (!sources.downloadFile(packageUrl, package)) return;
    {
        // Held from its check until it is unpacked: what is unpacked is what was checked.
        const UniqueHandle held = OpenHeldForReading(package);
        // Nothing of an untrusted package is unpacked: the unpacking itself reads hostile input.
        if (!held || !IsFileTrusted(check, held.get())) return;
        if (!UnpackPackage(package, work.path())) return;
    }
    const std::wstring replacement = work.path() + kNewExecutableName;
    const DWORD attributes = GetFileAttributesW(replacement.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    // Held from its version check until it is copied into place.
    const UniqueHandle held = OpenHeldForReading(replacement);
    if (!held) return;
    // The manifest's word is not enough: only a program that itself says it is newer replaces
    // the host. An empty file or an error page would break the host for good, and an older
    // release replayed under a newer manifest would bring old faults back.
    std::string packagedVersion;
    if (!GetFileVersionString(replacement, packagedVersion)) return;
    if (CompareVersions(packagedVersion, installedVersion) >= 0) return;
    // Hosts that update at the same moment take turns at the swap, and a later one finds the
    // same program already in place: one swap, and the ".old" stays the program that ran before.
    // (The version of the executable's path cannot tell: asked of the running program's own
    // path, Windows may answer from the image in memory.)
    const UserMutex turn(kSwapMutex, kSwapWaitMs);
    if (SameFileContents(sources.executablePath, replacement)) return;
    SwapExecutable(sources.executablePath, replacement);
}

int RunSelfUpdate() {
    UpdateSources sources;
    wchar_t executable[1024] = {};
    const DWORD length = GetModuleFileNameW(nullptr, executable, 1023);
    if (length == 0 || length >= 1023) return 0;  // a cut path would name another file
    sources.executablePath = executable;
    RemoveLeftoverRunFolders();
    const RunFolder run;
    if (!run.path().empty()) sources.tempFolder = run.path() + L"\\";
    sources.manifestUrl = DownloadServerBaseUrl() + kManifestPath;
    sources.fetchText = [](const std::string& url, std::string& body) {
        return HttpGetToStringAtMost(url, kMaxManifestBytes, body);
    };
    sources.downloadFile = [](const std::string& url, const std::wstring& path) {
        return HttpDownloadToFile(url, path, kMaxPackageBytes);
    };
    UpdateExecutable(sources);
    return 0;
}

}  // namespace zendro
