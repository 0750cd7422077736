#pragma once

#include <functional>
#include <string>

namespace zendro {

// What an update run reads from the world, so that tests can point it elsewhere.
struct UpdateSources {
    std::wstring executablePath;  // the executable to replace
    std::wstring tempFolder;      // ends in a backslash; "" when unknown
    std::string manifestUrl;
    std::function<bool(const std::string& url, std::string& body)> fetchText;
    std::function<bool(const std::string& url, const std::wstring& path)> downloadFile;
    // Whether the package downloaded from `url` to `path` may be unpacked.
    std::function<bool(const std::string& url, const std::wstring& path)> trustDownload;
};

// Replaces the executable with the one in the package that the manifest names, when the manifest
// names a newer version, the package's URL keeps the manifest's transport (never plain HTTP after
// HTTPS), the package is trusted, and the packaged program's own version is newer
// too. The previous executable stays beside it with ".old" appended; when the new one cannot be
// put in place the previous one is moved back. Every failure ends the attempt quietly, and the
// work folder goes with it.
void UpdateExecutable(const UpdateSources& sources);

// UpdateExecutable for the running executable, from the download server. Always 0.
int RunSelfUpdate();

}  // namespace zendro
