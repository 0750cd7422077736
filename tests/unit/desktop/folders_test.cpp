#include "desktop/folders.h"

#include <map>

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(PrefixedPath, FitsUpTo1018UnitsAndNeverMore) {
    EXPECT_EQ(PrefixedPath(L"C:\\x"), L"\\\\?\\C:\\x");
    const std::wstring longest(1018, L'a');
    ASSERT_TRUE(PrefixedPath(longest));
    EXPECT_EQ(PrefixedPath(longest)->size() + 1, kPrefixedPathCapacity - 1);
    EXPECT_FALSE(PrefixedPath(std::wstring(1019, L'a')));
    EXPECT_FALSE(PrefixedPath(std::wstring(40000, L'a')));
}

TEST(ContainingFolder, CutsAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(ContainingFolder(L"C:\\a\\b\\file.txt"), L"C:\\a\\b");
    EXPECT_EQ(ContainingFolder(L"C:/a/b/file.txt"), L"C:/a/b");
    EXPECT_EQ(ContainingFolder(L"C:\\a/b\\c/file.txt"), L"C:\\a/b\\c");
    EXPECT_EQ(ContainingFolder(L"C:/a/b\\file.txt"), L"C:/a/b");
    EXPECT_EQ(ContainingFolder(L"sub\\file.txt"), L"sub");
    EXPECT_EQ(ContainingFolder(L"\\\\server\\share\\file"), L"\\\\server\\share");
}

TEST(ContainingFolder, KeepsTheSeparatorOfARoot) {
    EXPECT_EQ(ContainingFolder(L"C:\\file.txt"), L"C:\\");
    EXPECT_EQ(ContainingFolder(L"C:/file.txt"), L"C:/");
    EXPECT_EQ(ContainingFolder(L"\\file.txt"), L"\\");
}

TEST(ContainingFolder, NoSeparatorMeansNoFolder) {
    EXPECT_FALSE(ContainingFolder(L"file.txt"));
    EXPECT_FALSE(ContainingFolder(L""));
}

class FolderToShowTest : public ::testing::Test {
  protected:
    std::map<std::wstring, PathKind> disk{
        {L"C:\\d", PathKind::kFolder},     {L"C:\\d\\f.exe", PathKind::kOther},
        {L"C:/d/f.exe", PathKind::kOther}, {L"C:/d", PathKind::kFolder},
        {L"f.exe", PathKind::kOther},      {L"C:\\gone\\f.exe", PathKind::kOther},
        {L"C:\\", PathKind::kFolder},      {L"C:\\f.exe", PathKind::kOther},
    };
    std::vector<std::wstring> asked;

    std::optional<std::wstring> Show(const std::wstring& path) {
        return FolderToShow(path, [this](const std::wstring& p) {
            asked.push_back(p);
            const auto found = disk.find(p);
            return found == disk.end() ? PathKind::kMissing : found->second;
        });
    }
};

TEST_F(FolderToShowTest, AFolderIsShownItself) { EXPECT_EQ(Show(L"C:\\d"), L"C:\\d"); }

TEST_F(FolderToShowTest, AFileIsNeverShownOnlyItsFolder) {
    EXPECT_EQ(Show(L"C:\\d\\f.exe"), L"C:\\d");
    EXPECT_EQ(Show(L"C:/d/f.exe"), L"C:/d");
    EXPECT_EQ(Show(L"C:\\f.exe"), L"C:\\");
    EXPECT_EQ(asked.back(), L"C:\\");
}

TEST_F(FolderToShowTest, NothingWhenThereIsNoExistingFolderToShow) {
    EXPECT_FALSE(Show(L"C:\\missing"));
    EXPECT_FALSE(Show(L""));
    EXPECT_FALSE(Show(L"f.exe"));            // no folder named: the file itself is not opened
    EXPECT_FALSE(Show(L"C:\\gone\\f.exe"));  // its folder is not there
}

TEST_F(FolderToShowTest, NothingWhenTheFolderIsTooLongForTheShell) {
    const std::wstring longest = L"C:\\" + std::wstring(kShellPathLimit - 4, L'a');
    disk[longest] = PathKind::kFolder;
    disk[longest + L"a"] = PathKind::kFolder;
    disk[longest + L"a\\f"] = PathKind::kOther;
    EXPECT_EQ(Show(longest), longest);
    EXPECT_FALSE(Show(longest + L"a"));
    EXPECT_FALSE(Show(longest + L"a\\f"));
}

TEST(FolderChoiceText, MarksUnreadablePaths) {
    EXPECT_EQ(FolderChoiceText(L"C:\\x", true), L"C:\\x");
    EXPECT_EQ(FolderChoiceText(L"C:\\x", false), L"invalidC:\\x");
}

}  // namespace
}  // namespace zendro
