#pragma once

#include <string>

namespace zendro {

// Compares two version strings of up to four "."-separated decimal fields (missing fields are
// 0, a fifth and later field is ignored, each field is read like atoi). Returns 0 when all four
// fields are equal, otherwise installed minus candidate in the first field that differs, clamped
// to int: a negative result means the candidate is newer.
int CompareVersions(const std::string& candidate, const std::string& installed);

// The version as CompareVersions reads it, its four fields joined by "." ("1, 0, 0, 1" gives
// "1.0.0.1"), for the texts that name it.
std::string NormalVersionText(const std::string& version);

}  // namespace zendro
