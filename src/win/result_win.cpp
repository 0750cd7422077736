#include "win/result_win.h"

#include <windows.h>

#include "base/result.h"
#include "win/text_win.h"

namespace zendro {

std::string WindowsErrorText(unsigned long code) {
    wchar_t buffer[512] = {};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         0, buffer, 511, nullptr);
    return DescribeErrorCode(code, ToNarrowShown(std::wstring(buffer, length)));
}

Result FailedWithLastError(const std::string& step) {
    const DWORD error = ::GetLastError();
    return Result::Failed(step, WindowsErrorText(error));
}

}  // namespace zendro
