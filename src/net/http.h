#pragma once

// HTTP transfers over libcurl. Every transfer uses its own easy handle; only the session header
// line outlives a transfer, for the Transmission RPC requests of the same run.

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "base/result.h"

namespace zendro {

inline constexpr char kUserAgent[] = "Zendro core";
inline constexpr wchar_t kUserAgentWide[] = L"Zendro core";
inline constexpr long kConnectTimeoutSeconds = 10;
inline constexpr long kTransferTimeoutSeconds = 20;
inline constexpr long kNoTransferTimeout = 0;  // libcurl's "no overall limit"
// A download has no overall limit, but one that moves slower than this for that long has stalled
// (a server that accepts and then says nothing, or drips): it is abandoned rather than blocking
// the host for ever.
inline constexpr long kStalledBytesPerSecond = 1024;
inline constexpr long kStalledSeconds = 30;

inline constexpr char kSessionHeaderName[] = "X-Transmission-Session-Id";
// A build setting (installer/settings.cmake), checked when the build is configured.
inline constexpr char kDefaultDownloadServer[] = ZENDRO_BUILTIN_DOWNLOAD_SERVER;
inline constexpr char kDownloadServerVariable[] = "ZENDRO_DOWNLOAD_SERVER";

// Fetches `url`; success puts the whole response body into `body`, a failure leaves `body` alone.
// Only a 2xx answer is a body: any other status (an error page, a redirect) ends the transfer
// at the end of its headers, before a byte of its body is read. A body that grows past `limit`
// bytes fails the transfer at once, so a hostile server cannot fill memory. A failure's step is
// "fetching <url>" (UrlForLog) and its cause libcurl's error text, the status (kStatusCause) or the
// cap the body would pass.
Result HttpGetToString(const std::string& url, std::string& body,
                       size_t limit = std::numeric_limits<size_t>::max());

// Fetches `url` into a partial file beside `path`, which replaces any file at `path` once the whole
// body has arrived. An answer whose status is not 2xx, an empty body, a failed transfer, or a
// body that is announced as or grows longer than `maxBytes` fails (at once, not at its end),
// removes the partial file and leaves `path` alone; the causes are those of HttpGetToString, or
// "an empty body".
Result HttpDownloadToFile(const std::string& url, const std::wstring& path,
                          unsigned long long maxBytes);

// What the status of an answer says of the body that follows its headers: 1xx, another answer's
// headers follow; 2xx, it is the file; anything else, it is none (an error page, a redirect) and
// is not read.
enum class StatusVerdict { kMoreHeaders, kFile, kNoFile };
StatusVerdict JudgeDownloadStatus(long status);
// The cause of a download that a status ended: "the server answered with status <status>".
inline constexpr char kStatusCause[] = "the server answered with status ";

// Whether `incoming` more bytes after `received` keep a download within `maxBytes`.
bool FitsDownloadCap(unsigned long long received, size_t incoming, unsigned long long maxBytes);

// Succeeds when something answers HTTP on 127.0.0.1:`port` within `timeoutMilliseconds` and a
// session header line is known; otherwise the cause is libcurl's error text, or kNoSessionHeader.
inline constexpr char kNoSessionHeader[] = "what answers there sent no session header";
Result ProbeDaemon(const std::string& port,
                   long timeoutMilliseconds = kTransferTimeoutSeconds * 1000);

// The last "X-Transmission-Session-Id" line seen in this process, without its line end; empty
// until one arrives.
const std::string& SessionHeaderLine();

// libcurl write callback into the std::string `target`: returns size * count, or 0 (which aborts
// the transfer) when memory runs out. It also captures a chunk that starts with the session header
// name, unless the chunk holds a line break besides the one that ends it.
size_t AppendToText(char* data, size_t size, size_t count, void* target);

// A text that may grow to `limit` bytes and no further.
struct BoundedText {
    std::string text;
    size_t limit = 0;
};

// libcurl write callback into the BoundedText `target`: returns size * count, or 0 (which aborts
// the transfer) when the text would pass its limit or memory runs out.
size_t AppendToBoundedText(char* data, size_t size, size_t count, void* target);

// Whether `target`, named by a document that came from `source`, may be fetched: a document that
// came over HTTPS names only HTTPS URLs, since a plain-HTTP one would hand what it protects (which
// package, its signature) to anyone on the way. Schemes are compared as libcurl reads them, in
// any case; a target without a scheme is one libcurl would fetch over HTTP.
bool KeepsTransport(std::string_view source, std::string_view target);

// `url` as the log may show it: without user name and password (all before its last "@", so a
// password holding "/", "?" or "#" goes too), query or fragment, which may carry credentials or
// tokens. A proxy given without its scheme ("user:password@host:port") loses them the same way.
std::string UrlForLog(std::string_view url);

// "http://127.0.0.1:" + port, the daemon's web root.
std::string DaemonRootUrl(const std::string& port);

// True for "http://" or "https://" + host + optional ":" + port, nothing more: no path, query,
// user or blanks.
bool IsValidServerBaseUrl(const std::string& url);

// `configured` when it is set and valid, otherwise the built-in download server.
std::string ChooseDownloadServerBaseUrl(const char* configured);

// The download server's base URL (no trailing slash): ZENDRO_DOWNLOAD_SERVER when it holds a valid
// base URL, otherwise the built-in one.
std::string DownloadServerBaseUrl();

}  // namespace zendro
