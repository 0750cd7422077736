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

// The host's own class for magnet links, which only this host writes: the common "Magnet" key is
// one that other torrent programs overwrite, so Windows' Default apps names this one instead.
inline constexpr wchar_t kMagnetClass[] = L"ZendroWebHost.Magnet";
// The host's registration as a candidate for Windows' Default apps: the value of this name under
// HKCU\Software\RegisteredApplications names the Capabilities key below HKCU.
inline constexpr wchar_t kRegisteredName[] = L"Zendro Web Host";
inline constexpr wchar_t kCapabilitiesParentKey[] = L"Software\\ZendroWebHost";
inline constexpr wchar_t kCapabilitiesKey[] = L"Software\\ZendroWebHost\\Capabilities";
inline constexpr wchar_t kRegisteredApplicationsKey[] = L"Software\\RegisteredApplications";

enum class AssociationData { kFixedText, kIconText, kOpenCommandText };

// How the check judges a value: compared when it can be read (unreadable values are skipped),
// only required to be readable, or required to be readable and equal.
enum class AssociationCheck { kCompareIfReadable, kMustBeReadable, kMustMatch };

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

// The registration as a candidate for Default apps, written after the association: the host's
// magnet class, .torrent's OpenWithProgids entry, Capabilities and the RegisteredApplications
// value. Every value must be there and match for the host to count as registered.
using RegistrationTable = std::array<AssociationValue, 11>;
const RegistrationTable& RegistrationValues();

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

// The same for the registration: whether the host is a registered candidate for Default apps.
bool RegistrationPointsAt(const std::wstring& modulePath, AssociationReader& reader,
                          TextEquality sameText);

// A type Windows opens by the user's choice (made in Settings > Default apps or in "Open with")
// before it looks at the classes. Current Windows 11 keeps a newer "UserChoiceLatest" beside
// "UserChoice"; where it holds a class, that one counts.
struct ChosenType {
    const char* label;            // as reports name the type
    const wchar_t* choiceKey;     // the "UserChoice" key below HKEY_CURRENT_USER
    const wchar_t* newChoiceKey;  // the "UserChoiceLatest" key beside it
};
using ChosenTypes = std::array<ChosenType, 2>;
const ChosenTypes& ChosenTypesOfTheHost();  // .torrent files, then magnet links

enum class ChoiceHolder { kNobody, kThisHost, kOtherProgram };

struct UserChoice {
    ChoiceHolder holder = ChoiceHolder::kNobody;
    std::wstring className;        // the class the choice names; "" for nobody
    const wchar_t* keyName = L"";  // L"UserChoiceLatest" or L"UserChoice"; "" for nobody
};

// The executable an open command starts: the text between its leading quotes, or up to its first
// blank when unquoted; nothing for an empty command or an unclosed quote.
std::optional<std::wstring> CommandExecutable(const std::wstring& command);

// Whose the user's choice for `type` is: nobody's when neither key holds a class name ("ProgId"),
// this host's when the class it names has an open command that starts `modulePath`, another
// program's otherwise (a class without a command included: Windows opens nothing of ours).
UserChoice ReadUserChoice(const ChosenType& type, const std::wstring& modulePath,
                          AssociationReader& reader, TextEquality sameText);

// Windows' Default apps page for the registered program `registeredName` (UTF-8), which the
// shell opens as any URL: the name percent-encoded, every byte but A-Z a-z 0-9 - . _ ~.
std::string DefaultAppsPageUrl(const std::string& registeredName);

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
bool WriteRegistration(const std::wstring& modulePath, AssociationWriter& writer);

}  // namespace zendro
