// ZendroWebHost: started by a browser extension (native messaging: one framed request on standard
// input, one framed reply on standard output), or by the shell with one .torrent file or magnet
// link to hand to the running daemon. Every run does one job and exits with 0.

#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <io.h>

#include "host/dispatch.h"
#include "host/handoff_win.h"
#include "host/operations_win.h"
#include "win/late_binding_win.h"

namespace {

void RunNativeMessaging() {
    // Frames are binary: no newline translation in either direction.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);

    zendro::WindowsOperations operations;
    const auto reply = zendro::HandleRequest(
        [](char* buffer, size_t size) { return std::fread(buffer, 1, size, stdin); }, operations,
        [](const std::optional<std::string>& owed) {
            zendro::OweReply(owed ? zendro::BuildReplyFrame(*owed) : "");
        });
    zendro::OweReply("");  // the one reply of the run is the one below
    if (reply) {
        const std::string frame = zendro::BuildReplyFrame(*reply);
        std::fwrite(frame.data(), 1, frame.size(), stdout);
    }
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    zendro::EndRunWhenABindingFails();
    try {
        if (argc == 2) {
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
    } catch (const std::exception&) {
        // Nothing to report to: the extension learns results only from replies.
    }
    return 0;
}
