#pragma once

#include <string>

namespace zendro {

// Installs the daemon when its Java runtime is missing, starts it on `port` and
// waits until it answers. Returns "started" or "failed"; a port that is not a
// plain port number fails at once. Of the hosts of one user, one at a time
// installs; the others wait for it and start the daemon it installed. First it
// removes what earlier runs left in the host's temporary folders.
std::string StartDaemon(const std::string& port);

}  // namespace zendro
