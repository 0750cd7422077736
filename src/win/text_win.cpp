#include "win/text_win.h"

#include <climits>
#include <windows.h>

namespace zendro {

void ToWide(const std::string& narrow, std::wstring& wide) {
    if (narrow.empty() || narrow.size() > INT_MAX) return;
    const int length = static_cast<int>(narrow.size());
    // Invalid sequences must fail rather than turn into U+FFFD.
    const int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, narrow.data(), length, nullptr, 0);
    if (needed <= 0) return;
    std::wstring converted(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, narrow.data(), length, converted.data(),
                            needed) != needed) {
        return;
    }
    wide.swap(converted);
}

void ToNarrow(const std::wstring& wide, std::string& narrow) {
    if (wide.empty() || wide.size() > INT_MAX) return;
    const int length = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length,
                                           nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return;
    std::string converted(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, converted.data(),
                            needed, nullptr, nullptr) != needed) {
        return;
    }
    narrow.swap(converted);
}

std::wstring ToWide(const std::string& narrow) {
    std::wstring wide;
    ToWide(narrow, wide);
    return wide;
}

std::string ToNarrow(const std::wstring& wide) {
    std::string narrow;
    ToNarrow(wide, narrow);
    return narrow;
}

}  // namespace zendro
