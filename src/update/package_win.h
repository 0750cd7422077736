#pragma once

#include <string>

#include <minizip/unzip.h>

namespace zendro {

// A new GUID in registry form ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"), or "" when none can be
// made.
std::wstring MakeGuidString();

// A UTF-8 entry name as UTF-16; "" when the name is empty or not valid UTF-8.
std::wstring ZipNameToWide(const std::string& name);

// Unpacks the entry under the archive's cursor into `folder` and returns minizip's result code
// (UNZ_OK, UNZ_ERRNO for a failed write, UNZ_CRCERROR, ...; UNZ_INTERNALERROR for a name that is
// not UTF-8). Entries whose names could reach outside `folder` are skipped with UNZ_OK, as are
// files whose output cannot be created (a missing parent folder). A file that is not unpacked
// whole and intact is removed again.
int ExtractCurrentEntry(unzFile archive, const std::wstring& folder);

// Unpacks every entry, from the first, into `folder`; stops at the first entry that fails and
// returns its code. UNZ_PARAMERROR when there is no archive.
int ExtractZipToFolder(unzFile archive, const std::wstring& folder);

}  // namespace zendro
