#pragma once

#include <optional>
#include <string>

namespace zendro {

// What a finished native messaging command leaves in the log, judged from its command and reply:
// one line for a command that changes something, one for a failure the reply shows, nothing for
// a read-only command that succeeded. `command` is empty when the request named none.
std::optional<std::string> DescribeOutcome(const std::string& command,
                                           const std::optional<std::string>& reply);

}  // namespace zendro
