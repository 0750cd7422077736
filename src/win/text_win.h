#pragma once

#include <string>

namespace zendro {

// UTF-8 <-> UTF-16. The output is replaced only when the whole input converts; on an empty input
// or an invalid sequence it keeps what it held, so callers that start empty read failure as "".
void ToWide(const std::string& narrow, std::wstring& wide);
void ToNarrow(const std::wstring& wide, std::string& narrow);

std::wstring ToWide(const std::string& narrow);
std::string ToNarrow(const std::wstring& wide);

// For text that is shown (the log, the --diagnose report) rather than used: the whole text always
// converts, each invalid sequence or lone surrogate becoming U+FFFD.
std::wstring ToWideShown(const std::string& narrow);
std::string ToNarrowShown(const std::wstring& wide);

}  // namespace zendro
