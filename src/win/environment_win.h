#pragma once

#include <string>

namespace zendro {

// An environment variable's value as UTF-8, "" when it is unset or empty. Read with the wide
// functions: the ANSI ones pass the value through the code page, where a character it lacks
// becomes '?' or a look-alike ASCII one, and one it has becomes a byte that is not UTF-8. A unit
// that is not valid UTF-16 becomes U+FFFD.
std::string ReadEnvironment(const std::string& name);

}  // namespace zendro
