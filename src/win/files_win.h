#pragma once

#include <string>

namespace zendro {

// The whole file as bytes, read with one read after learning its size. False when it cannot be
// opened, its size is unknown or 0, memory runs short, or fewer bytes arrive; `contents` is then
// left alone.
bool ReadWholeFile(const std::wstring& path, std::string& contents);

}  // namespace zendro
