#pragma once

#include <optional>
#include <string>

namespace zendro {

// What a finished native messaging command leaves in the log, judged from its command and reply:
// the request that could not be read or named no command, and the daemon's start. The other
// commands log their changes and failures themselves, with their causes. `command` is empty when
// the request named none.
std::optional<std::string> DescribeOutcome(const std::string& command,
                                           const std::optional<std::string>& reply);

}  // namespace zendro
