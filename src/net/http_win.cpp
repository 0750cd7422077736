#include "net/http_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

#include "base/redact.h"
#include "net/curl_owners_win.h"
#include "net/http.h"
#include "net/proxy_win.h"
#include "net/tls_win.h"
#include "win/files_win.h"
#include "win/owners_win.h"
#include "win/result_win.h"

namespace zendro {

namespace {

// libcurl's trace, as CURLOPT_VERBOSE alone would write it to standard error ("* " before a text,
// "< " before a header line received, "> " before the headers sent; no bodies), but with no
// secret in it: Firefox shows a host's standard error in its Browser Console.
int TraceToStandardError(CURL*, curl_infotype type, char* data, size_t size, void*) {
    static constexpr const char* kPrefixes[] = {"* ", "< ", "> "};
    if (type != CURLINFO_TEXT && type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT) {
        return 0;
    }
    try {
        const std::string shown = kPrefixes[type] + RedactTrace(std::string_view(data, size));
        std::fwrite(shown.data(), 1, shown.size(), stderr);
    } catch (const std::bad_alloc&) {
        // A trace line is not worth a failed transfer.
    }
    return 0;
}

}  // namespace

void ApplyCommonTransferSettings(CURL* curl, const std::string& url, long timeoutSeconds,
                                 curl_write_callback write, void* target, Route route) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    if (route == Route::kLoopback) {
        UseNoProxy(curl);
    } else {
        UseUserProxy(curl, url);
    }
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, TraceToStandardError);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, target);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // Schannel checks the peer against the user's and the machine's trusted roots, and the name
    // against the host of the URL. Revocation is checked where the information can be had; an
    // unreachable or absent revocation list does not fail the transfer, a revoked certificate
    // does.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, CheckPeerBeforeRequest);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, curl);
}

CURLcode PerformTransfer(UniqueCurl& curl, std::string& cause) {
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, errorText);
    const CURLcode code = curl_easy_perform(curl.get());
    curl.reset();
    if (code != CURLE_OK) cause = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    return code;
}

namespace {

Result FetchFailed(const std::string& url, std::string cause) {
    return Result::Failed("fetching " + UrlForLog(url), std::move(cause));
}

std::string CapText(unsigned long long maxBytes) {
    return "the body passes its cap of " + std::to_string(maxBytes) + " bytes";
}

// Ends a download at the end of an answer's headers unless its status says a file follows, so
// nothing of an error page is read, let alone kept.
class StatusGate {
  public:
    explicit StatusGate(CURL* curl) : curl_(curl) {
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, AtHeaderLine);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
        // A proxy's answer to CONNECT is not the server's: only the server's status counts.
        curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    }
    StatusGate(const StatusGate&) = delete;
    StatusGate& operator=(const StatusGate&) = delete;

    // The status that ended the transfer, or 0.
    long refused() const { return refused_; }
    std::string RefusalText() const { return kStatusCause + std::to_string(refused_); }

  private:
    static size_t AtHeaderLine(char* data, size_t size, size_t count, void* self) {
        auto& gate = *static_cast<StatusGate*>(self);
        const size_t length = size * count;
        const std::string_view line(data, length);
        if (line != "\r\n" && line != "\n") return length;
        long status = 0;
        curl_easy_getinfo(gate.curl_, CURLINFO_RESPONSE_CODE, &status);
        if (JudgeDownloadStatus(status) != StatusVerdict::kNoFile) return length;
        gate.refused_ = status;
        return 0;
    }

    CURL* curl_;
    long refused_ = 0;
};

}  // namespace

Result HttpGetToString(const std::string& url, std::string& body, size_t limit) {
    UniqueCurl curl(curl_easy_init());
    if (!curl) return FetchFailed(url, "libcurl could not make a handle");
    BoundedText received{{}, limit};
    ApplyCommonTransferSettings(curl.get(), url, kTransferTimeoutSeconds, AppendToBoundedText,
                                &received);
    const StatusGate gate(curl.get());
    std::string cause;
    const CURLcode code = PerformTransfer(curl, cause);
    if (gate.refused() != 0) return FetchFailed(url, gate.RefusalText());
    if (code == CURLE_WRITE_ERROR) {
        // The callback refused the piece that would pass the limit (or memory ran out).
        return FetchFailed(url, CapText(limit));
    }
    if (code != CURLE_OK) return FetchFailed(url, cause);
    body.swap(received.text);
    return Result::Ok();
}

namespace {

// Where a download grows until it is complete: beside the target, so the final rename stays on
// one volume, and named after this process, so two hosts fetching the same file do not meet.
std::wstring PartialDownloadPath(const std::wstring& path) {
    return path + L"." + std::to_wstring(::GetCurrentProcessId()) + L".part";
}

// The partial file of one download, which may grow to `maxBytes` and no further: removed when the
// owner goes, unless it became the target.
class PartialDownload {
  public:
    PartialDownload(std::wstring path, unsigned long long maxBytes)
        : path_(std::move(path)),
          // Never an entry that is there already: a hard link planted in its place would have
          // another file truncated and written over.
          file_(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr)),
          maxBytes_(maxBytes),
          made_(static_cast<bool>(file_)) {}
    ~PartialDownload() {
        file_.reset();
        if (made_ && !renamed_) DeleteFileWhenFree(path_);
    }
    PartialDownload(const PartialDownload&) = delete;
    PartialDownload& operator=(const PartialDownload&) = delete;

    bool IsOpen() const { return static_cast<bool>(file_); }
    unsigned long long size() const { return size_; }
    bool passedCap() const { return passedCap_; }

    // libcurl's write callback: returning less than it was given aborts the transfer, which a
    // body that would pass the cap does before a byte of it is written.
    static size_t Append(char* data, size_t size, size_t count, void* self) {
        auto& download = *static_cast<PartialDownload*>(self);
        const size_t length = size * count;
        if (!FitsDownloadCap(download.size_, length, download.maxBytes_)) {
            download.passedCap_ = true;
            return 0;
        }
        size_t done = 0;
        while (done < length) {
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(length - done, MAXDWORD));
            DWORD written = 0;
            if (!::WriteFile(download.file_.get(), data + done, piece, &written, nullptr) ||
                written != piece) {
                return 0;
            }
            done += written;
        }
        download.size_ += length;
        return length;
    }

    // Closes the file and puts it in place of `target` (replacing what is there). A scanner that
    // opened the fresh file a moment ago is waited for.
    bool RenameTo(const std::wstring& target) {
        file_.reset();
        renamed_ = RetryWhileBusy([&] {
            return ::MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        });
        return renamed_;
    }

  private:
    std::wstring path_;
    UniqueHandle file_;
    unsigned long long maxBytes_;
    bool made_;  // what was there already is not this download's to remove
    unsigned long long size_ = 0;
    bool renamed_ = false;
    bool passedCap_ = false;
};

}  // namespace

Result HttpDownloadToFile(const std::string& url, const std::wstring& path,
                          unsigned long long maxBytes) {
    PartialDownload download(PartialDownloadPath(path), maxBytes);
    if (!download.IsOpen()) {
        return FailedWithLastError("making the partial file of " + UrlForLog(url));
    }
    {
        UniqueCurl curl(curl_easy_init());
        if (!curl) return FetchFailed(url, "libcurl could not make a handle");
        ApplyCommonTransferSettings(curl.get(), url, kNoTransferTimeout, PartialDownload::Append,
                                    &download);
        const StatusGate gate(curl.get());
        curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, kStalledBytesPerSecond);
        curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, kStalledSeconds);
        // A longer announced length is refused before the body (the callback catches the rest).
        curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(std::min<unsigned long long>(
                             maxBytes, std::numeric_limits<curl_off_t>::max())));
        std::string cause;
        const CURLcode code = PerformTransfer(curl, cause);
        if (gate.refused() != 0) return FetchFailed(url, gate.RefusalText());
        if (code == CURLE_FILESIZE_EXCEEDED || download.passedCap()) {
            return FetchFailed(url, CapText(maxBytes));
        }
        if (code != CURLE_OK) return FetchFailed(url, cause);
    }
    // Only a whole, non-empty body replaces the target: a broken-off installer must never be
    // left where the next start would run it.
    if (download.size() == 0) return FetchFailed(url, "an empty body");
    if (!download.RenameTo(path)) {
        return FailedWithLastError("putting the download of " + UrlForLog(url) + " in place");
    }
    return Result::Ok();
}

Result ProbeDaemon(const std::string& port, long timeoutMilliseconds) {
    const std::string step = "the daemon answering on 127.0.0.1:" + port;
    UniqueCurl curl(curl_easy_init());
    if (!curl) return Result::Failed(step, "libcurl could not make a handle");
    std::string body;
    std::string headers;
    ApplyCommonTransferSettings(curl.get(), DaemonRootUrl(port), kTransferTimeoutSeconds,
                                AppendToText, &body, Route::kLoopback);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, std::max(timeoutMilliseconds, 1L));
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, AppendToText);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &headers);
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    std::string cause;
    if (PerformTransfer(curl, cause) != CURLE_OK) return Result::Failed(step, cause);
    if (SessionHeaderLine().empty()) {
        return Result::Failed(step, kNoSessionHeader);
    }
    return Result::Ok();
}

}  // namespace zendro
