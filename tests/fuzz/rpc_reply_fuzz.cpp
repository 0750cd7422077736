// Any reply from the daemon, judged for a session-get and for a torrent-add: never a crash, and a
// torrent-add is accepted only by a JSON reply whose "result" is the text "success".

#include <cstdint>
#include <string>

#include "base/json.h"
#include "net/rpc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const std::string torrent_add = zendro::BuildTorrentAddByFilename("magnet:?xt=urn:btih:0");

    zendro::JudgeRpcReply(reply, zendro::kSessionGetBody);
    if (zendro::JudgeRpcReply(reply, torrent_add)) {
        Json::Value root;
        if (!zendro::ParseJson(reply, root) || !root.isObject()) __builtin_trap();
        static const char kResult[] = "result";
        const Json::Value* result = root.find(kResult, kResult + sizeof kResult - 1);
        if (result == nullptr || !result->isString() || result->asString() != "success") {
            __builtin_trap();
        }
    }
    return 0;
}
