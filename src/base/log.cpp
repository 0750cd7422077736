#include "base/log.h"

#include <cstdio>

#include "base/redact.h"

namespace zendro {
namespace {

std::string WithoutControls(std::string_view text) {
    std::string clean(text);
    for (char& c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = ' ';
    }
    return clean;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Position just behind `needle` in `text`, ASCII letter case aside; npos when absent.
size_t FindAfter(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) return std::string_view::npos;
    for (size_t at = 0; at + needle.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < needle.size() && LowerAscii(text[at + i]) == needle[i]) ++i;
        if (i == needle.size()) return at + i;
    }
    return std::string_view::npos;
}

bool IsHashCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string FormatLogLine(const LogTime& time, unsigned long processId, std::string_view context,
                          std::string_view message) {
    char stamp[40] = {};
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.millisecond);
    return std::string(stamp) + " pid " + std::to_string(processId) + " " +
           WithoutControls(context) + ": " + WithoutControls(WithoutUrlCredentials(message)) + "\n";
}

bool ShouldRotateLog(uint64_t size, uint64_t lineBytes) {
    return size > 0 && size + lineBytes > kLogLimitBytes;
}

uint64_t LogCutBackOffset(uint64_t size) {
    constexpr uint64_t kKeptBytes = kLogLimitBytes / 2;
    return size > kKeptBytes ? size - kKeptBytes : 0;
}

std::string_view WholeLinesFrom(std::string_view kept, uint64_t offset) {
    if (offset == 0) return kept;
    const size_t newline = kept.find('\n');
    return newline == std::string_view::npos ? std::string_view() : kept.substr(newline + 1);
}

std::string RedactItem(std::string_view item) {
    if (FindAfter(item.substr(0, 7), "magnet:") == 7) {
        for (const std::string_view topic : {"xt=urn:btih:", "xt=urn:btmh:"}) {
            const size_t start = FindAfter(item, topic);
            if (start == std::string_view::npos) continue;
            size_t end = start;
            // A v1 hash is 40 hex or 32 Base32 digits, a v2 multihash 68 hex digits.
            while (end < item.size() && end - start < 68 && IsHashCharacter(item[end])) ++end;
            if (end > start) return "magnet link " + std::string(item.substr(start, end - start));
        }
        return "magnet link without an info hash";
    }
    const size_t slash = item.find_last_of("\\/");
    const std::string_view name = slash == std::string_view::npos ? item : item.substr(slash + 1);
    return name.empty() ? "an item without a file name" : "file " + WithoutControls(name);
}

std::string CommandForLog(std::string_view command) {
    bool plain = !command.empty() && command.size() <= 40;
    for (const char c : command) {
        plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    }
    return plain ? std::string(command) : "an unreadable command";
}

std::string LastLogLines(std::string_view text, size_t count) {
    if (count == 0) return "";
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    size_t start = text.size();
    size_t lines = 0;
    while (start > 0) {
        const size_t newline = text.rfind('\n', start - 1);
        if (newline == std::string_view::npos) {
            start = 0;
        } else if (++lines == count) {
            start = newline + 1;
        } else {
            start = newline;
            continue;
        }
        break;
    }
    return std::string(text.substr(start));
}

}  // namespace zendro
