#include "host/diagnosis.h"

#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zendro {
namespace {

using ::testing::HasSubstr;

constexpr char kOrigin[] = "chrome-extension://aaaabbbbccccddddeeeeffffgggghhhh/";
constexpr char kManifestPath[] = "C:\\Users\\u\\AppData\\Local\\Programs\\ZendroWebHost\\h.json";
constexpr char kOwnPath[] =
    "C:\\Users\\u\\AppData\\Local\\Programs\\ZendroWebHost\\ZendroWebHost.exe";

// The manifest the setup writes, with one member's text replaced.
std::string Manifest(const std::string& from = "", const std::string& to = "") {
    std::string text =
        "{\r\n  \"name\": \"com.zendro.webhost\",\r\n  \"description\": \"Zendro Web host\",\r\n"
        "  \"path\": \"C:\\\\Users\\\\u\\\\AppData\\\\Local\\\\Programs\\\\ZendroWebHost\\\\"
        "ZendroWebHost.exe\",\r\n  \"type\": \"stdio\",\r\n  \"allowed_origins\": [\r\n    \"" +
        std::string(kOrigin) + "\"\r\n  ]\r\n}\r\n";
    if (!from.empty()) text.replace(text.find(from), from.size(), to);
    return text;
}

Findings Check(const std::string& bytes, bool mozilla = false) {
    return CheckManifest(bytes, {"com.zendro.webhost", kManifestPath, kOwnPath, mozilla}, "Chrome");
}

TEST(CheckManifest, TheSetupsManifestIsOneOkFinding) {
    const Findings found = Check(Manifest());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].severity, Severity::kOk);
    EXPECT_THAT(found[0].text, HasSubstr(kManifestPath));
    // Letter case and slashes aside, and relative to the manifest's folder, the path is the same.
    EXPECT_EQ(Check(Manifest("C:\\\\Users\\\\u", "c:/users/U"))[0].severity, Severity::kOk);
    const std::string relative =
        Manifest("C:\\\\Users\\\\u\\\\AppData\\\\Local\\\\Programs\\\\ZendroWebHost\\\\", "");
    EXPECT_EQ(Check(relative)[0].severity, Severity::kOk);
    EXPECT_EQ(Check(Manifest("allowed_origins", "allowed_extensions"), true)[0].severity,
              Severity::kOk);
}

struct Defect {
    std::string manifest;
    const char* named;  // what the problem line must say
};
class ManifestDefectTest : public ::testing::TestWithParam<Defect> {};

TEST_P(ManifestDefectTest, IsAProblemThatSaysWhat) {
    const Findings found = Check(GetParam().manifest);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].severity, Severity::kProblem);
    EXPECT_THAT(found[0].text, HasSubstr(GetParam().named));
    EXPECT_EQ(DiagnosisExitCode(found), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Defects, ManifestDefectTest,
    ::testing::Values(
        Defect{"\xEF\xBB\xBF" + Manifest(), "byte-order mark"},
        Defect{Manifest("Zendro Web host", "Zendro \xC0\xAF"), "not valid UTF-8"},
        Defect{Manifest("Zendro Web host", "\xED\xA0\x80"), "not valid UTF-8"},
        Defect{"[1]", "not a JSON object"}, Defect{Manifest("}\r\n", ""), "not a JSON object"},
        Defect{Manifest("com.zendro.webhost", "com.other"), "\"name\""},
        Defect{Manifest("stdio", "pipe"), "\"type\""},
        Defect{Manifest("ZendroWebHost.exe\"", "ZendroWebHost.exe.old\""), "not this program"},
        Defect{Manifest("C:\\\\Users\\\\u", "D:\\\\Old"), "not this program"},
        Defect{Manifest("Zendro Web host", ""), "\"description\""},
        Defect{Manifest(kOrigin, "chrome-extension://aaaabbbbccccddddeeeeffffgggghhhh"),
               "lacks its trailing slash"},
        Defect{Manifest(kOrigin, "chrome-extension://aaaabbbbccccddddeeeeffffgggghhhz/"),
               "not of the form"},
        Defect{Manifest(kOrigin, "chrome-extension://*/"), "not of the form"},
        Defect{Manifest("\"" + std::string(kOrigin) + "\"", ""), "no \"allowed_origins\""}));

TEST(CheckManifest, MozillasManifestNeedsAllowedExtensions) {
    const Findings found = Check(Manifest(), true);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_THAT(found[0].text, HasSubstr("allowed_extensions"));
}

TEST(JudgePolicies, ProblemsForPoliciesThatKeepThisHostOut) {
    const std::string where = "HKLM\\Software\\Policies\\Google\\Chrome";
    const auto judge = [&](NativeMessagingPolicies policies) {
        return JudgePolicies(policies, "com.zendro.webhost", where);
    };
    EXPECT_TRUE(judge({}).empty());
    EXPECT_TRUE(judge({1, {"com.other"}, {}}).empty());
    EXPECT_TRUE(judge({std::nullopt, {"*"}, {"com.zendro.webhost"}}).empty());

    const Findings userLevel = judge({0, {}, {}});
    ASSERT_EQ(userLevel.size(), 1u);
    EXPECT_EQ(userLevel[0].severity, Severity::kProblem);
    EXPECT_THAT(userLevel[0].text, HasSubstr(where + ": policy NativeMessagingUserLevelHosts"));
    for (const char* blocked : {"*", "com.zendro.webhost"}) {
        const Findings found = judge({std::nullopt, {blocked}, {"com.other"}});
        ASSERT_EQ(found.size(), 1u);
        EXPECT_THAT(found[0].text, HasSubstr("NativeMessagingBlocklist"));
    }
}

TEST(JudgeHandOffBrowser, OkOnlyWhenTheWantedBrowserIsFoundAmongTwoOrMore) {
    const std::string user = "HKCU\\Software\\Clients\\StartMenuInternet";
    const Finding found = JudgeHandOffBrowser({"Google Chrome", user, "the lists", 2});
    EXPECT_EQ(found.severity, Severity::kOk);
    EXPECT_THAT(found.text, HasSubstr("\"Google Chrome\" unless it runs, registered in " + user));

    const Finding alone = JudgeHandOffBrowser({"Google Chrome", user, "the lists", 1});
    EXPECT_EQ(alone.severity, Severity::kWarning);
    EXPECT_THAT(alone.text, HasSubstr("the only browser registered"));

    const Finding missing = JudgeHandOffBrowser({"Mozilla Firefox", std::nullopt, "the lists", 5});
    EXPECT_EQ(missing.severity, Severity::kWarning);
    EXPECT_THAT(missing.text, HasSubstr("no browser named \"Mozilla Firefox\" is registered in "
                                        "the lists"));
}

TEST(IsAbsoluteWindowsPath, DriveOrShareOnly) {
    for (const char* path : {"C:\\a.json", "c:/a.json", "\\\\server\\share\\a.json"}) {
        EXPECT_TRUE(IsAbsoluteWindowsPath(path)) << path;
    }
    for (const char* path : {"a.json", "C:a.json", "\\a.json", "\\\\\\a", ""}) {
        EXPECT_FALSE(IsAbsoluteWindowsPath(path)) << path;
    }
}

TEST(FormatReport, OneLabelledLinePerFindingAndExitCodeOneOnlyForProblems) {
    const Findings findings = {{Severity::kOk, "a"}, {Severity::kWarning, "b\nc"}};
    EXPECT_EQ(FormatReport(findings), "ok: a\r\nwarning: b c\r\n");
    EXPECT_EQ(DiagnosisExitCode(findings), 0);
    EXPECT_EQ(DiagnosisExitCode({{Severity::kProblem, "x"}}), 1);
}

TEST(JudgeSignature, OkOnlyForATrustedSignatureAndEachLineSaysWhose) {
    const Finding trusted = JudgeSignature({true, 0, "Zendro Ltd"});
    EXPECT_EQ(trusted.severity, Severity::kOk);
    EXPECT_THAT(trusted.text, HasSubstr("by Zendro Ltd"));
    EXPECT_THAT(JudgeSignature({true, 0x800B0100, ""}).text,
                HasSubstr("no Authenticode signature"));
    const Finding untrusted = JudgeSignature({true, 0x800B0109, "Test Publisher"});
    EXPECT_EQ(untrusted.severity, Severity::kWarning);
    EXPECT_THAT(untrusted.text, HasSubstr("by Test Publisher that Windows does not trust: its "
                                          "certificate authority"));
    EXPECT_THAT(JudgeSignature({true, 0x80004005, "X"}).text, HasSubstr("0x80004005"));
    EXPECT_EQ(JudgeSignature({false, 0, ""}).severity, Severity::kWarning);
}

}  // namespace
}  // namespace zendro
