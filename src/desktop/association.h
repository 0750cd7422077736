#pragma once

#include <array>
#include <optional>
#include <string>

namespace zendro {

// "<path>",0 : icon 0 of the executable.
std::wstring IconText(const std::wstring& modulePath);
// "<path>" "%1" : starts the host with the opened item as its one argument.
std::wstring OpenCommandText(const std::wstring& modulePath);

// The per-user class registry, and the three trees below it that the host owns whole.
inline constexpr wchar_t kClassesKey[] = L"Software\\Classes";
inline constexpr std::array<const wchar_t*, 3> kAssociationTrees = {L".torrent", L"Zendro Web",
                                                                    L"Magnet"};

enum class AssociationData { kFixedText, kIconText, kOpenCommandText };

// How the check judges a value: compared when it can be read (unreadable values are skipped),
// or only required to be readable.
enum class AssociationCheck { kCompareIfReadable, kMustBeReadable };

// One value of the association. Values of one key are consecutive; keys come in the order in
// which they are written and checked.
struct AssociationValue {
    const wchar_t* keyPath;    // below HKEY_CURRENT_USER
    const wchar_t* valueName;  // L"" is the key's default value
    AssociationData data;
    const wchar_t* fixedText;  // for kFixedText
    AssociationCheck check;
};

using AssociationTable = std::array<AssociationValue, 10>;
const AssociationTable& AssociationValues();

// The text a value holds when it points at `modulePath`.
std::wstring AssociationText(const AssociationValue& value, const std::wstring& modulePath);

// Case-insensitive equality of two texts, as the platform defines it for ordinal comparison.
using TextEquality = bool (*)(const std::wstring&, const std::wstring&);

// Reads the association's keys for the check: one key open at a time.
class AssociationReader {
  public:
    virtual ~AssociationReader() = default;
    // Opens the key for reading in place of the one before; false when it cannot be opened.
    virtual bool OpenKey(const wchar_t* keyPath) = 0;
    // A value of the open key as text, or nothing when it cannot be read.
    virtual std::optional<std::wstring> ReadText(const wchar_t* valueName) = 0;
};

// Whether every key exists and every readable value matches (letter case aside) what a
// registration for `modulePath` wrote. Stops at the first key or value that fails.
bool AssociationPointsAt(const std::wstring& modulePath, AssociationReader& reader,
                         TextEquality sameText);

// Writes the association's keys: one key open at a time.
class AssociationWriter {
  public:
    virtual ~AssociationWriter() = default;
    // Opens the key for writing in place of the one before, creating it (and any missing key
    // above it) when it does not exist; false when neither works.
    virtual bool OpenOrCreateKey(const wchar_t* keyPath) = 0;
    virtual bool WriteText(const wchar_t* valueName, const std::wstring& text) = 0;
};

// Writes every value for `modulePath`, key by key; false at the first key or value that fails,
// leaving what was written so far.
bool WriteAssociation(const std::wstring& modulePath, AssociationWriter& writer);

}  // namespace zendro
