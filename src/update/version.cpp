#include "update/version.h"

#include <array>
#include <climits>
#include <cstdint>
#include <string>

namespace zendro {
namespace {

constexpr size_t kFieldCount = 4;
// Versions live in a 255-byte working buffer: 254 characters and the terminating NUL. Anything
// beyond is not part of the version.
constexpr size_t kMaxVersionLength = 254;

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atoi's reading (leading white space, optional sign, leading digits), saturating instead of
// overflowing so that absurd fields still order sensibly.
int ReadField(const std::string& token) {
    size_t at = 0;
    while (at < token.size() && IsSpace(token[at])) ++at;
    bool negative = false;
    if (at < token.size() && (token[at] == '+' || token[at] == '-')) negative = token[at++] == '-';
    int64_t value = 0;
    for (; at < token.size() && IsDigit(token[at]); ++at) {
        value = value * 10 + (token[at] - '0');
        if (value > int64_t{INT_MAX} + 1) value = int64_t{INT_MAX} + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

// strtok's splitting at ".": runs of separators count as one, and no empty token is made.
std::array<int, kFieldCount> ReadFields(const std::string& version) {
    std::string text = version.substr(0, version.find('\0'));
    if (text.size() > kMaxVersionLength) text.resize(kMaxVersionLength);

    std::array<int, kFieldCount> fields{};
    size_t field = 0;
    size_t at = 0;
    while (field < kFieldCount) {
        at = text.find_first_not_of('.', at);
        if (at == std::string::npos) break;
        const size_t end = text.find('.', at);
        fields[field++] = ReadField(text.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end;
    }
    return fields;
}

}  // namespace

int CompareVersions(const std::string& candidate, const std::string& installed) {
    const auto candidateFields = ReadFields(candidate);
    const auto installedFields = ReadFields(installed);
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (candidateFields[i] == installedFields[i]) continue;
        const int64_t difference = int64_t{installedFields[i]} - candidateFields[i];
        if (difference > INT_MAX) return INT_MAX;
        if (difference < INT_MIN) return INT_MIN;
        return static_cast<int>(difference);
    }
    return 0;
}

std::string NormalVersionText(const std::string& version) {
    std::string text;
    for (const int field : ReadFields(version)) {
        if (!text.empty()) text += '.';
        text += std::to_string(field);
    }
    return text;
}

}  // namespace zendro
