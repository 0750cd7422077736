#include "net/http_win.h"

#include <windows.h>

#include "net/http.h"
#include "win/curl_owners_win.h"
#include "win/owners_win.h"

namespace zendro {

void ApplyCommonTransferSettings(CURL* curl, const std::string& url, long timeoutSeconds,
                                 curl_write_callback write, void* target) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, target);
}

bool HttpGetToString(const std::string& url, std::string& body) {
    UniqueCurl curl(curl_easy_init());
    if (!curl) return false;
    std::string received;
    ApplyCommonTransferSettings(curl.get(), url, kTransferTimeoutSeconds, AppendToText, &received);
    if (curl_easy_perform(curl.get()) != CURLE_OK) return false;
    body.swap(received);
    return true;
}

bool HttpDownloadToFile(const std::string& url, const std::wstring& path) {
    std::vector<char> bytes;
    {
        UniqueCurl curl(curl_easy_init());
        if (!curl) return false;
        ApplyCommonTransferSettings(curl.get(), url, kNoTransferTimeout, AppendToBytes, &bytes);
        curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, kStalledBytesPerSecond);
        curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, kStalledSeconds);
        if (curl_easy_perform(curl.get()) != CURLE_OK) return false;
    }
    // One WriteFile call carries the whole body, so it must fit in a DWORD count.
    if (bytes.empty() || bytes.size() > MAXDWORD) return false;

    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    return WriteFile(file.get(), bytes.data(), size, &written, nullptr) && written == size;
}

bool ProbeDaemon(const std::string& port) {
    UniqueCurl curl(curl_easy_init());
    if (!curl) return false;
    std::string body;
    std::string headers;
    ApplyCommonTransferSettings(curl.get(), DaemonRootUrl(port), kTransferTimeoutSeconds,
                                AppendToText, &body);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, AppendToText);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &headers);
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    const bool answered = curl_easy_perform(curl.get()) == CURLE_OK;
    return answered && !SessionHeaderLine().empty();
}

}  // namespace zendro
