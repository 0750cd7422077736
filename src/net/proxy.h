#pragma once

// Which proxy a transfer to the download server takes. The proxy environment variables come first,
// read as libcurl reads them; where none applies, Windows' per-user setting: WinHTTP's proxy list
// with its bypass list, or what WinHTTP resolves from a configuration script. These functions
// decide from texts alone; the texts come from the environment, the registry and WinHTTP.

#include <functional>
#include <string>

namespace zendro {

// The name of the environment variable that libcurl takes the proxy of a `scheme` URL ("http",
// "https") from, or empty when it takes none: <scheme>_proxy, then <SCHEME>_PROXY (not for http),
// then all_proxy, then ALL_PROXY; the first that `holds` (set and not empty) wins. On Windows names
// are case-insensitive, so libcurl's "http_proxy" finds HTTP_PROXY too.
std::string LibcurlProxyVariable(const std::string& scheme,
                                 const std::function<bool(const std::string&)>& holds);

// The proxy for a `scheme` URL in WinHTTP's proxy list ("host:port", "http=host:port;https=...",
// entries apart by ';' or blanks), as libcurl takes it: "http://host:port" (port 80 when the entry
// names none), or empty when no entry serves the scheme. An entry for the scheme wins over one for
// every scheme; among equals the first. Entries for other schemes (socks=, ftp=), proxies spoken to
// over anything but plain HTTP, and malformed entries serve none.
std::string ProxyForScheme(const std::string& list, const std::string& scheme);

// True when the URL `scheme`://`host`:`port` (host as in the URL, IPv6 in brackets) matches an
// entry of WinHTTP's bypass list (apart by ';', ',' or blanks): "<local>" for a name without a dot,
// or a host pattern where '*' stands for any run of characters, optionally with the scheme before
// it ("https://...") and a port after it (":8080"), which must then match too. Case does not count.
bool IsProxyBypassed(const std::string& bypassList, const std::string& scheme,
                     const std::string& host, long port);

}  // namespace zendro
