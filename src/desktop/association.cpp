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

bool StartsNewKey(const AssociationValue& value, const wchar_t* openKeyPath) {
    return openKeyPath == nullptr || std::wcscmp(openKeyPath, value.keyPath) != 0;
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

bool AssociationPointsAt(const std::wstring& modulePath, AssociationReader& reader,
                         TextEquality sameText) {
    const wchar_t* openKeyPath = nullptr;
    for (const AssociationValue& value : AssociationValues()) {
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
        }
    }
    return true;
}

bool WriteAssociation(const std::wstring& modulePath, AssociationWriter& writer) {
    const wchar_t* openKeyPath = nullptr;
    for (const AssociationValue& value : AssociationValues()) {
        if (StartsNewKey(value, openKeyPath)) {
            if (!writer.OpenOrCreateKey(value.keyPath)) return false;
            openKeyPath = value.keyPath;
        }
        if (!writer.WriteText(value.valueName, AssociationText(value, modulePath))) return false;
    }
    return true;
}

}  // namespace zendro
