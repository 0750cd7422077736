#include "update/entry_name.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace zendro {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsDotsAndBlanks(const std::string& component) {
    return !component.empty() && component != "." &&
           component.find_first_not_of(". ") == std::string::npos;
}

// Windows opens these as devices in any folder and with any extension ("nul.txt", "con .x").
bool IsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    std::transform(base.begin(), base.end(), base.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    static const std::array<const char*, 6> kFixed = {"CON", "PRN",    "AUX",
                                                      "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kFixed.begin(), kFixed.end(), base) != kFixed.end()) return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || name.size() > kMaxEntryNameBytes || IsSeparator(name.front())) return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == ':') return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::string component = name.substr(start, end - start);
        if (IsDotsAndBlanks(component) || IsDeviceName(component)) return false;
        start = end + 1;
    }
    return true;
}

bool IsFolderEntryName(const std::string& name) {
    return !name.empty() && IsSeparator(name.back());
}

}  // namespace zendro
