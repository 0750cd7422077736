#pragma once

#include <string>

namespace zendro {

// The FileVersion text of the first translation in the version resource of the file at `path`,
// with every "," turned into ".". On failure `version` keeps what it held.
bool GetFileVersionString(const std::wstring& path, std::string& version);

}  // namespace zendro
