#include "net/rpc.h"

#include <cstdio>

#include "base/json.h"
#include "net/http.h"

namespace zendro {
namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string BuildTorrentAdd(const char* member, const std::string& jsonString) {
    return std::string("{\"arguments\":{\"") + member + "\":" + jsonString +
           "},\"method\":\"torrent-add\"}";
}

// A JSON string literal holding `text` (UTF-8 passes through unchanged).
std::string JsonStringLiteral(const std::string& text) {
    std::string literal = "\"";
    for (const char c : text) {
        const unsigned char unit = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            literal += '\\';
            literal += c;
        } else if (unit < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
            literal += escaped;
        } else {
            literal += c;
        }
    }
    return literal + "\"";
}

}  // namespace

std::string EncodeBase64(const unsigned char* bytes, size_t length) {
    std::string text;
    text.reserve((length + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        text += kBase64Alphabet[group >> 18 & 0x3F];
        text += kBase64Alphabet[group >> 12 & 0x3F];
        text += kBase64Alphabet[group >> 6 & 0x3F];
        text += kBase64Alphabet[group & 0x3F];
    }
    const size_t remainder = length - i;
    if (remainder > 0) {
        const unsigned group = bytes[i] << 16 | (remainder == 2 ? bytes[i + 1] << 8 : 0);
        text += kBase64Alphabet[group >> 18 & 0x3F];
        text += kBase64Alphabet[group >> 12 & 0x3F];
        text += remainder == 2 ? kBase64Alphabet[group >> 6 & 0x3F] : '=';
        text += '=';
    }
    return text;
}

std::string BuildTorrentAddByMetainfo(const unsigned char* bytes, size_t length) {
    return BuildTorrentAdd("metainfo", "\"" + EncodeBase64(bytes, length) + "\"");
}

std::string BuildTorrentAddByFilename(const std::string& utf8Link) {
    return BuildTorrentAdd("filename", JsonStringLiteral(utf8Link));
}

std::string RpcEndpoint(const std::string& port) {
    return DaemonRootUrl(port) + "/transmission/rpc";
}

bool JudgeRpcReply(const std::string& reply, const std::string& body) {
    Json::Value root;
    if (!ParseJson(reply, root)) return body == kSessionGetBody;
    // A "result" that is a number, an array or an object is no "success".
    return ReadTextMember(root, "result") == std::optional<std::string>("success");
}

}  // namespace zendro
