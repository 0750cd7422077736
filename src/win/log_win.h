#pragma once

#include <string>

#include "base/result.h"

namespace zendro {

// The log: %LOCALAPPDATA%\ZendroWebHost\host.log, and the same lines on standard error. Writing
// it never fails a run: a line that cannot be written to the file (no folder, no turn among the
// user's hosts within a quarter of a second) is on standard error only.

// What this run is doing (the command, or the shell hand-off), named in each of its lines. Set
// once by main before the run's work starts.
void SetLogContext(std::string context);

// Appends one line with the run's context; moves the log aside first when it has grown too big.
void WriteLogLine(const std::string& message);

// Writes the failure's step and cause; nothing for a success.
void LogFailure(const Result& result);

// The log's folder and file; empty when the shell cannot say where local application data is.
std::wstring LogFolder();
std::wstring LogFilePath();

}  // namespace zendro
