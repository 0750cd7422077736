// Base64 of any bytes decodes back to those bytes under an independent decoder, has the padded
// length, and uses only the standard alphabet.

#include <cstdint>
#include <cstring>
#include <string>

#include "net/rpc.h"

namespace {

int SextetOf(char c) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = c == '\0' ? nullptr : std::strchr(alphabet, c);
    return at == nullptr ? -1 : static_cast<int>(at - alphabet);
}

std::string Decode(const std::string& text) {
    if (text.size() % 4 != 0) __builtin_trap();
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (padding == 1 && text[i + 2] == '=') __builtin_trap();  // "x=x=" is no padding
        uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            int sextet = 0;
            if (k < 4 - padding) {
                sextet = SextetOf(c);
                if (sextet < 0) __builtin_trap();
            } else if (c != '=') {
                __builtin_trap();
            }
            group = group << 6 | static_cast<uint32_t>(sextet);
        }
        bytes.push_back(static_cast<char>(group >> 16));
        if (padding < 2) bytes.push_back(static_cast<char>(group >> 8 & 0xFF));
        if (padding < 1) bytes.push_back(static_cast<char>(group & 0xFF));
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string encoded = zendro::EncodeBase64(data, size);
    if (encoded.size() != (size + 2) / 3 * 4) __builtin_trap();
    if (Decode(encoded) != std::string(reinterpret_cast<const char*>(data), size)) __builtin_trap();
    return 0;
}
