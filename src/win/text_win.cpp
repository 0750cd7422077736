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

std::wstring ToWideShown(const std::string& narrow) {
    if (narrow.empty() || narrow.size() > INT_MAX) return L"";
    const int length = static_cast<int>(narrow.size());
    // Without MB_ERR_INVALID_CHARS, an invalid sequence turns into U+FFFD.
    const int needed = MultiByteToWideChar(CP_UTF8, 0, narrow.data(), length, nullptr, 0);
    if (needed <= 0) return L"";
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    const int made = MultiByteToWideChar(CP_UTF8, 0, narrow.data(), length, wide.data(), needed);
    wide.resize(made > 0 ? static_cast<size_t>(made) : 0);
    return wide;
}

std::string ToNarrowShown(const std::wstring& wide) {
    if (wide.empty() || wide.size() > INT_MAX) return "";
    const int length = static_cast<int>(wide.size());
    // Without WC_ERR_INVALID_CHARS, a lone surrogate turns into U+FFFD.
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return "";
    std::string narrow(static_cast<size_t>(needed), '\0');
    const int made = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, narrow.data(), needed,
                                         nullptr, nullptr);
    narrow.resize(made > 0 ? static_cast<size_t>(made) : 0);
    return narrow;
}

}  // namespace zendro
