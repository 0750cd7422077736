#include "update/entry_name.h"

#include <string>

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(IsSafeEntryName, AcceptsNamesInsideTheFolder) {
    for (const std::string name :
         {"ZendroWebHost.exe", "bin/", "bin/ZendroWebHost.exe", "bin\\x.dll", "a/./b", "a//b",
          "./a", "..a", "a..", "a..b/c", ".hidden", "d\xC3\xA9j\xC3\xA0/\xE4\xB8\xAD.txt",
          "console.txt", "COM10", "com0", "LPT", "nul_file", "x.con"}) {
        EXPECT_TRUE(IsSafeEntryName(name)) << name;
    }
    EXPECT_TRUE(IsSafeEntryName(std::string(kMaxEntryNameBytes, 'a')));
}

TEST(IsSafeEntryName, RejectsNamesThatLeaveTheFolder) {
    for (const std::string name : {"",
                                   "/abs",
                                   "\\abs",
                                   "//server/share/x",
                                   "\\\\?\\C:\\x",
                                   "C:x",
                                   "C:\\x",
                                   "c:/x",
                                   "a/b:c",
                                   "x::$DATA",
                                   "..",
                                   "../x",
                                   "..\\x",
                                   "a/../../x",
                                   "a\\..\\..\\x",
                                   "a/..",
                                   "a/../",
                                   "...",
                                   "a/.../x",
                                   ".. /x",
                                   "../",
                                   ". ./x",
                                   " ",
                                   "a/ /b"}) {
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
    }
}

TEST(IsSafeEntryName, RejectsDevicesControlCharactersAndOverlongNames) {
    for (const std::string name : {"CON", "con", "nul.txt", "a/Nul", "aux.tar.gz", "PRN ", "com1",
                                   "LPT9.x", "conout$", "CONIN$", "a\tb", "a\nb"}) {
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
    }
    EXPECT_FALSE(IsSafeEntryName(std::string("ZendroWebHost.exe\0.txt", 22)));
    EXPECT_FALSE(IsSafeEntryName(std::string(kMaxEntryNameBytes + 1, 'a')));
    EXPECT_FALSE(IsSafeEntryName(std::string(300, 'a') + "/"));
}

TEST(IsFolderEntryName, LooksAtTheLastCharacter) {
    EXPECT_TRUE(IsFolderEntryName("bin/"));
    EXPECT_TRUE(IsFolderEntryName("bin\\"));
    EXPECT_TRUE(IsFolderEntryName("ZendroWebHost.exe/"));
    EXPECT_FALSE(IsFolderEntryName("bin/x"));
    EXPECT_FALSE(IsFolderEntryName(""));
}

}  // namespace
}  // namespace zendro
