#pragma once

// Owners for Winsock: the library's start-up and a socket.

#include <winsock2.h>

#include "win/unique_resource.h"

namespace zendro {

// Starts Winsock 2.2 for the owner's lifetime; `started()` says whether WSAStartup succeeded, and
// only then is WSACleanup called.
class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    bool started() const { return started_; }

  private:
    bool started_ = false;
};

struct SocketTraits {
    using Value = SOCKET;
    static Value Invalid() { return INVALID_SOCKET; }
    static bool IsValid(Value v) { return v != INVALID_SOCKET; }
    static void Close(Value v) { ::closesocket(v); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

}  // namespace zendro
