#include "daemon/daemon_port.h"

#include <set>
#include <vector>

#include <gtest/gtest.h>

namespace zendro {
namespace {

struct PortCase {
    std::string contents;
    std::string port;
};

void ExpectPorts(const std::vector<PortCase>& cases) {
    for (const PortCase& c : cases) {
        EXPECT_EQ(PortFromExportedSettings(c.contents), c.port) << c.contents;
    }
}

TEST(PortFromExportedSettings, ReadsThePortLine) {
    ExpectPorts({
        {"tessui.port=9091\r\n", "9091"},
        {"a=b\r\ntessui.port=9091\r\nc=d\r\n", "9091"},
        {"x=1\r\ntessui.port=8080\r\n", "8080"},
    });
}

TEST(PortFromExportedSettings, NeedsTheKeyAndACrLfAfterIt) {
    ExpectPorts({
        {"", ""},
        {"other.port=9091\r\n", ""},
        {"tessui.port=9091", ""},            // last line, no end
        {"a=b\ntessui.port=9091\n", ""},     // LF only
        {"tessui.port=9091\r", ""},          // CR only
        {"tessui.port=9091\n\r\n", "9091"},  // LF is a blank here
        {"tessui.port =9091\r\n", ""},       // blank before "="
        {"Tessui.Port=9091\r\n", ""},        // case matters
        {"tessui.port:9091\r\n", ""},
    });
}

TEST(PortFromExportedSettings, ReadsTheValueLikeStrtol) {
    ExpectPorts({
        {"tessui.port= 8080\r\n", "8080"},
        {"tessui.port=\t\v\f 8080\r\n", "8080"},
        {"tessui.port=8080 # web port\r\n", "8080"},
        {"tessui.port=9091abc\r\n", "9091"},
        {"tessui.port=+9091\r\n", "9091"},
        {"tessui.port=-5\r\n", "-5"},
        {"tessui.port=0009091\r\n", "9091"},
        {"tessui.port=70000\r\n", "70000"},
    });
}

TEST(PortFromExportedSettings, ZeroOrNoDigitsGiveNothing) {
    for (const char* contents :
         {"tessui.port=0\r\n", "tessui.port=-0\r\n", "tessui.port=\r\n", "tessui.port=abc\r\n",
          "tessui.port= \r\n", "tessui.port=+\r\n", "tessui.port=- 5\r\n", "tessui.port=0x1F\r\n",
          "tessui.port=000\r\n"}) {
        EXPECT_EQ(PortFromExportedSettings(contents), "") << contents;
    }
}

TEST(PortFromExportedSettings, ClampsToThirtyTwoBits) {
    ExpectPorts({
        {"tessui.port=2147483647\r\n", "2147483647"},
        {"tessui.port=2147483648\r\n", "2147483647"},
        {"tessui.port=99999999999999999999999\r\n", "2147483647"},
        {"tessui.port=-2147483648\r\n", "-2147483648"},
        {"tessui.port=-2147483649\r\n", "-2147483648"},
        {"tessui.port=-99999999999999999999999\r\n", "-2147483648"},
    });
}

TEST(PortFromExportedSettings, TheFirstKeyWinsEvenAsTheTailOfALongerKey) {
    ExpectPorts({
        {"tessui.port=1111\r\ntessui.port=2222\r\n", "1111"},
        {"old.tessui.port=3333\r\ntessui.port=9091\r\n", "3333"},
        {"xtessui.port=4444\r\n", "4444"},
    });
    // The first key decides even when its own value cannot be read.
    EXPECT_EQ(PortFromExportedSettings("tessui.port=0\r\ntessui.port=9091\r\n"), "");
    // The CR LF searched for is the first one after the key, wherever it stands.
    EXPECT_EQ(PortFromExportedSettings("tessui.port=9091\nnext=1\r\n"), "9091");
    EXPECT_EQ(PortFromExportedSettings("tessui.port=x\nnext=9091\r\n"), "");
}

TEST(PortFromExportedSettings, TreatsTheFileAsBytes) {
    const std::string withZeros("\0junk\0tessui.port=9091\r\n", 24);
    EXPECT_EQ(PortFromExportedSettings(withZeros), "9091");
    EXPECT_EQ(PortFromExportedSettings(std::string("tessui.port=\0"
                                                   "9091\r\n",
                                                   19)),
              "");
    EXPECT_EQ(PortFromExportedSettings("\xEF\xBB\xBFtessui.port=9091\r\n"), "9091");  // BOM
}

TEST(FirstBindablePort, TriesFrom9091To9101InOrder) {
    std::vector<unsigned short> tried;
    const std::set<unsigned short> taken = {9091, 9092};
    EXPECT_EQ(FirstBindablePort([&](unsigned short port) {
                  tried.push_back(port);
                  return taken.count(port) == 0;
              }),
              "9093");
    EXPECT_EQ(tried, (std::vector<unsigned short>{9091, 9092, 9093}));

    tried.clear();
    EXPECT_EQ(FirstBindablePort([&](unsigned short port) {
                  tried.push_back(port);
                  return false;
              }),
              "9102");
    ASSERT_EQ(tried.size(), 11u);
    EXPECT_EQ(tried.front(), 9091);
    EXPECT_EQ(tried.back(), 9101);

    EXPECT_EQ(FirstBindablePort([](unsigned short port) { return port == 9101; }), "9101");
}

}  // namespace
}  // namespace zendro
