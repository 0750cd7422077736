#include "desktop/association.h"

#include <cwchar>

namespace zendro {
namespace {

constexpr wchar_t kTorrentKey[] = L"Software\\Classes\\.torrent";
constexpr wchar_t kClassContentTypeKey[] = L"Software\\Classes\\Zendro Web\\Content Type";
constexpr wchar_t kClassIconKey[] = L"Software\\Classes\\Zendro Web\\DefaultIcon";
constexpr wchar_t kClassCommandKey[] = L"Software\\Classes\\Zendro Web\\shell\\open\\command";
constexpr wchar_t kMagnetKey[] = L"Software\\Classes\\Magnet";
constexpr wchar_t kMagnetIconKey[] = L"Software\\Classes\\Magnet\\DefaultIcon";
constexpr wchar_t kMagnetCommandKey[] = L"Software\\Classes\\Magnet\\shell\\open\\command";

constexpr wchar_t kTorrentMimeType[] = L"application/x-bittorrent";

using Data = AssociationData;
using Check = AssociationCheck;

// The class name ".torrent" points at, and the scheme key's description, are fixed texts;
// "URL Protocol" marks the scheme key as a protocol whatever it holds.
constexpr AssociationTable kAssociation = {{
    {kTorrentKey, L"", Data::kFixedText, L"Zendro Web", Check::kCompareIfReadable},
    {kTorrentKey, L"Content Type", Data::kFixedText, kTorrentMimeType, Check::kCompareIfReadable},
    {kClassContentTypeKey, L"", Data::kFixedText, kTorrentMimeType, Check::kCompareIfReadable},
    {kClassIconKey, L"", Data::kIconText, nullptr, Check::kCompareIfReadable},
    {kClassCommandKey, L"", Data::kOpenCommandText, nullptr, Check::kCompareIfReadable},
    {kMagnetKey, L"", Data::kFixedText, L"Magnet URI", Check::kCompareIfReadable},
    {kMagnetKey, L"Content Type", Data::kFixedText, L"application/x-magnet",
     Check::kCompareIfReadable},
    {kMagnetKey, L"URL Protocol", Data::kFixedText, L"", Check::kMustBeReadable},
    {kMagnetIconKey, L"", Data::kIconText, nullptr, Check::kCompareIfReadable},
    {kMagnetCommandKey, L"", Data::kOpenCommandText, nullptr, Check::kCompareIfReadable},
}};

constexpr wchar_t kMagnetClassKey[] = L"Software\\Classes\\ZendroWebHost.Magnet";
constexpr wchar_t kMagnetClassIconKey[] = L"Software\\Classes\\ZendroWebHost.Magnet\\DefaultIcon";
constexpr wchar_t kMagnetClassCommandKey[] =
    L"Software\\Classes\\ZendroWebHost.Magnet\\shell\\open\\command";
constexpr wchar_t kOpenWithProgidsKey[] = L"Software\\Classes\\.torrent\\OpenWithProgids";
constexpr wchar_t kFileAssociationsKey[] =
    L"Software\\ZendroWebHost\\Capabilities\\FileAssociations";
constexpr wchar_t kUrlAssociationsKey[] = L"Software\\ZendroWebHost\\Capabilities\\URLAssociations";

// Every value of the registration must be there as written.
constexpr RegistrationTable kRegistration = {{
    {kMagnetClassKey, L"", Data::kFixedText, L"Magnet URI", Check::kMustMatch},
    {kMagnetClassKey, L"URL Protocol", Data::kFixedText, L"", Check::kMustMatch},
    {kMagnetClassIconKey, L"", Data::kIconText, nullptr, Check::kMustMatch},
    {kMagnetClassCommandKey, L"", Data::kOpenCommandText, nullptr, Check::kMustMatch},
    {kOpenWithProgidsKey, L"Zendro Web", Data::kFixedText, L"", Check::kMustMatch},
    {kCapabilitiesKey, L"ApplicationName", Data::kFixedText, kRegisteredName, Check::kMustMatch},
    {kCapabilitiesKey, L"ApplicationDescription", Data::kFixedText,
     L"Hands .torrent files and magnet links to the Zendro Web daemon", Check::kMustMatch},
    {kCapabilitiesKey, L"ApplicationIcon", Data::kIconText, nullptr, Check::kMustMatch},
    {kFileAssociationsKey, L".torrent", Data::kFixedText, L"Zendro Web", Check::kMustMatch},
    {kUrlAssociationsKey, L"magnet", Data::kFixedText, kMagnetClass, Check::kMustMatch},
    {kRegisteredApplicationsKey, kRegisteredName, Data::kFixedText, kCapabilitiesKey,
     Check::kMustMatch},
}};

constexpr ChosenTypes kChosenTypes = {{
    {".torrent files",
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.torrent\\UserChoice",
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.torrent\\"
     L"UserChoiceLatest"},
    {"magnet links",
     L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\magnet\\UserChoice",
     L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\magnet\\"
     L"UserChoiceLatest"},
}};

bool StartsNewKey(const AssociationValue& value, const wchar_t* openKeyPath) {
    return openKeyPath == nullptr || std::wcscmp(openKeyPath, value.keyPath) != 0;
}

template <typename Table>
bool TablePointsAt(const Table& table, const std::wstring& modulePath, AssociationReader& reader,
                   TextEquality sameText) {
    const wchar_t* openKeyPath = nullptr;
    for (const AssociationValue& value : table) {
        if (StartsNewKey(value, openKeyPath)) {
            if (!reader.OpenKey(value.keyPath)) return false;
            openKeyPath = value.keyPath;
        }
        const std::optional<std::wstring> text = reader.ReadText(value.valueName);
        switch (value.check) {
            case Check::kMustBeReadable:
                if (!text) return false;
                break;
            case Check::kCompareIfReadable:
                if (text && !sameText(*text, AssociationText(value, modulePath))) return false;
                break;
            case Check::kMustMatch:
                if (!text || !sameText(*text, AssociationText(value, modulePath))) return false;
                break;
        }
    }
    return true;
}

template <typename Table>
bool WriteTable(const Table& table, const std::wstring& modulePath, AssociationWriter& writer) {
    const wchar_t* openKeyPath = nullptr;
    for (const AssociationValue& value : table) {
        if (StartsNewKey(value, openKeyPath)) {
            if (!writer.OpenOrCreateKey(value.keyPath)) return false;
            openKeyPath = value.keyPath;
        }
        if (!writer.WriteText(value.valueName, AssociationText(value, modulePath))) return false;
    }
    return true;
}

// The class name a choice key holds, when it holds one.
std::optional<std::wstring> ChosenClass(const wchar_t* keyPath, AssociationReader& reader) {
    if (!reader.OpenKey(keyPath)) return std::nullopt;
    std::optional<std::wstring> progId = reader.ReadText(L"ProgId");
    if (progId && progId->empty()) return std::nullopt;
    return progId;
}

}  // namespace

std::wstring IconText(const std::wstring& modulePath) { return L"\"" + modulePath + L"\",0"; }

std::wstring OpenCommandText(const std::wstring& modulePath) {
    return L"\"" + modulePath + L"\" \"%1\"";
}

const AssociationTable& AssociationValues() { return kAssociation; }

std::wstring AssociationText(const AssociationValue& value, const std::wstring& modulePath) {
    switch (value.data) {
        case Data::kIconText:
            return IconText(modulePath);
        case Data::kOpenCommandText:
            return OpenCommandText(modulePath);
        case Data::kFixedText:
            break;
    }
    return value.fixedText;
}

const RegistrationTable& RegistrationValues() { return kRegistration; }

const ChosenTypes& ChosenTypesOfTheHost() { return kChosenTypes; }

bool AssociationPointsAt(const std::wstring& modulePath, AssociationReader& reader,
                         TextEquality sameText) {
    return TablePointsAt(kAssociation, modulePath, reader, sameText);
}

bool RegistrationPointsAt(const std::wstring& modulePath, AssociationReader& reader,
                          TextEquality sameText) {
    return TablePointsAt(kRegistration, modulePath, reader, sameText);
}

bool WriteAssociation(const std::wstring& modulePath, AssociationWriter& writer) {
    return WriteTable(kAssociation, modulePath, writer);
}

bool WriteRegistration(const std::wstring& modulePath, AssociationWriter& writer) {
    return WriteTable(kRegistration, modulePath, writer);
}

std::optional<std::wstring> CommandExecutable(const std::wstring& command) {
    const size_t start = command.find_first_not_of(L' ');
    if (start == std::wstring::npos) return std::nullopt;
    if (command[start] == L'"') {
        const size_t end = command.find(L'"', start + 1);
        if (end == std::wstring::npos) return std::nullopt;
        return command.substr(start + 1, end - start - 1);
    }
    return command.substr(start, command.find(L' ', start) - start);
}

UserChoice ReadUserChoice(const ChosenType& type, const std::wstring& modulePath,
                          AssociationReader& reader, TextEquality sameText) {
    UserChoice choice;
    std::optional<std::wstring> chosen = ChosenClass(type.newChoiceKey, reader);
    choice.keyName = L"UserChoiceLatest";
    if (!chosen) {
        chosen = ChosenClass(type.choiceKey, reader);
        choice.keyName = L"UserChoice";
    }
    if (!chosen) {
        choice.keyName = L"";
        return choice;
    }
    choice.className = *chosen;
    const std::wstring commandKey =
        std::wstring(kClassesKey) + L"\\" + *chosen + L"\\shell\\open\\command";
    std::optional<std::wstring> executable;
    if (reader.OpenKey(commandKey.c_str())) {
        if (const std::optional<std::wstring> command = reader.ReadText(L"")) {
            executable = CommandExecutable(*command);
        }
    }
    choice.holder = executable && !executable->empty() && sameText(*executable, modulePath)
                        ? ChoiceHolder::kThisHost
                        : ChoiceHolder::kOtherProgram;
    return choice;
}

std::string DefaultAppsPageUrl(const std::string& registeredName) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "ms-settings:defaultapps?registeredAppUser=";
    for (const char c : registeredName) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~';
        if (unreserved) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0xf];
        }
    }
    return url;
}

}  // namespace zendro
