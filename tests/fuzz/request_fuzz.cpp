// One native messaging run over arbitrary standard input: the frame reader, the JSON reader and
// the dispatch, with operations that only answer. Whatever arrives, the run must end with at most
// one reply, and that reply must be a well-formed frame.

#include <cstdint>
#include <cstring>
#include <string>

#include "host/channel.h"
#include "host/dispatch.h"

namespace {

class AnsweringOperations final : public zendro::Operations {
  public:
    std::string ReadDaemonPort() override { return "9091"; }
    std::string GetListeningPort() override { return "9092"; }
    std::string StartDaemon(const std::string&) override { return "started"; }
    std::string DefaultDownloadFolder() override { return "C:\\Users\\u\\Downloads"; }
    std::string SelectDownloadFolder() override { return "Cancel"; }
    bool OpenContainingFolder(const std::string& path) override { return !path.empty(); }
    bool CheckDefaultApplication() override { return true; }
    bool SetDefaultApplication() override { return false; }
    void UnsetDefaultApplication() override {}
    void RunSelfUpdate() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t position = 0;
    zendro::ByteReader read = [&](char* buffer, size_t wanted) {
        const size_t count = std::min(wanted, size - position);
        std::memcpy(buffer, data + position, count);
        position += count;
        return count;
    };
    AnsweringOperations operations;
    const auto reply = zendro::HandleRequest(read, operations);
    if (reply) {
        const std::string frame = zendro::BuildReplyFrame(*reply);
        uint32_t length;
        std::memcpy(&length, frame.data(), 4);
        if (length + 4 != frame.size()) __builtin_trap();
    }
    return 0;
}
