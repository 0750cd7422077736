#pragma once

#include <string>

namespace zendro {

// Hands a .torrent file or magnet link, as the shell passed it, to the running daemon, then brings
// up the browser that goes with this host unless it already runs. Every failure ends quietly.
void RunShellHandOff(const std::wstring& item);

// Whether a running process's executable file name equals `exeName`, ignoring case.
bool IsProcessRunning(const std::wstring& exeName);

}  // namespace zendro
