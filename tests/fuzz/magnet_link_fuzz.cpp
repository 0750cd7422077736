// Whatever link a web page hands the shell, the torrent-add body stays one request: a JSON object
// with exactly "arguments" (holding exactly "filename", equal to the link) and "method".

#include <cstdint>
#include <string>

#include "base/json.h"
#include "net/rpc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string link(reinterpret_cast<const char*>(data), size);
    const std::string body = zendro::BuildTorrentAddByFilename(link);

    Json::Value root;
    if (!zendro::ParseJson(body, root) || !root.isObject()) __builtin_trap();
    if (root.getMemberNames() != std::vector<std::string>{"arguments", "method"}) __builtin_trap();
    if (root["method"] != "torrent-add") __builtin_trap();
    const Json::Value& arguments = root["arguments"];
    if (!arguments.isObject() ||
        arguments.getMemberNames() != std::vector<std::string>{"filename"}) {
        __builtin_trap();
    }
    // The link comes back whole, zero bytes and control characters included.
    if (arguments["filename"].asString() != link) __builtin_trap();
    return 0;
}
