#pragma once

// What the trace on standard error, the log and the check-up may show of a secret: nothing. The
// user name and password of a URL are dropped, and the values of the headers that carry
// credentials or the daemon's session id are replaced by a fixed mark.

#include <string>
#include <string_view>

namespace zendro {

// Stands for a header value that is never shown.
inline constexpr char kHiddenMark[] = "[hidden]";

// `text` with the user name and password of every URL in it dropped. A URL is any run of
// characters between blanks, quotes or angle brackets that holds "://" followed by an "@": what
// lies between the "://" and the last "@" of the run goes, so a password holding "/", "?", "#"
// or "@" goes whole. A run without "://" whose part before its last "@" holds a ":" is taken for
// "user:password@host" (a proxy given without its scheme) and loses that part too, unless it is
// a Windows path ("C:\..." or "\\...").
std::string WithoutUrlCredentials(std::string_view text);

// One piece of libcurl's trace (a text line, or a block of header lines) as it may be shown: the
// values of Authorization, Proxy-Authorization, Cookie, Set-Cookie and X-Transmission-Session-Id
// (and their continuation lines) replaced by kHiddenMark, as is the user libcurl names in "with
// user '<name>'", and every line WithoutUrlCredentials.
// Line ends stay as they are.
std::string RedactTrace(std::string_view text);

}  // namespace zendro
