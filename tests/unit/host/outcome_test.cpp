#include "host/outcome.h"

#include <gtest/gtest.h>

#include "host/channel.h"

namespace zendro {
namespace {

// Changing commands leave a line; read-only ones only when they fail.
TEST(DescribeOutcome, OneLineForChangesAndFailuresNothingForReadOnlySuccess) {
    EXPECT_EQ(DescribeOutcome("CheckNativeMessagingHost", "1"), std::nullopt);
    EXPECT_EQ(DescribeOutcome("ReadDaemonPort", "9091"), std::nullopt);
    EXPECT_EQ(DescribeOutcome("checkDefaultApplication", "unset"), std::nullopt);
    EXPECT_EQ(DescribeOutcome("openContainingFolder", "success"), std::nullopt);
    EXPECT_EQ(DescribeOutcome("openContainingFolder", "failed"), "opening the folder failed");
    EXPECT_EQ(DescribeOutcome("StartDaemon", "started"), "the daemon started");
    EXPECT_EQ(DescribeOutcome("StartDaemon", "failed"), "starting the daemon failed");
    EXPECT_EQ(DescribeOutcome("setDefaultApplication", "failed"),
              "setting the .torrent and magnet association failed");
    EXPECT_EQ(DescribeOutcome("unsetDefaultApplication", "success"),
              "the .torrent and magnet association was removed");
    EXPECT_EQ(DescribeOutcome("UpdateNativeHost", ""), "the update ran");
    EXPECT_EQ(DescribeOutcome("", kParseFailedReply), "the request could not be read");
    EXPECT_EQ(DescribeOutcome("Nonsense", std::nullopt), "no such command; closed without a reply");
}

}  // namespace
}  // namespace zendro
