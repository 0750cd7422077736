#pragma once

#include <curl/curl.h>

#include <string>

#include "net/curl_owners_win.h"

namespace zendro {

// Where a transfer goes: to the daemon on this machine, never through a proxy, or out to the
// download server (or wherever its documents point) through the proxy the user has.
enum class Route { kLoopback, kOutside };

// The settings every transfer of the host shares: URL, the proxy of its `route`, user agent "Zendro
// core", libcurl's trace on standard error, no progress meter, 10 s to connect, `timeoutSeconds` in
// all (kNoTransferTimeout for none), and the body handed to `write` with `target`. Redirects are
// not followed and HTTP error statuses do not fail a transfer. Only http and https are spoken; an
// https peer must show a certificate that Windows trusts for the URL's host name.
void ApplyCommonTransferSettings(CURL* curl, const std::string& url, long timeoutSeconds,
                                 curl_write_callback write, void* target,
                                 Route route = Route::kOutside);

// Runs the transfer `curl` is set up for and closes the handle (before anything it points at
// goes). On failure `cause` gets libcurl's error text (CURLOPT_ERRORBUFFER), else its code's.
CURLcode PerformTransfer(UniqueCurl& curl, std::string& cause);

}  // namespace zendro
