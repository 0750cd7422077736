#include "base/module_path.h"

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(IsWholeModulePath, APathThatFillsTheRequestCountsAsCutShort) {
    EXPECT_FALSE(IsWholeModulePath(0));
    EXPECT_TRUE(IsWholeModulePath(1));
    EXPECT_TRUE(IsWholeModulePath(kModulePathUnits - 2));
    EXPECT_FALSE(IsWholeModulePath(kModulePathUnits - 1));
}

}  // namespace
}  // namespace zendro
