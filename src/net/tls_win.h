#pragma once

// The host's own check of an HTTPS peer, made after the handshake and before any request goes out.

#include <curl/curl.h>

namespace zendro {

// libcurl's pre-request callback (CURLOPT_PREREQFUNCTION, with the easy handle itself as its data).
// Over HTTPS it lets the request go only when Windows trusts the peer's certificate chain for
// server authentication and the URL's host name (revocation checked where the information can be
// had); plain HTTP passes unchecked.
int CheckPeerBeforeRequest(void* curl, char* primaryIp, char* localIp, int primaryPort,
                           int localPort);

}  // namespace zendro
