#include "daemon/daemon_launch.h"

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(PortText, AcceptsOneToFiveDigitsFromOneTo65535) {
    for (const char* port : {"1", "80", "9091", "65535", "09091", "00001"}) {
        EXPECT_TRUE(IsValidPortText(port)) << port;
    }
}

TEST(PortText, RefusesAnythingThatCouldReachTheCommandLineAsMoreThanAPort) {
    for (const char* port :
         {"", "0", "00000", "65536", "99999", "100000", "009091", "9091 -Dx=y", " 9091", "9091 ",
          "+9091", "-1", "abc", "9o91", "0x1F", "9091\n", "\xD9\xA1"}) {
        EXPECT_FALSE(IsValidPortText(port)) << port;
    }
    EXPECT_FALSE(IsValidPortText(std::string("9091\0", 5)));
}

TEST(JavaParameters, AreExactlyTheDaemonsLaunchLine) {
    const JavaLaunchPaths paths{
        L"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Zendro",
        L"C:\\users\\u\\Downloads\\Zendro Downloads",
        L"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Torrents",
        L"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Zendro\\zendrolite.jar",
    };
    EXPECT_EQ(
        BuildJavaParameters(paths, L"9093"),
        L"-Xmx128m"
        L" -Djava.library.path=\"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Zendro\""
        L" -Duser.dir=\"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Zendro\""
        L" -Dorlath.config.path=\"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Zendro\""
        L" -Dorlath.low.resource.mode=true -Dorlath.pairing.enable.default=false"
        L" -Dorlath.portable.enable=true"
        L" -Dorlath.folder.download=\"C:\\users\\u\\Downloads\\Zendro Downloads\""
        L" -Dorlath.tessui.port=9093"
        L" -Dorlath.folder.torrent=\"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Torrents\""
        L" -classpath \"C:\\users\\u\\AppData\\Roaming\\ZendroWebDaemon\\Zendro\\zendrolite.jar\""
        L" com.zendro.lite.ZendroLite");
}

TEST(JavaParameters, EachPathLandsInItsOwnPlace) {
    const std::wstring text = BuildJavaParameters({L"P", L"D", L"T", L"A"}, L"1");
    EXPECT_EQ(text,
              L"-Xmx128m -Djava.library.path=\"P\" -Duser.dir=\"P\" -Dorlath.config.path=\"P\""
              L" -Dorlath.low.resource.mode=true -Dorlath.pairing.enable.default=false"
              L" -Dorlath.portable.enable=true -Dorlath.folder.download=\"D\""
              L" -Dorlath.tessui.port=1 -Dorlath.folder.torrent=\"T\" -classpath \"A\""
              L" com.zendro.lite.ZendroLite");
}

TEST(CommandLine, QuotesTheProgramAndKeepsTheParameters) {
    EXPECT_EQ(BuildCommandLine(L"C:\\a b\\java.exe", L"-x \"y\""),
              L"\"C:\\a b\\java.exe\" -x \"y\"");
}

TEST(JoinPath, AddsOneSeparator) {
    EXPECT_EQ(JoinPath(L"C:\\Temp\\", L"x.exe"), L"C:\\Temp\\x.exe");
    EXPECT_EQ(JoinPath(L"C:\\Temp", L"x.exe"), L"C:\\Temp\\x.exe");
    EXPECT_EQ(JoinPath(L"C:/Temp/", L"x.exe"), L"C:/Temp/x.exe");
}

}  // namespace
}  // namespace zendro
