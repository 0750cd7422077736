// Test helper standing in for a browser: appends its full command line (UTF-8, one line) to the
// file named by RECORD_LAUNCH_LOG, or to record_launch.log next to itself. With the argument
// --stay <seconds> it then keeps running that long, as an already open browser does.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "win/owners_win.h"
#include "win/text_win.h"

namespace {

std::wstring LogPath() {
    wchar_t named[1024] = {};
    if (GetEnvironmentVariableW(L"RECORD_LAUNCH_LOG", named, 1024) > 0) return named;
    wchar_t own[1024] = {};
    GetModuleFileNameW(nullptr, own, 1024);
    std::wstring path = own;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"record_launch.log";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    {
        zendro::UniqueFile log(_wfopen(LogPath().c_str(), L"ab"));
        if (log) {
            const std::string line = zendro::ToNarrow(GetCommandLineW()) + "\n";
            std::fwrite(line.data(), 1, line.size(), log.get());
        }
    }
    if (argc == 3 && std::wcscmp(argv[1], L"--stay") == 0) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])) * 1000);
    }
    return 0;
}
