#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "net/http.h"
#include "win/files_win.h"

namespace zendro {
namespace {

// Someone who can write where a download lands plants, under the name its partial file will
// have, a hard link to a file of the user's: the download must fail rather than write through it.
TEST(HttpDownloadToFile, RefusesAnEntryPlantedWhereItsPartialFileGoes) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"zendro-part-test";
    RemoveFolderTree(folder, true);
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring victim = folder + L"\\victim.txt";
    const std::wstring target = folder + L"\\download.exe";
    const std::wstring part = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L".part";
    {
        const UniqueHandle file(::CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), "keep", 4, &written, nullptr));
    }
    ASSERT_TRUE(::CreateHardLinkW(part.c_str(), victim.c_str(), nullptr));

    // Nothing listens on port 9; the old way truncated the victim before even trying.
    EXPECT_FALSE(HttpDownloadToFile("http://127.0.0.1:9/installer.exe", target, 1024));
    std::string kept;
    EXPECT_TRUE(ReadWholeFile(victim, kept));
    EXPECT_EQ(kept, "keep");
    EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RemoveFolderTree(folder, true));
    EXPECT_EQ(::GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace zendro
