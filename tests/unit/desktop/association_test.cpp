#include "desktop/association.h"

#include <map>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace zendro {
namespace {

const std::wstring kPath = L"C:\\Program Files\\Zendro\\ZendroWebHost.exe";

bool EqualFoldingAscii(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? c - 32 : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// A registry of keys and values in memory. A value mapped to nothing exists but cannot be read
// as text (a number, or a text too long for the buffer).
using Values = std::map<std::wstring, std::optional<std::wstring>>;
using Registry = std::map<std::wstring, Values>;

class FakeRegistry : public AssociationReader, public AssociationWriter {
  public:
    explicit FakeRegistry(Registry keys = {}) : keys(std::move(keys)) {}

    bool OpenKey(const wchar_t* keyPath) override {
        opened.push_back(keyPath);
        open = keys.find(keyPath);
        return open != keys.end();
    }
    std::optional<std::wstring> ReadText(const wchar_t* valueName) override {
        const auto value = open->second.find(valueName);
        if (value == open->second.end()) return std::nullopt;
        return value->second;
    }
    bool OpenOrCreateKey(const wchar_t* keyPath) override {
        opened.push_back(keyPath);
        if (keyPath == failingKey) return false;
        open = keys.emplace(keyPath, Values{}).first;
        return true;
    }
    bool WriteText(const wchar_t* valueName, const std::wstring& text) override {
        written.emplace_back(open->first, valueName, text);
        if (valueName == failingValue) return false;
        open->second[valueName] = text;
        return true;
    }

    Registry keys;
    Registry::iterator open;
    std::vector<std::wstring> opened;
    std::vector<std::tuple<std::wstring, std::wstring, std::wstring>> written;
    std::wstring failingKey = L"-";
    std::wstring failingValue = L"-";
};

FakeRegistry Registered(const std::wstring& path = kPath) {
    FakeRegistry registry;
    EXPECT_TRUE(WriteAssociation(path, registry));
    return registry;
}

bool Check(FakeRegistry& registry, const std::wstring& path = kPath) {
    return AssociationPointsAt(path, registry, EqualFoldingAscii);
}

TEST(AssociationTexts, QuoteThePathAsTheShellExpects) {
    EXPECT_EQ(IconText(L"C:\\a b\\h.exe"), L"\"C:\\a b\\h.exe\",0");
    EXPECT_EQ(OpenCommandText(L"C:\\a b\\h.exe"), L"\"C:\\a b\\h.exe\" \"%1\"");
    EXPECT_EQ(OpenCommandText(L"C:\\J\u00FCrgen\\h.exe"), L"\"C:\\J\u00FCrgen\\h.exe\" \"%1\"");
}

TEST(WriteAssociation, WritesTheSevenKeysInOrder) {
    const FakeRegistry registry = Registered();
    const std::wstring icon = L"\"" + kPath + L"\",0";
    const std::wstring command = L"\"" + kPath + L"\" \"%1\"";
    using Write = std::tuple<std::wstring, std::wstring, std::wstring>;
    const std::vector<Write> expected = {
        {L"Software\\Classes\\.torrent", L"", L"Zendro Web"},
        {L"Software\\Classes\\.torrent", L"Content Type", L"application/x-bittorrent"},
        {L"Software\\Classes\\Zendro Web\\Content Type", L"", L"application/x-bittorrent"},
        {L"Software\\Classes\\Zendro Web\\DefaultIcon", L"", icon},
        {L"Software\\Classes\\Zendro Web\\shell\\open\\command", L"", command},
        {L"Software\\Classes\\Magnet", L"", L"Magnet URI"},
        {L"Software\\Classes\\Magnet", L"Content Type", L"application/x-magnet"},
        {L"Software\\Classes\\Magnet", L"URL Protocol", L""},
        {L"Software\\Classes\\Magnet\\DefaultIcon", L"", icon},
        {L"Software\\Classes\\Magnet\\shell\\open\\command", L"", command},
    };
    EXPECT_EQ(registry.written, expected);
    EXPECT_EQ(registry.opened.size(), 7u);  // each key opened once
}

TEST(WriteAssociation, StopsAtTheFirstFailure) {
    FakeRegistry keyFails;
    keyFails.failingKey = L"Software\\Classes\\Zendro Web\\DefaultIcon";
    EXPECT_FALSE(WriteAssociation(kPath, keyFails));
    EXPECT_EQ(keyFails.written.size(), 3u);
    EXPECT_EQ(keyFails.opened.back(), keyFails.failingKey);

    FakeRegistry valueFails;
    valueFails.failingValue = L"Content Type";
    EXPECT_FALSE(WriteAssociation(kPath, valueFails));
    EXPECT_EQ(valueFails.written.size(), 2u);
}

TEST(AssociationPointsAt, HoldsRightAfterWritingAndOnlyForThatPath) {
    FakeRegistry registry = Registered();
    EXPECT_TRUE(Check(registry));
    EXPECT_FALSE(Check(registry, L"D:\\Moved\\ZendroWebHost.exe"));
    EXPECT_FALSE(Check(registry, kPath + L"x"));
}

TEST(AssociationPointsAt, IgnoresLetterCase) {
    FakeRegistry registry = Registered();
    registry.keys[L"Software\\Classes\\.torrent"][L""] = L"ZENDRO web";
    registry.keys[L"Software\\Classes\\Magnet\\shell\\open\\command"][L""] =
        L"\"c:\\program files\\zendro\\zendrowebhost.EXE\" \"%1\"";
    EXPECT_TRUE(Check(registry));
}

TEST(AssociationPointsAt, FailsAtAnyKeyThatIsMissing) {
    for (const AssociationValue& value : AssociationValues()) {
        FakeRegistry registry = Registered();
        registry.keys.erase(value.keyPath);
        EXPECT_FALSE(Check(registry)) << value.keyPath;
        EXPECT_EQ(registry.opened.back(), value.keyPath) << "stops at the missing key";
    }
}

TEST(AssociationPointsAt, FailsAtAnyValueThatDiffers) {
    const std::vector<std::pair<std::wstring, std::wstring>> changes = {
        {L"Software\\Classes\\.torrent", L""},
        {L"Software\\Classes\\.torrent", L"Content Type"},
        {L"Software\\Classes\\Zendro Web\\Content Type", L""},
        {L"Software\\Classes\\Zendro Web\\DefaultIcon", L""},
        {L"Software\\Classes\\Zendro Web\\shell\\open\\command", L""},
        {L"Software\\Classes\\Magnet", L""},
        {L"Software\\Classes\\Magnet", L"Content Type"},
        {L"Software\\Classes\\Magnet\\DefaultIcon", L""},
        {L"Software\\Classes\\Magnet\\shell\\open\\command", L""},
    };
    for (const auto& [key, name] : changes) {
        FakeRegistry registry = Registered();
        registry.keys[key][name] = registry.keys[key][name].value() + L" ";
        EXPECT_FALSE(Check(registry)) << key << L" " << name;
    }

    FakeRegistry otherMime = Registered();
    otherMime.keys[L"Software\\Classes\\.torrent"][L"Content Type"] = L"application/octet-stream";
    EXPECT_FALSE(Check(otherMime));
}

TEST(AssociationPointsAt, OpenCommandsMustQuoteThePathAndTheItem) {
    for (const std::wstring& command :
         {kPath, kPath + L" %1", L"\"" + kPath + L"\"", L"\"" + kPath + L"\" %1"}) {
        FakeRegistry registry = Registered();
        registry.keys[L"Software\\Classes\\Zendro Web\\shell\\open\\command"][L""] = command;
        EXPECT_FALSE(Check(registry)) << command;
    }
}

TEST(AssociationPointsAt, SkipsValuesThatAreMissingOrUnreadable) {
    FakeRegistry registry = Registered();
    registry.keys[L"Software\\Classes\\.torrent"].erase(L"Content Type");
    registry.keys[L"Software\\Classes\\Magnet"][L"Content Type"] = std::nullopt;
    registry.keys[L"Software\\Classes\\Zendro Web\\DefaultIcon"][L""] = std::nullopt;
    EXPECT_TRUE(Check(registry));
}

TEST(AssociationPointsAt, UrlProtocolMustBeReadableButMayHoldAnything) {
    FakeRegistry anyText = Registered();
    anyText.keys[L"Software\\Classes\\Magnet"][L"URL Protocol"] = L"whatever";
    EXPECT_TRUE(Check(anyText));

    FakeRegistry missing = Registered();
    missing.keys[L"Software\\Classes\\Magnet"].erase(L"URL Protocol");
    EXPECT_FALSE(Check(missing));

    FakeRegistry unreadable = Registered();
    unreadable.keys[L"Software\\Classes\\Magnet"][L"URL Protocol"] = std::nullopt;
    EXPECT_FALSE(Check(unreadable));
}

TEST(AssociationTrees, CoverEveryKeyThatIsWritten) {
    // Unset must leave nothing of a registration behind.
    for (const AssociationValue& value : AssociationValues()) {
        const std::wstring path = value.keyPath;
        bool covered = false;
        for (const wchar_t* tree : kAssociationTrees) {
            const std::wstring root = std::wstring(kClassesKey) + L"\\" + tree;
            covered |= path == root || path.rfind(root + L"\\", 0) == 0;
        }
        EXPECT_TRUE(covered) << path;
    }
}

TEST(Registration, HoldsRightAfterWritingAndFailsAtAnyValueMissingOrChanged) {
    FakeRegistry registry;
    ASSERT_TRUE(WriteRegistration(kPath, registry));
    EXPECT_EQ(registry.written.size(), RegistrationValues().size());
    EXPECT_TRUE(RegistrationPointsAt(kPath, registry, EqualFoldingAscii));
    EXPECT_FALSE(
        RegistrationPointsAt(L"D:\\Moved\\ZendroWebHost.exe", registry, EqualFoldingAscii));
    for (const AssociationValue& value : RegistrationValues()) {
        FakeRegistry missing = registry;
        missing.keys[value.keyPath].erase(value.valueName);
        EXPECT_FALSE(RegistrationPointsAt(kPath, missing, EqualFoldingAscii))
            << value.keyPath << L" " << value.valueName;
        FakeRegistry changed = registry;
        changed.keys[value.keyPath][value.valueName] = L"x";
        EXPECT_FALSE(RegistrationPointsAt(kPath, changed, EqualFoldingAscii))
            << value.keyPath << L" " << value.valueName;
    }
}

TEST(CommandExecutable, TakesTheQuotedPathOrTheFirstWord) {
    EXPECT_EQ(CommandExecutable(L"\"C:\\a b\\h.exe\" \"%1\""), L"C:\\a b\\h.exe");
    EXPECT_EQ(CommandExecutable(L"  \"C:\\a b\\h.exe\""), L"C:\\a b\\h.exe");
    EXPECT_EQ(CommandExecutable(L"C:\\a\\h.exe %1"), L"C:\\a\\h.exe");
    EXPECT_EQ(CommandExecutable(L"C:\\a\\h.exe"), L"C:\\a\\h.exe");
    EXPECT_EQ(CommandExecutable(L"\"C:\\a b\\h.exe %1"), std::nullopt);
    EXPECT_EQ(CommandExecutable(L"   "), std::nullopt);
}

constexpr wchar_t kOtherCommand[] = L"\"C:\\Other\\other.exe\" \"%1\"";

struct ChoiceCase {
    const char* name;
    std::optional<std::wstring> newChoice;  // UserChoiceLatest's ProgId (nothing: no key)
    std::optional<std::wstring> choice;     // UserChoice's ProgId
    ChoiceHolder holder;
    std::wstring className;
    std::wstring keyName;
};

class UserChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(UserChoiceTest, DecidesWhoWindowsOpens) {
    const ChoiceCase& c = GetParam();
    for (const ChosenType& type : ChosenTypesOfTheHost()) {
        FakeRegistry registry = Registered();
        ASSERT_TRUE(WriteRegistration(kPath, registry));
        registry.keys[L"Software\\Classes\\Other.1\\shell\\open\\command"][L""] = kOtherCommand;
        registry.keys[L"Software\\Classes\\Applications\\ZendroWebHost.exe\\shell\\open\\command"]
                     [L""] = L"\"C:\\PROGRAM FILES\\Zendro\\ZendroWebHost.exe\" \"%1\"";
        registry.keys[L"Software\\Classes\\NoCommand"] = {};
        if (c.newChoice) registry.keys[type.newChoiceKey][L"ProgId"] = *c.newChoice;
        if (c.choice) registry.keys[type.choiceKey][L"ProgId"] = *c.choice;
        const UserChoice found = ReadUserChoice(type, kPath, registry, EqualFoldingAscii);
        EXPECT_EQ(found.holder, c.holder) << type.label;
        EXPECT_EQ(found.className, c.className) << type.label;
        EXPECT_EQ(std::wstring(found.keyName), c.keyName) << type.label;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserChoiceTest,
    ::testing::Values(
        ChoiceCase{"none", std::nullopt, std::nullopt, ChoiceHolder::kNobody, L"", L""},
        ChoiceCase{"empty", L"", L"", ChoiceHolder::kNobody, L"", L""},
        ChoiceCase{"other", std::nullopt, L"Other.1", ChoiceHolder::kOtherProgram, L"Other.1",
                   L"UserChoice"},
        ChoiceCase{"ours", std::nullopt, L"Zendro Web", ChoiceHolder::kThisHost, L"Zendro Web",
                   L"UserChoice"},
        ChoiceCase{"our magnet class", std::nullopt, L"ZendroWebHost.Magnet",
                   ChoiceHolder::kThisHost, L"ZendroWebHost.Magnet", L"UserChoice"},
        // Picked by browsing to the program in "Open with".
        ChoiceCase{"the program itself", std::nullopt, L"Applications\\ZendroWebHost.exe",
                   ChoiceHolder::kThisHost, L"Applications\\ZendroWebHost.exe", L"UserChoice"},
        ChoiceCase{"latest first", L"Other.1", L"Zendro Web", ChoiceHolder::kOtherProgram,
                   L"Other.1", L"UserChoiceLatest"},
        ChoiceCase{"latest ours", L"Zendro Web", L"Other.1", ChoiceHolder::kThisHost, L"Zendro Web",
                   L"UserChoiceLatest"},
        ChoiceCase{"empty latest", L"", L"Other.1", ChoiceHolder::kOtherProgram, L"Other.1",
                   L"UserChoice"},
        ChoiceCase{"class without command", std::nullopt, L"NoCommand", ChoiceHolder::kOtherProgram,
                   L"NoCommand", L"UserChoice"},
        ChoiceCase{"deleted class", std::nullopt, L"Gone.1", ChoiceHolder::kOtherProgram, L"Gone.1",
                   L"UserChoice"}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) {
        std::string name;
        for (const char* c = info.param.name; *c != '\0'; ++c) {
            if (*c != ' ') name += *c;
        }
        return name;
    });

TEST(UserChoice, OfOurClassFollowsWhereItsCommandPoints) {
    FakeRegistry registry = Registered();
    const ChosenType& torrent = ChosenTypesOfTheHost()[0];
    registry.keys[torrent.choiceKey][L"ProgId"] = L"Zendro Web";
    registry.keys[L"Software\\Classes\\Zendro Web\\shell\\open\\command"][L""] = kOtherCommand;
    EXPECT_EQ(ReadUserChoice(torrent, kPath, registry, EqualFoldingAscii).holder,
              ChoiceHolder::kOtherProgram);
}

TEST(DefaultAppsPageUrl, PercentEncodesTheRegisteredName) {
    EXPECT_EQ(DefaultAppsPageUrl("Zendro Web Host"),
              "ms-settings:defaultapps?registeredAppUser=Zendro%20Web%20Host");
    EXPECT_EQ(DefaultAppsPageUrl("a-z.0_9~&=?#%/\xC3\xBC"),
              "ms-settings:defaultapps?registeredAppUser=a-z.0_9~%26%3D%3F%23%25%2F%C3%BC");
}

}  // namespace
}  // namespace zendro
