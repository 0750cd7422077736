#pragma once

#include <string>

#include "base/result.h"

namespace zendro {

// DescribeErrorCode with the system's message for `code` (FormatMessageW, in the user's language).
std::string WindowsErrorText(unsigned long code);

// The failed `step` with the cause Windows gives for the call that failed just before (its last
// error, read first).
Result FailedWithLastError(const std::string& step);

}  // namespace zendro
