#include "base/text.h"

namespace zendro {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (std::string::size_type at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string DoubleBackslashes(std::string text) {
    ReplaceAll(text, "\\", "\\\\");
    return text;
}

}  // namespace zendro
