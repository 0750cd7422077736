// Test helper: runs the host's HTTP operations named on its command line, in order, in one
// process, and prints one result line each:
//   get <url>               -> "true <length>" and the body on the next line, or "false"
//   download <url> <path>   -> "true" or "false"
//   download-at-most <url> <path> <bytes>   -> the same, with that cap on the body
//   probe <port>            -> "true" or "false"
//   session                 -> the session header line
//   base                    -> the download server's base URL

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "net/http.h"
#include "win/text_win.h"

namespace {

void PrintLine(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

const char* Word(bool value) { return value ? "true" : "false"; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    for (int i = 1; i < argc; ++i) {
        const std::wstring command = argv[i];
        const auto next = [&]() { return i + 1 < argc ? std::wstring(argv[++i]) : L""; };
        if (command == L"get") {
            std::string body;
            const bool ok = zendro::HttpGetToString(zendro::ToNarrow(next()), body).ok();
            PrintLine(ok ? "true " + std::to_string(body.size()) : "false");
            if (ok) PrintLine(body);
        } else if (command == L"download" || command == L"download-at-most") {
            const std::string url = zendro::ToNarrow(next());
            const std::wstring path = next();
            const unsigned long long cap =
                command == L"download" ? 1ULL << 40 : std::wcstoull(next().c_str(), nullptr, 10);
            PrintLine(Word(zendro::HttpDownloadToFile(url, path, cap).ok()));
        } else if (command == L"probe") {
            PrintLine(Word(zendro::ProbeDaemon(zendro::ToNarrow(next())).ok()));
        } else if (command == L"session") {
            PrintLine(zendro::SessionHeaderLine());
        } else if (command == L"base") {
            PrintLine(zendro::DownloadServerBaseUrl());
        } else {
            PrintLine("unknown command");
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
