// ZendroWebHost: started by a browser extension (native messaging: one framed request on standard
// input, one framed reply on standard output), or by the shell with one .torrent file or magnet
// link to hand to the running daemon. Every run does one job and exits with 0; failures and the
// changes a run makes go to the user's log. "--diagnose" instead reports on the set-up.

#include <cstdio>
#include <cwchar>
#include <exception>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "base/json.h"
#include "base/log.h"
#include "host/diagnose_win.h"
#include "host/dispatch.h"
#include "host/handoff_win.h"
#include "host/operations_win.h"
#include "host/outcome.h"
#include "win/late_binding_win.h"
#include "win/log_win.h"
#include "win/text_win.h"

namespace {

void RunNativeMessaging() {
    // Frames are binary: no newline translation in either direction.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);

    zendro::SetLogContext("native messaging");
    // A request that cannot be read, as the run ends when reading it fails in any way.
    zendro::OweReply(zendro::BuildReplyFrame(zendro::kParseFailedReply));
    std::string command;
    std::optional<std::string> reply = zendro::kParseFailedReply;
    const auto message = zendro::ReadMessage(
        [](char* buffer, size_t size) { return std::fread(buffer, 1, size, stdin); });
    if (message) {
        command = zendro::ReadTextMember(*message, "text").value_or("");
        if (!command.empty()) zendro::SetLogContext(zendro::CommandForLog(command));
        // Should a DLL the command needs fail to bind after all, or an exception escape it, the
        // run still ends with this.
        const auto owed = zendro::OwedReply(*message);
        zendro::OweReply(owed ? zendro::BuildReplyFrame(*owed) : "");
        zendro::WindowsOperations operations;
        reply = zendro::Dispatch(*message, operations);
    }
    zendro::OweReply("");  // the one reply of the run is the one below
    if (reply) {
        const std::string frame = zendro::BuildReplyFrame(*reply);
        std::fwrite(frame.data(), 1, frame.size(), stdout);
    }
    std::fflush(stdout);
    // After the reply, so the log never delays the extension.
    if (const auto line = zendro::DescribeOutcome(command, reply)) zendro::WriteLogLine(*line);
}

// An exception that no one caught: the reply the command owes, exit code and all, then a line
// for the log, which may itself fail by now.
int EndOnException(const char* what) {
    const int exitCode = zendro::WriteOwedReply();
    zendro::OweReply("");
    try {
        zendro::WriteLogLine(std::string("the run ended on an unexpected error: ") + what);
    } catch (...) {
    }
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    zendro::EndRunWhenABindingFails();
    // Also what a thread of the run or a noexcept function lets escape.
    std::set_terminate([] { ::ExitProcess(static_cast<UINT>(EndOnException("terminate"))); });
    try {
        if (argc == 2 && std::wcscmp(argv[1], L"--diagnose") == 0) return zendro::RunDiagnosis();
        if (argc == 2) {
            zendro::SetLogContext("hand-off of " +
                                  zendro::RedactItem(zendro::ToNarrowShown(argv[1])));
            // The daemon's port and folder through the shell, RPC, then the browser through the
            // registry and the shell.
            if (zendro::BindLibraries(
                    {"shell32.dll", "shlwapi.dll", "ole32.dll", "advapi32.dll"}) &&
                zendro::BindTransferLibraries()) {
                zendro::RunShellHandOff(argv[1]);
            }
        } else {
            RunNativeMessaging();
        }
    } catch (const std::exception& error) {
        return EndOnException(error.what());
    } catch (...) {
        return EndOnException("not a standard exception");
    }
    return 0;
}
