#include "host/dispatch.h"

#include "base/json.h"
#include "base/text.h"
#include "daemon/daemon_launch.h"
#include "desktop/folders.h"

namespace zendro {
namespace {

constexpr char kSuccessReply[] = "success";
constexpr char kFailedReply[] = "failed";
constexpr char kSetReply[] = "set";
constexpr char kUnsetReply[] = "unset";

}  // namespace

std::string UnavailableOperations::StartDaemon(const std::string&) { return kDaemonFailed; }

std::string UnavailableOperations::SelectDownloadFolder() {
    const std::wstring_view cancelled = kFolderChoiceCancelled;  // ASCII
    return std::string(cancelled.begin(), cancelled.end());
}

std::optional<std::string> Dispatch(const Json::Value& message, Operations& operations) {
    const std::optional<std::string> command = ReadTextMember(message, "text");
    if (!command) return kParseFailedReply;

    // Names are matched exactly, in this order.
    if (*command == "UpdateNativeHost") {
        operations.RunSelfUpdate();
        return "";  // the extension learns nothing of the outcome
    }
    if (*command == "CheckNativeMessagingHost") return "1";
    if (*command == "ReadDaemonPort") return operations.ReadDaemonPort();
    if (*command == "GetListeningPort") return operations.GetListeningPort();
    if (*command == "StartDaemon") {
        const std::optional<std::string> port = ReadTextMember(message, "port");
        if (!port) return kParseFailedReply;
        return operations.StartDaemon(*port);
    }
    if (*command == "getDefaultDownloadsDirectory") {
        return DoubleBackslashes(operations.DefaultDownloadFolder());
    }
    if (*command == "checkDefaultApplication") {
        return operations.CheckDefaultApplication() ? kSetReply : kUnsetReply;
    }
    if (*command == "openContainingFolder") {
        const std::optional<std::string> directory = ReadTextMember(message, "directory");
        if (!directory) return kParseFailedReply;
        return operations.OpenContainingFolder(*directory) ? kSuccessReply : kFailedReply;
    }
    if (*command == "setDownloadFolder") {
        return DoubleBackslashes(operations.SelectDownloadFolder());
    }
    if (*command == "setDefaultApplication") {
        return operations.SetDefaultApplication() ? kSuccessReply : kFailedReply;
    }
    if (*command == "unsetDefaultApplication") {
        operations.UnsetDefaultApplication();
        return kSuccessReply;
    }
    return std::nullopt;
}

std::optional<std::string> OwedReply(const Json::Value& message) {
    UnavailableOperations unavailable;
    return Dispatch(message, unavailable);
}

std::optional<std::string> HandleRequest(const ByteReader& read, Operations& operations) {
    const std::optional<Json::Value> message = ReadMessage(read);
    if (!message) return kParseFailedReply;
    return Dispatch(*message, operations);
}

}  // namespace zendro
