#include "base/json.h"

#include <exception>

namespace zendro {

bool ParseJson(const std::string& text, Json::Value& root) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    try {
        Json::Reader reader;
        return reader.parse(text, root);
    } catch (const std::exception&) {
        return false;
    }
#pragma GCC diagnostic pop
}

std::optional<std::string> ReadTextMember(const Json::Value& object, const char* name) {
    if (!object.isObject()) return std::nullopt;
    const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
    if (member == nullptr) return std::nullopt;
    if (member->isString()) return member->asString();
    if (member->isBool()) return member->asBool() ? "true" : "false";
    return std::nullopt;
}

}  // namespace zendro
