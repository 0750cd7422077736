#pragma once

// Owners for Winsock: the library's start-up and a socket.

#include <winsock2.h>

#include "base/unique_resource.h"

namespace zendro {

// Starts Winsock 2.2 for the owner's lifetime; `started()` says whether WSAStartup succeeded, and
// only then is WSACleanup called. A scope rather than a value to close, so a class of its own.
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

using UniqueSocket = UniqueAny<SOCKET, ::closesocket, INVALID_SOCKET>;

}  // namespace zendro
