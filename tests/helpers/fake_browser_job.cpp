// Plays a browser that runs its native messaging host inside a job object which kills every
// process in it when the job is closed (as Firefox does):
//   fake_browser_job <host.exe> <port> [--no-breakaway]
// Starts the host suspended inside the job, sends it "StartDaemon" for <port>, prints the reply
// frame's body on standard output, waits for the host to end, then closes the job. With
// --no-breakaway the job does not let processes break away from it.

#include <cwchar>
#include <string>

#include "helper_files_win.h"
#include "win/owners_win.h"

using namespace zendro;

namespace {

bool ReadExactly(HANDLE pipe, char* buffer, DWORD size) {
    while (size > 0) {
        DWORD got = 0;
        if (!::ReadFile(pipe, buffer, size, &got, nullptr) || got == 0) return false;
        buffer += got;
        size -= got;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring host = argv[1];
    const std::string port = ToNarrow(argv[2]);
    const bool breakawayAllowed = !(argc > 3 && std::wcscmp(argv[3], L"--no-breakaway") == 0);

    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) return 3;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | (breakawayAllowed ? JOB_OBJECT_LIMIT_BREAKAWAY_OK : 0);
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits))) {
        return 4;
    }

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, toChild = nullptr, fromChild = nullptr, childOut = nullptr;
    if (!::CreatePipe(&childIn, &toChild, &inheritable, 0)) return 5;
    UniqueHandle childInOwner(childIn), toChildOwner(toChild);
    if (!::CreatePipe(&fromChild, &childOut, &inheritable, 0)) return 5;
    UniqueHandle fromChildOwner(fromChild), childOutOwner(childOut);
    ::SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
    UniqueHandle nul(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = nul.get();
    std::wstring commandLine = L"\"" + host + L"\" C:\\manifest.json zendro@example.org";
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(host.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_SUSPENDED, nullptr, nullptr, &startup, &started)) {
        return 6;
    }
    UniqueHandle process(started.hProcess), thread(started.hThread);
    if (!::AssignProcessToJobObject(job.get(), process.get())) {
        ::TerminateProcess(process.get(), 1);
        return 7;
    }
    ::ResumeThread(thread.get());
    childInOwner.reset();
    childOutOwner.reset();

    const std::string body = "{\"text\":\"StartDaemon\",\"port\":\"" + port + "\"}";
    const unsigned length = static_cast<unsigned>(body.size());
    const std::string frame = std::string(reinterpret_cast<const char*>(&length), 4) + body;
    DWORD written = 0;
    ::WriteFile(toChild, frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr);
    toChildOwner.reset();

    unsigned replyLength = 0;
    std::string reply;
    if (ReadExactly(fromChild, reinterpret_cast<char*>(&replyLength), 4) && replyLength < 65536) {
        reply.resize(replyLength);
        if (!ReadExactly(fromChild, reply.data(), replyLength)) reply.clear();
    }
    ::WaitForSingleObject(process.get(), 60000);
    job.reset();  // kills whatever is still in the job

    const std::string line = reply + "\n";
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                &written, nullptr);
    return 0;
}
