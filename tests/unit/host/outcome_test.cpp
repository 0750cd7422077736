#include "host/outcome.h"

#include <gtest/gtest.h>

#include "host/channel.h"

namespace zendro {
namespace {

// The host's own lines: the request it could not read and the daemon's start; the other commands
// log for themselves.
TEST(DescribeOutcome, OnlyTheRequestAndTheDaemonStartLeaveTheHostsLine) {
    for (const auto& [command, reply] : {std::pair{"CheckNativeMessagingHost", "1"},
                                         {"ReadDaemonPort", "9091"},
                                         {"checkDefaultApplication", "unset"},
                                         {"openContainingFolder", "failed"},
                                         {"StartDaemon", "failed"},
                                         {"setDefaultApplication", "success"},
                                         {"unsetDefaultApplication", "success"},
                                         {"UpdateNativeHost", ""}}) {
        EXPECT_EQ(DescribeOutcome(command, reply), std::nullopt) << command;
    }
    EXPECT_EQ(DescribeOutcome("StartDaemon", "started"), "the daemon started");
    EXPECT_EQ(DescribeOutcome("", kParseFailedReply), "the request could not be read");
    EXPECT_EQ(DescribeOutcome("Nonsense", std::nullopt), "no such command; closed without a reply");
}

}  // namespace
}  // namespace zendro
