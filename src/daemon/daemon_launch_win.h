#pragma once

#include <string>

namespace zendro {

// Installs the daemon when its Java runtime is missing, starts it on `port` and
// waits until it answers. Returns "started" or "failed"; a port that is not a
// plain port number fails at once.
std::string StartDaemon(const std::string& port);

}  // namespace zendro
