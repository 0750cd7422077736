#include "update/self_update_win.h"

#include <windows.h>

#include "net/http.h"
#include "net/trust_win.h"
#include "update/manifest_win.h"
#include "update/package_win.h"
#include "update/unzip_win.h"
#include "update/version.h"
#include "update/version_win.h"
#include "win/files_win.h"
#include "win/log_win.h"
#include "win/owners_win.h"
#include "win/result_win.h"
#include "win/run_folder_win.h"
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

// Unpacks the package; fails unless every entry came out intact.
Result UnpackPackage(const std::wstring& package, const std::wstring& folder) {
    const UniqueUnzFile archive = OpenZipArchive(package);
    if (!archive) return Result::Failed("unpacking the update package", "it is no zip archive");
    const int code = ExtractZipToFolder(archive.get(), folder);
    if (code == UNZ_OK) return Result::Ok();
    return Result::Failed(
        "unpacking the update package",
        "an entry did not come out intact (minizip error " + std::to_string(code) + ")");
}

// Puts `replacement` in place of `executable`, keeping the previous file as `previous`. Each step
// waits a moment for a file that another program (a scanner, an indexer) holds.
Result SwapExecutable(const std::wstring& executable, const std::wstring& replacement) {
    const std::wstring previous = executable + kPreviousSuffix;
    if (!DeleteFileWhenFree(previous)) {
        return FailedWithLastError("removing the previous .old file");
    }
    ClearReadOnly(executable);
    // A running executable cannot be overwritten, only renamed; if it stays, so does the update.
    if (!RetryWhileBusy([&] { return MoveFileW(executable.c_str(), previous.c_str()) != 0; })) {
        return FailedWithLastError("moving the running program aside");
    }
    if (!RetryWhileBusy(
            [&] { return CopyFileW(replacement.c_str(), executable.c_str(), FALSE) != 0; })) {
        const Result copied = FailedWithLastError("copying the new program into place");
        RetryWhileBusy([&] {
            return MoveFileExW(previous.c_str(), executable.c_str(), MOVEFILE_REPLACE_EXISTING) !=
                   0;
        });
        return copied;
    }
    return Result::Ok();
}

}  // namespace

Result UpdateExecutable(const UpdateSources& sources, std::string& swapped) {
    std::string installedVersion;
    if (!GetFileVersionString(sources.executablePath, installedVersion)) {
        return FailedWithLastError("reading the running program's version");
    }

    std::string manifest;
    if (const Result fetched = sources.fetchText(sources.manifestUrl, manifest); !fetched) {
        return Result::Failed("the update manifest", fetched.Describe());
    }
    std::string packageUrl;
    std::string newVersion;
    ParseUpdateManifest(manifest, packageUrl, newVersion);
    if (packageUrl.empty() || newVersion.empty()) {
        return Result::Failed("the update manifest", "it names no package URL or no version");
    }
    if (!KeepsTransport(sources.manifestUrl, packageUrl)) {
        return Result::Failed("the update manifest, refused",
                              "it came over HTTPS and names its package over plain HTTP");
    }
    // Never a downgrade; a manifest that offers nothing newer is no failure.
    if (CompareVersions(newVersion, installedVersion) >= 0) return Result::Ok();

    if (sources.tempFolder.empty()) {
        return Result::Failed("making the update's work folder",
                              "the host has no temporary folder");
    }
    const std::wstring guid = MakeGuidString();
    if (guid.empty())
        return Result::Failed("making the update's work folder", "no GUID could be made");
    const std::wstring workPath = sources.tempFolder + guid;
    if (!CreateDirectoryW(workPath.c_str(), nullptr)) {
        return FailedWithLastError("making the update's work folder");
    }
    const WorkFolder work(workPath);

    // In a build with keys the signature comes first: without a good one the package is never
    // asked for.
    DownloadCheck check;
    if (const Result checkable =
            PrepareDownloadCheckFor("the update package download, refused", packageUrl, check);
        !checkable) {
        return checkable;
    }
    const std::wstring package = work.path() + kPackageName;
    if (const Result downloaded = sources.downloadFile(packageUrl, package); !downloaded) {
        return Result::Failed("the update package download", downloaded.Describe());
    }
    {
        // Held from its check until it is unpacked: what is unpacked is what was checked.
        const UniqueHandle held = OpenHeldForReading(package);
        if (!held) return FailedWithLastError("opening the update package");
        // Nothing of an untrusted package is unpacked: the unpacking itself reads hostile input.
        if (!IsFileTrusted(check, held.get())) {
            return Result::Failed("the update package download, refused",
                                  "its signature does not match it or does not name it");
        }
        if (const Result unpacked = UnpackPackage(package, work.path()); !unpacked) {
            return unpacked;
        }
    }
    const std::wstring replacement = work.path() + kNewExecutableName;
    const DWORD attributes = GetFileAttributesW(replacement.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return Result::Failed("the update package", "it holds no ZendroWebHost.exe at its top");
    }
    // Held from its version check until it is copied into place.
    const UniqueHandle held = OpenHeldForReading(replacement);
    if (!held) return FailedWithLastError("opening the unpacked program");
    // The manifest's word is not enough: only a program that itself says it is newer replaces
    // the host. An empty file or an error page would break the host for good, and an older
    // release replayed under a newer manifest would bring old faults back.
    std::string packagedVersion;
    if (!GetFileVersionString(replacement, packagedVersion)) {
        return FailedWithLastError("reading the unpacked program's version");
    }
    if (CompareVersions(packagedVersion, installedVersion) >= 0) {
        return Result::Failed("the update package", "the unpacked program's version " +
                                                        NormalVersionText(packagedVersion) +
                                                        " is not newer than " +
                                                        NormalVersionText(installedVersion));
    }
    // Hosts that update at the same moment take turns at the swap, and a later one finds the
    // same program already in place: one swap, and the ".old" stays the program that ran before.
    // (The version of the executable's path cannot tell: asked of the running program's own
    // path, Windows may answer from the image in memory.)
    const UserMutex turn(kSwapMutex, kSwapWaitMs);
    if (SameFileContents(sources.executablePath, replacement)) return Result::Ok();
    if (const Result done = SwapExecutable(sources.executablePath, replacement); !done) {
        return done;
    }
    swapped = "updated from " + NormalVersionText(installedVersion) + " to " +
              NormalVersionText(packagedVersion);
    return Result::Ok();
}

Result RunSelfUpdate() {
    UpdateSources sources;
    if (!GetHostExecutablePath(sources.executablePath)) {
        return Result::Failed("finding the running program's path", "it is too long or unknown");
    }
    RemoveLeftoverRunFolders();
    const RunFolder run;
    if (!run.path().empty()) sources.tempFolder = run.path() + L"\\";
    sources.manifestUrl = DownloadServerBaseUrl() + kManifestPath;
    sources.fetchText = [](const std::string& url, std::string& body) {
        return HttpGetToString(url, body, kMaxManifestBytes);
    };
    sources.downloadFile = [](const std::string& url, const std::wstring& path) {
        return HttpDownloadToFile(url, path, kMaxPackageBytes);
    };
    std::string swapped;
    const Result updated = UpdateExecutable(sources, swapped);
    LogFailure(updated);
    if (!swapped.empty()) WriteLogLine(swapped);
    return updated;
}

}  // namespace zendro
