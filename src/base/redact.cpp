#include "base/redact.h"

#include <array>
#include <cstring>
#include <utility>

namespace zendro {
namespace {

bool IsRunEnd(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\'' || c == '"' || c == '`' ||
           c == '<' || c == '>';
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view head) {
    if (text.size() < head.size()) return false;
    for (size_t i = 0; i < head.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(head[i])) return false;
    }
    return true;
}

bool IsWindowsPath(std::string_view run) {
    const bool drive = run.size() >= 3 && run[1] == ':' && (run[2] == '\\' || run[2] == '/');
    return drive || run.substr(0, 2) == "\\\\";
}

// One run between separators, with what one of the two rules below drops dropped.
std::string DropOnce(std::string_view run) {
    const size_t at = run.rfind('@');
    if (at == std::string_view::npos) return std::string(run);
    const size_t scheme = run.find("://");
    if (scheme != std::string_view::npos && at > scheme) {
        return std::string(run.substr(0, scheme + 3)) + std::string(run.substr(at + 1));
    }
    if (run.substr(0, at).find(':') == std::string_view::npos || IsWindowsPath(run)) {
        return std::string(run);
    }
    return std::string(run.substr(at + 1));
}

// One run between separators, its credentials dropped: the rules apply until neither drops more
// (after a URL's credentials, an "@" before its "://" may still end a "user:password@"). Each
// round that changes the run shortens it.
std::string RunWithoutCredentials(std::string_view run) {
    std::string shown(run);
    for (std::string next = DropOnce(shown); next != shown; next = DropOnce(shown)) {
        shown = std::move(next);
    }
    return shown;
}

constexpr std::array<std::string_view, 5> kHiddenHeaders = {
    "Authorization", "Proxy-Authorization", "Cookie", "Set-Cookie", "X-Transmission-Session-Id"};

// Whether `line` is a header line whose value is hidden: its name, blanks, then ":".
bool IsHiddenHeader(std::string_view line) {
    for (const std::string_view name : kHiddenHeaders) {
        if (!StartsWithIgnoringCase(line, name)) continue;
        const size_t colon = line.find_first_not_of(" \t", name.size());
        if (colon != std::string_view::npos && line[colon] == ':') return true;
    }
    return false;
}

// libcurl names the user it signs in as ("Proxy auth using Basic with user 'name'"): the name
// goes too.
std::string WithoutUserNamed(std::string text) {
    static constexpr std::string_view kWithUser = "with user '";
    size_t start = text.find(kWithUser);
    while (start != std::string::npos) {
        start += kWithUser.size();
        const size_t end = text.find('\'', start);
        if (end == std::string::npos) break;
        text.replace(start, end - start, kHiddenMark);
        start = text.find(kWithUser, start + std::strlen(kHiddenMark) + 1);
    }
    return text;
}

// A folded header line: it continues the one before.
bool IsContinuation(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

}  // namespace

std::string WithoutUrlCredentials(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && !IsRunEnd(text[end])) ++end;
        shown += RunWithoutCredentials(text.substr(start, end - start));
        if (end < text.size()) shown += text[end++];
        start = end;
    }
    return shown;
}

std::string RedactTrace(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    bool hiding = false;  // the line before was a hidden header: a folded line continues it
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        const size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
        std::string_view line = text.substr(0, next);
        size_t content = line.size();
        if (content > 0 && line[content - 1] == '\n') --content;
        if (content > 0 && line[content - 1] == '\r') --content;
        const std::string_view ending = line.substr(content);
        line = line.substr(0, content);
        // A line is judged as it stands and as it would be shown: dropping credentials may leave
        // a hidden header's name, or a blank, at its start.
        const std::string cleaned = WithoutUserNamed(WithoutUrlCredentials(line));
        const std::string_view header = IsHiddenHeader(line) ? line : std::string_view(cleaned);
        if (IsHiddenHeader(header)) {
            shown.append(header.substr(0, header.find(':') + 1)).append(" ").append(kHiddenMark);
            hiding = true;
        } else if (hiding && (IsContinuation(line) || IsContinuation(cleaned))) {
            shown.append(" ").append(kHiddenMark);
        } else {
            shown += cleaned;
            hiding = false;
        }
        shown += ending;
        text.remove_prefix(next);
    }
    return shown;
}

}  // namespace zendro
