#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
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
    // With keys: when the signature says it was made (SignatureTimestamp).
    uint64_t timestamp = 0;
};

// Which signature times this user's hosts accepted, per signed file name: the values (REG_QWORD,
// the file name as value name) of HKEY_CURRENT_USER\Software\ZendroWebHost\AcceptedSignatures.
inline constexpr wchar_t kAcceptedSignaturesKey[] = L"Software\\ZendroWebHost\\AcceptedSignatures";
// The newest time accepted for `fileName`; none when nothing is known of it.
std::optional<uint64_t> AcceptedSignatureTime(const std::string& fileName);
// Moves the time accepted for `fileName` up to `timestamp` (never down). False when it cannot be
// written.
bool RememberSignatureTime(const std::string& fileName, uint64_t timestamp);

// Prepares the check of the file that `url` serves. Without trusted keys every file will pass
// and nothing is fetched. With them, the signature at `url` + ".minisig" is fetched and parsed
// now, and must be made by one of the keys, its global signature valid, name the file of `url` in
// its trusted comment and be no older than the newest one accepted for that file before. False
// (keys that could not be read, a signature that is missing, malformed, by another key, for
// another file or older): no file from `url` can pass, so none is fetched.
bool PrepareDownloadCheck(const std::string& url, DownloadCheck& check);
// PrepareDownloadCheck saying why: `step` with the keys that cannot be read, the URL that names
// no file, or the signature that could not be fetched (libcurl's cause), read or trusted, or that
// is older than the one accepted before (both times named).
Result PrepareDownloadCheckFor(const std::string& step, const std::string& url,
                               DownloadCheck& check);

// Whether the open file `file` passes `check`. The caller keeps the file open, writes and deletes
// denied to others, until it has used what was checked. A file that passes with a signature moves
// the time accepted for its name up to the signature's.
bool IsFileTrusted(const DownloadCheck& check, HANDLE file);

}  // namespace zendro
