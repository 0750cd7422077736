// Any bytes, read as WinHTTP's proxy list (before the first line break) and bypass list (after it):
// never a crash; a proxy chosen is always "http://host:port" that reads back as itself; a host
// always matches a bypass list that names it.

#include <cstdint>
#include <string>

#include "net/proxy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t lineBreak = input.find('\n');
    const std::string list = input.substr(0, lineBreak);
    const std::string bypass = lineBreak == std::string::npos ? "" : input.substr(lineBreak + 1);

    for (const char* scheme : {"http", "https"}) {
        const std::string proxy = zendro::ProxyForScheme(list, scheme);
        if (proxy.empty()) continue;
        if (proxy.compare(0, 7, "http://") != 0) __builtin_trap();
        for (char c : proxy) {
            if (c <= ' ' || c > '~' || c == ';' || c == '@') __builtin_trap();
        }
        if (zendro::ProxyForScheme(proxy.substr(7), scheme) != proxy) __builtin_trap();
    }

    for (const char* host : {"intranet", "download.example.com", "[::1]", "10.0.0.1"}) {
        zendro::IsProxyBypassed(bypass, "https", host, 443);
    }
    // The bypass text as a host name: a list naming it (no pattern characters) matches it.
    if (!bypass.empty() && bypass.find_first_of("*:;,/ \t\r\n<") == std::string::npos &&
        !zendro::IsProxyBypassed(bypass, "http", bypass, 80)) {
        __builtin_trap();
    }
    return 0;
}
