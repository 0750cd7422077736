#pragma once

#include <string>

namespace zendro {

// DescribeErrorCode with the system's message for `code` (FormatMessageW, in the user's language).
std::string WindowsErrorText(unsigned long code);

}  // namespace zendro
