#include "net/proxy.h"

#include <cstring>
#include <vector>

namespace zendro {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool StartsIgnoringCase(const std::string& text, const std::string& head) {
    return text.size() >= head.size() && SameIgnoringCase(text.substr(0, head.size()), head);
}

// The non-empty pieces of `text` between any of the `separators`.
std::vector<std::string> Entries(const std::string& text, const char* separators) {
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of(separators, start);
        const size_t stop = end == std::string::npos ? text.size() : end;
        if (stop > start) entries.push_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return entries;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '.' || c == '-' ||
           c == '_';
}

bool IsAddressCharacter(char c) {  // inside the brackets of an IPv6 address
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

// 1 to 65535 from 1 to 5 digits, or -1.
long PortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5) return -1;
    long value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return -1;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535 ? value : -1;
}

// "[http://]host[:port][/]" as libcurl's proxy URL "http://host:port", or empty. WinHTTP speaks to
// a proxy without a port on 80, where libcurl would pick 1080: the port is always written out.
std::string ProxyAddress(std::string value) {
    if (StartsIgnoringCase(value, "http://")) {
        value.erase(0, std::strlen("http://"));
    } else if (value.find("://") != std::string::npos) {
        return {};
    }
    if (!value.empty() && value.back() == '/') value.pop_back();
    size_t hostEnd = 0;
    if (!value.empty() && value[0] == '[') {
        const size_t close = value.find(']');
        if (close == std::string::npos || close == 1) return {};
        for (size_t i = 1; i < close; ++i) {
            if (!IsAddressCharacter(value[i])) return {};
        }
        hostEnd = close + 1;
    } else {
        while (hostEnd < value.size() && IsNameCharacter(value[hostEnd])) ++hostEnd;
        if (hostEnd == 0) return {};
    }
    long port = 80;
    if (hostEnd < value.size()) {
        if (value[hostEnd] != ':') return {};
        port = PortNumber(value.substr(hostEnd + 1));
        if (port < 0) return {};
    }
    return "http://" + value.substr(0, hostEnd) + ":" + std::to_string(port);
}

// True when `pattern` matches all of `text`, '*' standing for any run of characters, case
// ignored. Backtracks only to the last '*', so the work stays within the product of the lengths.
bool MatchesPattern(const std::string& pattern, const std::string& text) {
    size_t p = 0;
    size_t t = 0;
    size_t star = std::string::npos;
    size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && Lower(pattern[p]) == Lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool MatchesBypassEntry(std::string entry, const std::string& scheme, const std::string& host,
                        long port) {
    if (SameIgnoringCase(entry, "<local>")) {
        return !host.empty() && host[0] != '[' && host.find('.') == std::string::npos;
    }
    const size_t schemeEnd = entry.find("://");
    if (schemeEnd != std::string::npos) {
        if (!SameIgnoringCase(entry.substr(0, schemeEnd), scheme)) return false;
        entry.erase(0, schemeEnd + 3);
    }
    if (!entry.empty() && entry.back() == '/') entry.pop_back();
    // A port follows the last ':' outside brackets; an unbracketed IPv6 pattern has several.
    const size_t bracket = entry.rfind(']');
    const size_t colon = entry.rfind(':');
    const bool hasPort =
        colon != std::string::npos &&
        (bracket != std::string::npos ? colon > bracket : entry.find(':') == colon);
    if (hasPort) {
        const std::string portText = entry.substr(colon + 1);
        entry.erase(colon);
        if (portText != "*" && PortNumber(portText) != port) return false;
    }
    return !entry.empty() && MatchesPattern(entry, host);
}

}  // namespace

std::string LibcurlProxyVariable(const std::string& scheme,
                                 const std::function<bool(const std::string&)>& holds) {
    std::string name;
    for (char c : scheme) name += Lower(c);
    name += "_proxy";
    if (holds(name)) return name;
    // libcurl leaves HTTP_PROXY alone: a CGI program gets a request's "Proxy:" header under that
    // name. Windows' names know no case, though, so "http_proxy" above found it all the same.
    if (name != "http_proxy") {
        for (char& c : name) c = Upper(c);
        if (holds(name)) return name;
    }
    for (const char* fallback : {"all_proxy", "ALL_PROXY"}) {
        if (holds(fallback)) return fallback;
    }
    return {};
}

std::string ProxyForScheme(const std::string& list, const std::string& scheme) {
    std::string forEveryScheme;
    for (const std::string& entry : Entries(list, "; \t\r\n")) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            if (forEveryScheme.empty()) forEveryScheme = ProxyAddress(entry);
        } else if (SameIgnoringCase(entry.substr(0, equals), scheme)) {
            std::string proxy = ProxyAddress(entry.substr(equals + 1));
            if (!proxy.empty()) return proxy;
        }
    }
    return forEveryScheme;
}

bool IsProxyBypassed(const std::string& bypassList, const std::string& scheme,
                     const std::string& host, long port) {
    for (const std::string& entry : Entries(bypassList, "; ,\t\r\n")) {
        if (MatchesBypassEntry(entry, scheme, host, port)) return true;
    }
    return false;
}

}  // namespace zendro
