#include "host/outcome.h"

#include "host/channel.h"

namespace zendro {

std::optional<std::string> DescribeOutcome(const std::string& command,
                                           const std::optional<std::string>& reply) {
    if (!reply) return "no such command; closed without a reply";
    if (*reply == kParseFailedReply) return "the request could not be read";
    if (command == "UpdateNativeHost") return "the update ran";
    if (command == "StartDaemon") {
        return *reply == "started" ? "the daemon started" : "starting the daemon failed";
    }
    if (command == "setDefaultApplication") {
        return *reply == "success" ? "the .torrent and magnet association was set"
                                   : "setting the .torrent and magnet association failed";
    }
    if (command == "unsetDefaultApplication") {
        return "the .torrent and magnet association was removed";
    }
    if (command == "openContainingFolder" && *reply != "success") {
        return "opening the folder failed";
    }
    return std::nullopt;
}

}  // namespace zendro
