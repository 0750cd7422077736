#include "win/user_mutex_win.h"

#include <sddl.h>

#include <string>
#include <vector>

namespace zendro {
namespace {

// The user's SID as text ("S-1-5-21-..."), or "" when it cannot be read: then only the session
// separates users, which holds for all but programs started as another user.
std::wstring UserSidText() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return L"";
    const UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return L"";
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return L"";
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return L"";
    }
    const UniqueLocalMemory owner(text);
    return text;
}

}  // namespace

NamedMutex::NamedMutex(const std::wstring& name, DWORD waitMs) {
    mutex_.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex_) return;
    DWORD result = ::WaitForSingleObject(mutex_.get(), 0);
    if (result == WAIT_TIMEOUT) {
        waited_ = true;
        result = ::WaitForSingleObject(mutex_.get(), waitMs);
    }
    abandoned_ = result == WAIT_ABANDONED;
    held_ = result == WAIT_OBJECT_0 || abandoned_;
}

NamedMutex::~NamedMutex() {
    if (held_) ::ReleaseMutex(mutex_.get());
}

UserMutex::UserMutex(const wchar_t* name, DWORD waitMs)
    : NamedMutex(L"Local\\ZendroWebHost-" + CurrentUserSid() + L"-" + name, waitMs) {}

const std::wstring& CurrentUserSid() {
    static const std::wstring sid = UserSidText();  // read once a run: a log line asks each time
    return sid;
}

}  // namespace zendro
