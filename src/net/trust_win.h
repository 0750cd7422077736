#pragma once

#include <windows.h>

#include <string>

#include "base/result.h"
#include "net/trust.h"

namespace zendro {

// The keys in the executable's own RCDATA resource "TRUSTEDKEYS". No resource: no keys (downloads
// are not verified); one that is there but cannot be read trusts nothing.
TrustedKeys LoadTrustedKeys();

// BLAKE2b-512 of the open file `file`, read in pieces from its start.
bool DigestOpenFile(HANDLE file, FileDigest& digest);

// How a download will be judged, settled before its body is asked for.
struct DownloadCheck {
    TrustedKeys keys;      // kUnverified: every file passes
    Signature signature;   // with keys: the signature fetched for the download, by one of them
    std::string fileName;  // what the signature's trusted comment must name: the file of the URL
};

// Prepares the check of the file that `url` serves. Without trusted keys every file will pass
// and nothing is fetched. With them, the signature at `url` + ".minisig" is fetched and parsed
// now, and must be made by one of the keys and name the file of `url` in its trusted comment. False
// (keys that could not be read, a signature that is missing, malformed or by another key): no file
// from `url` can pass, so none is fetched.
bool PrepareDownloadCheck(const std::string& url, DownloadCheck& check);
// PrepareDownloadCheck saying why: `step` with the keys that cannot be read, the URL that names
// no file, or the signature that could not be fetched (libcurl's cause), read or trusted.
Result PrepareDownloadCheckFor(const std::string& step, const std::string& url,
                               DownloadCheck& check);

// Whether the open file `file` passes `check`. The caller keeps the file open, writes and deletes
// denied to others, until it has used what was checked.
bool IsFileTrusted(const DownloadCheck& check, HANDLE file);

}  // namespace zendro
