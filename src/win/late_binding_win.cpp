#include "win/late_binding_win.h"

#include <windows.h>
#include <delayimp.h>

#include <cstdio>

namespace zendro {
namespace {

struct Owed {
    std::string frame;
    int exitCode = 0;
};

Owed& OwedReply() {
    static Owed owed;
    return owed;
}

// No value handed back in place of the missing function could stand for failure to every caller:
// 0 is FALSE or NULL to some, but S_OK, ERROR_SUCCESS or a valid socket to others, and a caller
// misled into success would go on with outputs never written. So the run ends here, with the reply
// the command owes on failure. Operations bind their DLLs up front (BindLibraries), so this is only
// reached by a DLL or function that no operation expected to miss.
FARPROC WINAPI OnBindingFailed(unsigned notification, PDelayLoadInfo) {
    if (notification != dliFailLoadLib && notification != dliFailGetProc) return nullptr;
    ::ExitProcess(static_cast<UINT>(WriteOwedReply()));
}

}  // namespace

bool BindLibraries(std::initializer_list<const char*> dlls) {
    for (const char* dll : dlls) {
        // The same call as the delay-load helper's, so that it finds the DLL loaded; never freed.
        if (::LoadLibraryA(dll) == nullptr) return false;
    }
    return true;
}

bool BindTransferLibraries() {
    return BindLibraries(
        {"ws2_32.dll", "advapi32.dll", "bcrypt.dll", "crypt32.dll", "secur32.dll", "normaliz.dll"});
}

void EndRunWhenABindingFails() { __pfnDliFailureHook2 = OnBindingFailed; }

void OweReply(std::string frame, int exitCode) { OwedReply() = {std::move(frame), exitCode}; }

int WriteOwedReply() {
    const Owed& owed = OwedReply();
    std::fwrite(owed.frame.data(), 1, owed.frame.size(), stdout);
    std::fflush(stdout);
    return owed.exitCode;
}

}  // namespace zendro
