#include "net/rpc.h"

#include <utility>

#include "net/curl_owners_win.h"
#include "net/http.h"
#include "net/http_win.h"

namespace zendro {

bool PostRpcRequest(std::string body, std::string port) {
    return PostRpcRequestFor("", std::move(body), std::move(port)).ok();
}

Result PostRpcRequestFor(const std::string& step, std::string body, std::string port) {
    std::string reply;
    UniqueCurl curl(curl_easy_init());
    // Without a handle the reply stays empty and is judged like an unparseable one.
    if (curl) {
        ApplyCommonTransferSettings(curl.get(), RpcEndpoint(port), kTransferTimeoutSeconds,
                                    AppendToText, &reply, Route::kLoopback);
        UniqueHeaderList headers;
        std::string scratchHeaders;
        if (!SessionHeaderLine().empty()) {
            headers.reset(curl_slist_append(nullptr, SessionHeaderLine().c_str()));
            curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
        } else {
            // The daemon's refusal brings the session id: capture it from the headers.
            curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, AppendToText);
            curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &scratchHeaders);
            curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
        }
        curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(body.size()));
        // The handle goes before the header list it points at.
        std::string cause;
        if (PerformTransfer(curl, cause) != CURLE_OK) return Result::Failed(step, cause);
    }
    if (JudgeRpcReply(reply, body)) return Result::Ok();
    return Result::Failed(step, reply.empty() ? "no reply" : "the daemon did not answer success");
}

}  // namespace zendro
