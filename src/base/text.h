#pragma once

#include <string>

namespace zendro {

// Replaces every occurrence of `from`, resuming just behind each inserted `to`, so inserted text
// is never searched again. An empty `from` changes nothing.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);

// Doubles every backslash so that a path can stand inside a JSON string written without escaping.
std::string DoubleBackslashes(std::string text);

}  // namespace zendro
