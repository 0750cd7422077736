#include "base/result.h"

namespace zendro {

std::string Result::Describe() const {
    if (ok_) return "";
    return cause_.empty() ? step_ : step_ + ": " + cause_;
}

std::string DescribeErrorCode(unsigned long code, const std::string& systemMessage) {
    std::string message = systemMessage;
    // FormatMessage ends its texts with a line break.
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    const std::string number = "error " + std::to_string(code);
    return message.empty() ? number : message + " (" + number + ")";
}

}  // namespace zendro
