#include "host/outcome.h"

#include "host/channel.h"

namespace zendro {

std::optional<std::string> DescribeOutcome(const std::string& command,
                                           const std::optional<std::string>& reply) {
    if (!reply) return "no such command; closed without a reply";
    if (*reply == kParseFailedReply) return "the request could not be read";
    // The update, the association, the folder and the daemon's failures are logged where they
    // happen, with their causes.
    if (command == "StartDaemon" && *reply == "started") return "the daemon started";
    return std::nullopt;
}

}  // namespace zendro
