#include "base/run_files.h"

#include <gtest/gtest.h>

#include <vector>

namespace zendro {
namespace {

TEST(NextBusyPauseMs, GrowsToItsLongestAndEndsAtTheBudget) {
    std::vector<unsigned> pauses;
    unsigned waited = 0;
    for (unsigned tries = 1; unsigned pause = NextBusyPauseMs(tries, waited); ++tries) {
        pauses.push_back(pause);
        waited += pause;
        ASSERT_LT(tries, 100u);
    }
    EXPECT_EQ(waited, kBusyRetryBudgetMs);
    ASSERT_GE(pauses.size(), 6u);
    EXPECT_EQ(pauses.front(), kBusyFirstPauseMs);
    for (size_t i = 1; i + 1 < pauses.size(); ++i) {
        EXPECT_GE(pauses[i], pauses[i - 1]);
        EXPECT_LE(pauses[i], kBusyLongestPauseMs);
    }
    EXPECT_EQ(NextBusyPauseMs(0, 0), 0u);
    EXPECT_EQ(NextBusyPauseMs(1000, kBusyRetryBudgetMs + 1), 0u);
}

TEST(IsBusyError, OnlySharingLockAndAccessDenials) {
    for (unsigned long busy : {5ul, 32ul, 33ul}) EXPECT_TRUE(IsBusyError(busy)) << busy;
    // file or path not found, disk full, invalid name: waiting changes nothing
    for (unsigned long other : {0ul, 2ul, 3ul, 112ul, 123ul}) EXPECT_FALSE(IsBusyError(other));
}

TEST(IsRemovableRunFolder, OnlyPlainFoldersNamedAsRunsMake) {
    const std::wstring made = RunFolderName(0x1c4, 0x123456789abcdefULL);
    EXPECT_EQ(made, L"run-1c4-123456789abcdef");
    EXPECT_TRUE(IsRemovableRunFolder(made, true, false));
    EXPECT_TRUE(IsRemovableRunFolder(RunFolderName(0xffffffffu, ~0ULL), true, false));
    EXPECT_FALSE(IsRemovableRunFolder(made, false, false));  // a file of that name
    EXPECT_FALSE(IsRemovableRunFolder(made, true, true));    // a link or junction
    for (const wchar_t* other :
         {L"run-", L"run-1", L"run-1-", L"run--1", L"run-1-2-3", L"run-x-1", L"RUN-1-2x",
          L"run-11111111111111111-1", L"Run-1-2 ", L"..", L".", L"ZendroWebHost.zip",
          L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}", L"run-1-2\\..\\x"}) {
        EXPECT_FALSE(IsRemovableRunFolder(other, true, false)) << other;
    }
}

TEST(SweepStepFor, DescendsIntoPlainFoldersOnly) {
    EXPECT_EQ(SweepStepFor(true, false), SweepStep::kEmptyThenRemove);
    EXPECT_EQ(SweepStepFor(true, true), SweepStep::kRemoveItself);   // a junction, a folder link
    EXPECT_EQ(SweepStepFor(false, true), SweepStep::kRemoveItself);  // a file link
    EXPECT_EQ(SweepStepFor(false, false), SweepStep::kRemoveItself);
}

TEST(TemporaryFolderSecurity, ProtectedForTheUserAndSystemAndUsedOnlyWhenTheirOwn) {
    const std::wstring user = L"S-1-5-21-1004336348-1177238915-682003330-1001";
    const std::wstring sddl = OwnFolderSecurity(user);
    EXPECT_EQ(sddl.rfind(L"O:" + user + L"D:P(", 0), 0u) << sddl;  // owned, inheriting nothing
    std::vector<std::wstring> trustees;  // each entry: (allow;inherited by all;all access;;;who)
    for (size_t at = sddl.find(L'('); at != std::wstring::npos; at = sddl.find(L'(', at + 1)) {
        const std::wstring ace = sddl.substr(at + 1, sddl.find(L')', at) - at - 1);
        EXPECT_EQ(ace.rfind(L"A;OICI;FA;;;", 0), 0u) << ace;
        trustees.push_back(ace.substr(ace.rfind(L';') + 1));
    }
    EXPECT_EQ(trustees, (std::vector<std::wstring>{user, L"SY"}));
    EXPECT_EQ(OwnFolderSecurity(L""), L"");  // never a list without the user in it

    EXPECT_TRUE(IsUsersOwnFolder(user, user));
    for (const wchar_t* other :
         {L"S-1-5-21-1004336348-1177238915-682003330-1002", L"S-1-5-32-544", L"S-1-5-18", L""}) {
        EXPECT_FALSE(IsUsersOwnFolder(other, user)) << other;
    }
    EXPECT_FALSE(IsUsersOwnFolder(L"", L""));  // an unknown user owns nothing
}

TEST(ExtendedLengthPath, PrefixesDriveAndSharePathsOnce) {
    EXPECT_EQ(ExtendedLengthPath(L"C:\\Users\\u\\Temp"), L"\\\\?\\C:\\Users\\u\\Temp");
    EXPECT_EQ(ExtendedLengthPath(L"\\\\server\\share\\t"), L"\\\\?\\UNC\\server\\share\\t");
    EXPECT_EQ(ExtendedLengthPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(ExtendedLengthPath(L"\\\\.\\pipe\\x"), L"\\\\.\\pipe\\x");
    EXPECT_EQ(ExtendedLengthPath(L"relative\\x"), L"relative\\x");
    EXPECT_EQ(ExtendedLengthPath(L"C:relative"), L"C:relative");
    for (const std::wstring path : {L"C:\\a\\b", L"\\\\server\\share\\t", L"x"}) {
        EXPECT_EQ(WithoutExtendedPrefix(ExtendedLengthPath(path)), path);
    }
}

}  // namespace
}  // namespace zendro
