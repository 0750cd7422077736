#pragma once

#include <optional>
#include <string>

#include <json/json.h>

#include "host/channel.h"

namespace zendro {

// What the command table calls. `main` wires in the real operations; tests use fakes. Texts are
// UTF-8; path conversions happen inside the operations.
class Operations {
  public:
    virtual ~Operations() = default;

    virtual std::string ReadDaemonPort() = 0;
    virtual std::string GetListeningPort() = 0;
    // "started" or "failed".
    virtual std::string StartDaemon(const std::string& port) = 0;
    // The Downloads folder + "\Zendro Downloads".
    virtual std::string DefaultDownloadFolder() = 0;
    // The chosen folder, or the word the folder dialog answers with when there is none.
    virtual std::string SelectDownloadFolder() = 0;
    // True when the folder (or the folder holding the file) was shown.
    virtual bool OpenContainingFolder(const std::string& utf8Path) = 0;

    // The .torrent and magnet association of the current user.
    virtual bool CheckDefaultApplication() = 0;  // true when it points at this executable
    virtual bool SetDefaultApplication() = 0;    // true = written
    virtual void UnsetDefaultApplication() = 0;

    virtual void RunSelfUpdate() = 0;
};

// Every operation failing, as its caller sees failure: what a command owes when the run cannot
// carry it out.
class UnavailableOperations final : public Operations {
  public:
    std::string ReadDaemonPort() override { return ""; }
    std::string GetListeningPort() override { return ""; }
    std::string StartDaemon(const std::string& port) override;
    std::string DefaultDownloadFolder() override { return ""; }
    std::string SelectDownloadFolder() override;
    bool OpenContainingFolder(const std::string&) override { return false; }
    bool CheckDefaultApplication() override { return false; }
    bool SetDefaultApplication() override { return false; }
    void UnsetDefaultApplication() override {}
    void RunSelfUpdate() override {}
};

// Carries out the one command of a run and returns its reply text, or nothing when the command
// is unknown (the extension then sees the host close without a reply).
std::optional<std::string> Dispatch(const Json::Value& message, Operations& operations);

// The reply `message`'s command owes should it fail (nothing: it owes none), known before it runs.
std::optional<std::string> OwedReply(const Json::Value& message);

// One native messaging run: read the frame, dispatch it, and return the reply to send, if any.
std::optional<std::string> HandleRequest(const ByteReader& read, Operations& operations);

}  // namespace zendro
