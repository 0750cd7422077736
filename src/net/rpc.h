#pragma once

// Transmission RPC bodies and the judgement of the daemon's replies. Bodies are built as text with
// no blanks, members in a fixed order.

#include <cstddef>
#include <string>

#include "base/result.h"

namespace zendro {

inline constexpr char kSessionGetBody[] = "{\"method\":\"session-get\"}";

// RFC 4648 Base64 (standard alphabet, "=" padding, no line breaks); empty for no bytes.
std::string EncodeBase64(const unsigned char* bytes, size_t length);

// {"arguments":{"metainfo":"<Base64 of the .torrent file>"},"method":"torrent-add"}
std::string BuildTorrentAddByMetainfo(const unsigned char* bytes, size_t length);

// {"arguments":{"filename":"<link>"},"method":"torrent-add"}. The link is written as a JSON
// string: quotes, backslashes and control characters are escaped, so a link chosen by a web page
// cannot add members of its own. An ordinary magnet link needs no escape and stands unchanged.
std::string BuildTorrentAddByFilename(const std::string& utf8Link);

// "http://127.0.0.1:" + port + "/transmission/rpc"
std::string RpcEndpoint(const std::string& port);

// Whether the daemon accepted `body`: a JSON reply must carry "result" with the text "success";
// a reply that is not JSON (the refusal that hands out the session id, or nothing at all) counts
// only for the session-get body.
bool JudgeRpcReply(const std::string& reply, const std::string& body);

// Sends one Transmission RPC request to the daemon on 127.0.0.1:`port`. Without a known session
// header line the request captures one from the answer's headers; with one it sends it.
bool PostRpcRequest(std::string body, std::string port);

// PostRpcRequest with the reason of a failure: `step` (e.g. "session-get to 127.0.0.1:9091") and
// libcurl's error text, or the daemon's refusal.
Result PostRpcRequestFor(const std::string& step, std::string body, std::string port);

}  // namespace zendro
