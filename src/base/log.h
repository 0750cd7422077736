#pragma once

// What goes into the host's log, decided without Windows: the line, what of the user's items it
// may show, and when the file moves aside. log_win.h writes it.

#include <cstdint>
#include <string>
#include <string_view>

namespace zendro {

// Past this size the log moves to "host.log.1" (replacing it) and starts again.
inline constexpr uint64_t kLogLimitBytes = 1024 * 1024;

struct LogTime {  // UTC
    int year, month, day, hour, minute, second, millisecond;
};

// "2026-12-09T19:12:18.123Z pid 4242 <context>: <message>\n". Control characters in the context
// and message become blanks, so one call is always one line; a URL that the message quotes (a
// cause may quote a proxy) loses its user name and password (WithoutUrlCredentials).
std::string FormatLogLine(const LogTime& time, unsigned long processId, std::string_view context,
                          std::string_view message);

// Whether a log of `size` bytes moves aside before a line of `lineBytes` is appended to it.
bool ShouldRotateLog(uint64_t size, uint64_t lineBytes);

// When the log cannot move aside (the old one's name taken by a folder, a read-only file, a file
// held open), it is cut back to its newest lines instead, so that it never grows past twice the
// limit. The offset from which a log of `size` bytes keeps its last kLogLimitBytes / 2 bytes.
uint64_t LogCutBackOffset(uint64_t size);

// Of the bytes kept from `offset` on, what stays: from the first whole line on (the start of the
// file is one).
std::string_view WholeLinesFrom(std::string_view kept, uint64_t offset);

// What the log may say of an item the shell handed over: a magnet link's info hash
// ("magnet link 0123..."; "magnet link without an info hash"), or a path's file name. Nothing
// else of it (names, trackers, folders) is written.
std::string RedactItem(std::string_view item);

// A request's command as the log names it: the name itself when it is a plain word of ASCII
// letters (at most 40), otherwise "an unreadable command", so an extension cannot write into the
// log.
std::string CommandForLog(std::string_view command);

// The last `count` lines of a log's text (without their line ends), oldest first.
std::string LastLogLines(std::string_view text, size_t count);

}  // namespace zendro
