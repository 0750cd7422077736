#include "net/tls.h"

#include <algorithm>

namespace zendro {
namespace {

bool IsAsciiNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// Dot-separated labels of letters, digits, '-' and '_', none of them empty.
bool IsAsciiHostName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.back() == '.' ||
        name.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return c == '.' || IsAsciiNameCharacter(c); });
}

}  // namespace

bool ChainErrorsAllowTrust(uint32_t errorStatus) {
    return (errorStatus & ~(kChainRevocationStatusUnknown | kChainOfflineRevocation)) == 0;
}

std::string CertificateHostName(std::string_view host, const HostNameToAscii& toAscii) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        // Hex digits and colons, an IPv4 tail perhaps; no zone ("%25eth0"), which no certificate
        // names.
        const std::string_view address = host.substr(1, host.size() - 2);
        const bool plain = std::all_of(address.begin(), address.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                   c == ':' || c == '.';
        });
        if (!plain || address.find(':') == std::string_view::npos) return {};
        return std::string(address);
    }
    // "example.com." names the same host as "example.com"; certificates hold the latter.
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    if (IsAsciiHostName(host)) return std::string(host);
    const bool ascii =
        std::all_of(host.begin(), host.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii || !toAscii) return {};
    std::string converted = toAscii(host);
    if (!converted.empty() && converted.back() == '.') converted.pop_back();
    return IsAsciiHostName(converted) ? converted : std::string();
}

}  // namespace zendro
