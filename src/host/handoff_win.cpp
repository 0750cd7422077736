#include "host/handoff_win.h"

namespace zendro {

void RunShellHandOff(const std::wstring& item) {
    // Not wired yet: the run ends quietly, as every failed hand-off does.
    (void)item;
}

}  // namespace zendro
