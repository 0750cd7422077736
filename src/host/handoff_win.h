#pragma once

#include <string>

namespace zendro {

// Hands a .torrent file or magnet link, as the shell passed it, to the running daemon.
void RunShellHandOff(const std::wstring& item);

}  // namespace zendro
