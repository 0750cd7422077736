#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

#include <gtest/gtest.h>

#include "update/manifest_win.h"
#include "update/package_win.h"
#include "update/self_update_win.h"
#include "update/version_win.h"

namespace zendro {
namespace {

namespace fs = std::filesystem;

fs::path OwnPath() {
    wchar_t path[1024] = {};
    GetModuleFileNameW(nullptr, path, 1023);
    return path;
}

// The product is built beside the test programs, with its real version resource.
fs::path ProductPath() { return OwnPath().parent_path() / L"ZendroWebHost.exe"; }

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(GetFileVersionString, ReadsTheProductVersionWithDots) {
    std::string version = "kept";
    ASSERT_TRUE(GetFileVersionString(ProductPath().wstring(), version));
    EXPECT_EQ(version, "1. 0. 0. 1");
}

TEST(GetFileVersionString, FailsWithoutAVersionResource) {
    std::string version = "kept";
    EXPECT_FALSE(GetFileVersionString(OwnPath().wstring(), version));  // tests carry none
    EXPECT_FALSE(GetFileVersionString(L"C:\\no\\such\\file.exe", version));
    EXPECT_EQ(version, "kept");
}

struct Manifest {
    std::string url = "unset";
    std::string version = "unset";
};

Manifest Parse(const std::string& text) {
    Manifest manifest;
    ParseUpdateManifest(text, manifest.url, manifest.version);
    return manifest;
}

TEST(ParseUpdateManifest, ReadsBothElements) {
    const Manifest m = Parse(
        "<?xml version=\"1.0\"?>\n<cpupdate><other a=\"1\"/><hostver>1.0.0.2</hostver>"
        "<hosturl>http://127.0.0.1/p.zip?a=1&amp;b=2</hosturl></cpupdate>");
    EXPECT_EQ(m.url, "http://127.0.0.1/p.zip?a=1&b=2");
    EXPECT_EQ(m.version, "1.0.0.2");
}

TEST(ParseUpdateManifest, TheFirstOfDuplicatesCounts) {
    const Manifest m = Parse(
        "<cpupdate><hosturl>first</hosturl><hostver> 2.0 </hostver><hosturl>second</hosturl>"
        "<hostver>3.0</hostver></cpupdate>");
    EXPECT_EQ(m.url, "first");
    EXPECT_EQ(m.version, "2.0");  // the DOM's text drops surrounding blanks
}

TEST(ParseUpdateManifest, MissingElementsLeaveTheOutputs) {
    Manifest m = Parse("<cpupdate><hosturl>u</hosturl></cpupdate>");
    EXPECT_EQ(m.url, "u");
    EXPECT_EQ(m.version, "unset");

    m = Parse("<cpupdate><hostver>1.0.0.2</hostver></cpupdate>");
    EXPECT_EQ(m.url, "unset");  // no hosturl: nothing further is read
    EXPECT_EQ(m.version, "unset");

    m = Parse("<update><hosturl>u</hosturl><hostver>9</hostver></update>");
    EXPECT_EQ(m.url, "unset");
    EXPECT_EQ(m.version, "unset");

    m = Parse("<root><cpupdate><hosturl>u</hosturl></cpupdate></root>");  // not the root
    EXPECT_EQ(m.url, "unset");
}

TEST(ParseUpdateManifest, EmptyElementsGiveEmptyTexts) {
    const Manifest m = Parse("<cpupdate><hosturl/><hostver></hostver></cpupdate>");
    EXPECT_EQ(m.url, "");
    EXPECT_EQ(m.version, "");
}

TEST(ParseUpdateManifest, DocumentsThatDoNotLoadChangeNothing) {
    for (const std::string& text :
         {std::string(), std::string("not xml"),
          std::string("<cpupdate><hosturl>u</hosturl><hostver>2</hostver>"),
          std::string("<cpupdate><hosturl>u</hostver></cpupdate>"),
          std::string("<cpupdate><hosturl>u</hosturl></cpupdate><second/>")}) {
        const Manifest m = Parse(text);
        EXPECT_EQ(m.url, "unset") << text;
        EXPECT_EQ(m.version, "unset") << text;
    }
}

TEST(MakeGuidString, GivesAFreshRegistryFormGuid) {
    const std::wstring first = MakeGuidString();
    ASSERT_EQ(first.size(), 38u);
    EXPECT_EQ(first.front(), L'{');
    EXPECT_EQ(first.back(), L'}');
    for (size_t i = 1; i < 37; ++i) {
        const wchar_t c = first[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            EXPECT_EQ(c, L'-');
        } else {
            EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << i;
        }
    }
    EXPECT_NE(MakeGuidString(), first);
}

TEST(ZipNameToWide, ConvertsUtf8AndRefusesTheRest) {
    EXPECT_EQ(ZipNameToWide("d\xC3\xA9j\xC3\xA0/x"), L"d\u00E9j\u00E0/x");
    EXPECT_EQ(ZipNameToWide(""), L"");
    EXPECT_EQ(ZipNameToWide("caf\xE9"), L"");  // Latin-1, not UTF-8
}

TEST(ExtractZipToFolder, WithoutAnArchiveIsAParameterError) {
    EXPECT_EQ(ExtractZipToFolder(nullptr, L"C:\\"), UNZ_PARAMERROR);
}

// An update of a copy of the product, with the manifest and the package supplied by the test.
class UpdateExecutableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        root_ = fs::path(temp) / (L"update-test-" + MakeGuidString());
        fs::create_directories(root_ / L"host");
        fs::create_directories(root_ / L"temp");
        executable_ = root_ / L"host" / L"ZendroWebHost.exe";
        fs::copy_file(ProductPath(), executable_);
        original_ = ReadBytes(executable_);

        sources_.executablePath = executable_.wstring();
        sources_.tempFolder = (root_ / L"temp").wstring() + L"\\";
        sources_.manifestUrl = "http://127.0.0.1:1/files/ZendroWeb/hostupdate.xml";
        sources_.fetchText = [this](const std::string& url, std::string& body) {
            requests_.push_back(url);
            if (!manifest_) return Result::Failed("fetching " + url, "refused");
            body = *manifest_;
            return Result::Ok();
        };
        sources_.downloadFile = [this](const std::string& url, const std::wstring& path) {
            requests_.push_back(url);
            downloadPaths_.push_back(path);
            if (!package_) return Result::Failed("fetching " + url, "refused");
            std::ofstream(fs::path(path), std::ios::binary) << *package_;
            return Result::Ok();
        };
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    static std::string ManifestFor(const std::string& version) {
        return "<cpupdate><hosturl>http://127.0.0.1:1/p.zip</hosturl><hostver>" + version +
               "</hostver></cpupdate>";
    }
    bool TempIsEmpty() const { return fs::is_empty(root_ / L"temp"); }
    bool ExecutableUntouched() const {
        return ReadBytes(executable_) == original_ && !fs::exists(executable_.wstring() + L".old");
    }

    fs::path root_;
    fs::path executable_;
    std::string original_;
    UpdateSources sources_;
    std::optional<std::string> manifest_;
    std::optional<std::string> package_;
    std::vector<std::string> requests_;
    std::vector<std::wstring> downloadPaths_;
    std::string swapped_;
};

TEST_F(UpdateExecutableTest, NoNewerVersionMeansNoDownload) {
    for (const char* version : {"1.0.0.1", "1.0.0.0", "0.9", "1, 0, 0, 2", "1.0.0.1.5"}) {
        requests_.clear();
        manifest_ = ManifestFor(version);
        EXPECT_TRUE(UpdateExecutable(sources_, swapped_).ok()) << version;  // nothing to do
        EXPECT_EQ(requests_, std::vector<std::string>{sources_.manifestUrl}) << version;
    }
    manifest_.reset();  // the manifest cannot be fetched
    EXPECT_EQ(UpdateExecutable(sources_, swapped_).Describe(),
              "the update manifest: fetching " + sources_.manifestUrl + ": refused");
    EXPECT_EQ(swapped_, "");
    EXPECT_TRUE(downloadPaths_.empty());
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_TRUE(ExecutableUntouched());
}

TEST_F(UpdateExecutableTest, NothingIsFetchedWithoutAnInstalledVersion) {
    sources_.executablePath = OwnPath().wstring();
    manifest_ = ManifestFor("9");
    UpdateExecutable(sources_, swapped_);
    EXPECT_TRUE(requests_.empty());
}

TEST_F(UpdateExecutableTest, AFailedOrBadDownloadLeavesNoTraceAndNoDamage) {
    manifest_ = ManifestFor("1.0.0.2");
    EXPECT_EQ(UpdateExecutable(sources_, swapped_).step(), "the update package download");
    package_ = "<html>404</html>";
    EXPECT_EQ(UpdateExecutable(sources_, swapped_).Describe(),
              "unpacking the update package: it is no zip archive");

    ASSERT_EQ(downloadPaths_.size(), 2u);
    EXPECT_NE(downloadPaths_[0], downloadPaths_[1]);  // a new work folder each time
    for (const std::wstring& path : downloadPaths_) {
        const fs::path package(path);
        EXPECT_EQ(package.filename(), L"ZendroWebHost.zip");
        EXPECT_EQ(package.parent_path().parent_path(), root_ / L"temp");
        EXPECT_EQ(package.parent_path().filename().wstring().size(), 38u);
    }
    EXPECT_EQ(requests_.back(), "http://127.0.0.1:1/p.zip");
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_TRUE(ExecutableUntouched());
}

TEST_F(UpdateExecutableTest, StopsWithoutATemporaryFolder) {
    sources_.tempFolder.clear();
    manifest_ = ManifestFor("1.0.0.2");
    package_ = "x";
    UpdateExecutable(sources_, swapped_);
    EXPECT_TRUE(downloadPaths_.empty());
    EXPECT_TRUE(ExecutableUntouched());
}

}  // namespace
}  // namespace zendro
