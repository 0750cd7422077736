#pragma once

#include <optional>
#include <string>

#include <json/json.h>

namespace zendro {

// Parses with JsonCpp's classic reader in its default configuration, which the extension's
// messages and the daemon's replies are judged by. Never throws: input nested too deeply for the
// reader, or any other reader exception, counts as a parse failure.
bool ParseJson(const std::string& text, Json::Value& root);

// A member read as text: a string gives its content, true and false give "true" and "false".
// Absent, null, numbers, arrays and objects give nothing, as does a root that is not an object.
std::optional<std::string> ReadTextMember(const Json::Value& object, const char* name);

}  // namespace zendro
