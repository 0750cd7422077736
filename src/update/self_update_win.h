#pragma once

#include <functional>
#include <string>

#include "base/result.h"

namespace zendro {

// What an update run reads from the world, so that tests can point it elsewhere.
struct UpdateSources {
    std::wstring executablePath;  // the executable to replace
    std::wstring tempFolder;  // where the work folder is made; ends in a backslash; "" when unknown
    std::string manifestUrl;
    std::function<Result(const std::string& url, std::string& body)> fetchText;
    std::function<Result(const std::string& url, const std::wstring& path)> downloadFile;
};

// Replaces the executable with the one in the package that the manifest names, when the manifest
// names a newer version, the package's URL keeps the manifest's transport (never plain HTTP after
// HTTPS), the package is trusted (in a build with keys its signature is fetched first, and the
// package only when that is good), and the packaged program's own version is newer
// too. The previous executable stays beside it with ".old" appended; when the new one cannot be
// put in place the previous one is moved back. Every failure ends the attempt with the step and
// its cause, and the work folder goes with it. Nothing newer on offer is a success; a swap also
// sets `swapped` to "updated from <running version> to <new version>".
Result UpdateExecutable(const UpdateSources& sources, std::string& swapped);

// UpdateExecutable for the running executable, from the download server, in a run folder of the
// host's temporary folder (after removing what earlier runs left there). Logs what it did: the
// failure, or the swap.
Result RunSelfUpdate();

}  // namespace zendro
