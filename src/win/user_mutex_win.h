#pragma once

#include <windows.h>

#include <string>

#include "win/owners_win.h"

namespace zendro {

// A named mutex, held from construction (when `held()`) to destruction, so runs that overlap (a
// browser starts one host per message, several at once) take turns over what they would otherwise
// both change.
class NamedMutex {
  public:
    // Waits at most `waitMs` for the mutex `name`. A mutex whose holder died is taken over.
    NamedMutex(const std::wstring& name, DWORD waitMs);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // False also when no mutex could be made at all; the caller then goes ahead unguarded.
    bool held() const { return held_; }
    // Whether another run held it when this one asked, so this one waited for its work.
    bool waited() const { return waited_; }
    // Whether the run that held it ended without letting go (killed, crashed).
    bool abandoned() const { return abandoned_; }

  private:
    UniqueHandle mutex_;
    bool held_ = false;
    bool waited_ = false;
    bool abandoned_ = false;
};

// The user's SID as text ("S-1-5-21-..."), read from the process token once; "" when it cannot be
// read.
const std::wstring& CurrentUserSid();

// The mutex `name` shared by the hosts of this user in this session ("Local\ZendroWebHost-" + the
// user's SID + "-" + `name`).
class UserMutex : public NamedMutex {
  public:
    UserMutex(const wchar_t* name, DWORD waitMs);
};

}  // namespace zendro
