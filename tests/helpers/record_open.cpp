// Stands in for the shell's folder viewer: appends its first argument to "<own path>.log".

#include "helper_files_win.h"

using namespace zendro::helpers;

int wmain(int argc, wchar_t** argv) {
    return AppendLine(OwnPath() + L".log", argc > 1 ? argv[1] : L"<no argument>") ? 0 : 2;
}
