#include "host/diagnose_win.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zendro {
namespace {

using ::testing::HasSubstr;

// This test program is built without the host's icon and manifest.
TEST(CheckOwnResources, NamesTheIconAndTheManifestAProgramLacks) {
    Findings found;
    CheckOwnResources(found);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].severity, Severity::kWarning);
    EXPECT_THAT(found[0].text, HasSubstr("has no icon"));
    EXPECT_EQ(found[1].severity, Severity::kWarning);
    EXPECT_THAT(found[1].text, HasSubstr("has no application manifest"));
}

}  // namespace
}  // namespace zendro
