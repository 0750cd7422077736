#pragma once

#include <functional>
#include <string>

namespace zendro {

inline constexpr char kPortKey[] = "tessui.port=";
inline constexpr unsigned short kFirstListeningPort = 9091;
inline constexpr unsigned short kLastListeningPort = 9101;

// The daemon's web port from the bytes of its exported settings: the value between the first
// "tessui.port=" (also as the tail of a longer key) and the next CR LF, read like strtol in base 10
// and clamped to 32 bits. Empty when the key or the CR LF is missing or the value reads as 0.
std::string PortFromExportedSettings(const std::string& contents);

// Tries `tryBind` on 9091 to 9101 in turn and returns the first port it accepts, as decimal text;
// "9102" when none is accepted.
std::string FirstBindablePort(const std::function<bool(unsigned short port)>& tryBind);

}  // namespace zendro
