#include "net/http.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace zendro {
namespace {

std::string& MutableSessionHeaderLine() {
    static std::string line;
    return line;
}

// The line without the end that closes it: CR LF, or a bare LF from a lax server. Taking two
// characters off blindly would cut the identifier short after a bare LF.
std::string WithoutLineEnd(const std::string& chunk) {
    size_t end = chunk.size();
    if (end >= 2 && chunk.compare(end - 2, 2, "\r\n") == 0) {
        end -= 2;
    } else if (end >= 1 && chunk[end - 1] == '\n') {
        end -= 1;
    }
    return chunk.substr(0, end);
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The length of the scheme before "://" (letters, digits, "+", "-", "."), or 0 when `url` starts
// with none.
size_t SchemeLength(std::string_view url) {
    const size_t end = url.find("://");
    if (end == 0 || end == std::string_view::npos) return 0;
    for (size_t i = 0; i < end; ++i) {
        const char c = url[i];
        if (!IsHostCharacter(c) && c != '+') return 0;
    }
    return end;
}

bool IsHttps(std::string_view url) {
    static constexpr std::string_view kHttps = "https://";
    return url.size() >= kHttps.size() &&
           std::equal(kHttps.begin(), kHttps.end(), url.begin(), [](char wanted, char c) {
               return wanted == (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
           });
}

}  // namespace

bool KeepsTransport(std::string_view source, std::string_view target) {
    return !IsHttps(source) || IsHttps(target);
}

const std::string& SessionHeaderLine() { return MutableSessionHeaderLine(); }

size_t AppendToText(char* data, size_t size, size_t count, void* target) {
    const size_t length = size * count;
    try {
        const size_t nameLength = std::strlen(kSessionHeaderName);
        if (length >= nameLength && std::memcmp(data, kSessionHeaderName, nameLength) == 0) {
            // The line goes back to the daemon as a request header: one that carries another
            // line break would smuggle extra header lines into the next request.
            std::string line = WithoutLineEnd(std::string(data, length));
            if (line.find_first_of("\r\n") == std::string::npos) {
                MutableSessionHeaderLine() = std::move(line);
            }
        }
        static_cast<std::string*>(target)->append(data, length);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

size_t AppendToBoundedText(char* data, size_t size, size_t count, void* target) {
    auto& bounded = *static_cast<BoundedText*>(target);
    const size_t length = size * count;
    if (length > bounded.limit - std::min(bounded.limit, bounded.text.size())) return 0;
    try {
        bounded.text.append(data, length);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

StatusVerdict JudgeDownloadStatus(long status) {
    if (status >= 100 && status < 200) return StatusVerdict::kMoreHeaders;
    return status >= 200 && status < 300 ? StatusVerdict::kFile : StatusVerdict::kNoFile;
}

bool FitsDownloadCap(unsigned long long received, size_t incoming, unsigned long long maxBytes) {
    return received <= maxBytes && incoming <= maxBytes - received;
}

std::string UrlForLog(std::string_view url) {
    const size_t scheme = SchemeLength(url);
    const size_t authority = scheme == 0 ? 0 : scheme + 3;
    // The user name and password end at the last "@", wherever it is: a password may hold "/",
    // "?", "#" or "@" of its own, and none of it may show.
    const size_t at = url.rfind('@');
    const std::string_view rest =
        url.substr(at == std::string_view::npos || at < authority ? authority : at + 1);
    const size_t end = std::min(rest.find_first_of("?#"), rest.size());
    std::string shown(url.substr(0, authority));
    shown += rest.substr(0, end);
    if (end < rest.size()) shown += rest[end] == '?' ? "?..." : "#...";
    return shown;
}

std::string DaemonRootUrl(const std::string& port) { return "http://127.0.0.1:" + port; }

bool IsValidServerBaseUrl(const std::string& url) {
    size_t schemeLength = 0;
    for (const char* scheme : {"http://", "https://"}) {
        if (url.compare(0, std::strlen(scheme), scheme) == 0) schemeLength = std::strlen(scheme);
    }
    if (schemeLength == 0) return false;

    size_t position = schemeLength;
    const size_t hostStart = position;
    while (position < url.size() && IsHostCharacter(url[position])) ++position;
    if (position == hostStart) return false;
    if (position == url.size()) return true;

    if (url[position] != ':') return false;
    const std::string port = url.substr(position + 1);
    if (port.empty() || port.size() > 5) return false;
    for (char c : port) {
        if (!IsDigit(c)) return false;
    }
    const long value = std::strtol(port.c_str(), nullptr, 10);
    return value >= 1 && value <= 65535;
}

std::string ChooseDownloadServerBaseUrl(const char* configured) {
    if (configured != nullptr && IsValidServerBaseUrl(configured)) return configured;
    return kDefaultDownloadServer;
}

}  // namespace zendro
