#include "win/environment_win.h"

#include <windows.h>

#include "win/text_win.h"

namespace zendro {

std::string ReadEnvironment(const std::string& name) {
    const std::wstring wideName = ToWide(name);
    if (wideName.empty()) return "";
    // The length with its terminating NUL, or 0 when unset; it may grow between the two calls.
    std::wstring value;
    for (DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0); size > 0;) {
        value.resize(size);
        const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
        if (length < size) {
            value.resize(length);
            return ToNarrowShown(value);
        }
        size = length;
    }
    return "";
}

}  // namespace zendro
