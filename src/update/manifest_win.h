#pragma once

#include <string>

namespace zendro {

// Reads the package URL ("/cpupdate/hosturl") and the version ("/cpupdate/hostver") of an update
// manifest with the platform's MSXML DOM document. Each output is written only when its element
// is found; a document that does not load, or a DOM call that fails, counts as a missing element.
// Texts travel in the ANSI code page in both directions.
void ParseUpdateManifest(const std::string& manifestText, std::string& hostUrl,
                         std::string& hostVersion);

}  // namespace zendro
