#pragma once

#include <string>

#include "net/trust.h"

namespace zendro {

// The keys in the executable's own RCDATA resource "TRUSTEDKEYS". No resource: no keys (downloads
// are not verified); one that is there but cannot be read trusts nothing.
TrustedKeys LoadTrustedKeys();

// BLAKE2b-512 of the file at `path`, read in pieces; false when it cannot be read to its end.
bool DigestFile(const std::wstring& path, FileDigest& digest);

// Whether the file downloaded from `url` to `path` may be used. Without trusted keys every
// download may, as in builds before keys existed. With them, only a file whose signature at
// `url` + ".minisig" is valid, made by one of those keys and names the file of `url` in its trusted
// comment; a missing or unreadable signature, or keys that could not be read, trust nothing.
bool IsDownloadTrusted(const std::string& url, const std::wstring& path);

}  // namespace zendro
