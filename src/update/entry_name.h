#pragma once

#include <cstddef>
#include <string>

namespace zendro {

// Entry names of the update package are read into a 256-byte buffer: 255 bytes and a NUL.
constexpr size_t kMaxEntryNameBytes = 255;

// True when an archive entry name, appended to the work folder, can only name something inside
// it: not empty, at most kMaxEntryNameBytes, no NUL or control character, no leading "/" or "\",
// no ":" (drive letters, alternate data streams), no component made of dots and blanks other
// than "." (Windows trims trailing dots and blanks, so "..." and ".. " act as ".."), and no
// component that Windows reads as a device (CON, NUL, COM1, ...).
bool IsSafeEntryName(const std::string& name);

// A folder entry is one whose name ends in "/" or "\".
bool IsFolderEntryName(const std::string& name);

}  // namespace zendro
