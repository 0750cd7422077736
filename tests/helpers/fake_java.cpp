// Stands in for the daemon's Java runtime. Appends its full command line (UTF-8, one line per
// start) to "<own path>.cmdline" and exits. When "<own path>.stay" exists it keeps running
// instead, writing a growing counter to "<own path>.heartbeat" every 100 ms, until
// "<own path>.stop" appears or a minute has passed.

#include "helper_files_win.h"

using namespace zendro::helpers;

int wmain() {
    const std::wstring self = OwnPath();
    if (!AppendLine(self + L".cmdline", ::GetCommandLineW())) return 2;
    if (!Exists(self + L".stay")) return 0;
    WriteText(self + L".pid", std::to_string(::GetCurrentProcessId()));
    for (int beat = 1; beat <= 600 && !Exists(self + L".stop"); ++beat) {
        WriteText(self + L".heartbeat", std::to_string(beat));
        ::Sleep(100);
    }
    return 0;
}
