// The floor for a native messaging round trip: read one frame, write a fixed reply, exit.
// scripts/bench measures the real host against it.

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <vector>

int wmain() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    unsigned char header[4] = {0, 0, 0, 0};
    std::fread(header, 1, 4, stdin);
    const uint32_t length =
        header[0] | header[1] << 8 | header[2] << 16 | uint32_t(header[3]) << 24;
    std::vector<char> body(length);
    if (length != 0) std::fread(body.data(), 1, length, stdin);
    static const char reply[] = "\x0d\0\0\0{\"text\": \"1\"}";
    std::fwrite(reply, 1, sizeof reply - 1, stdout);
    return 0;
}
