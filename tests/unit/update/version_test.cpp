#include "update/version.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace zendro {
namespace {

// The running executable's FileVersion "1, 0, 0, 1" after its commas became dots.
const std::string kInstalled = "1. 0. 0. 1";

TEST(CompareVersions, OrdersByTheFirstDifferingField) {
    EXPECT_EQ(CompareVersions("1.0.0.1", kInstalled), 0);
    EXPECT_GT(CompareVersions("1.0.0.0", kInstalled), 0);
    EXPECT_EQ(CompareVersions("1.0.0.2", kInstalled), -1);
    EXPECT_EQ(CompareVersions("2", "1.9.9.9"), -1);
    EXPECT_EQ(CompareVersions("1.2", "1.0.9.9"), -2);
    EXPECT_EQ(CompareVersions("1.0.3", "1.0.0.7"), -3);
    EXPECT_EQ(CompareVersions("3.0", "5.0"), 2);
}

TEST(CompareVersions, ReadsFieldsTheWayTheTokeniserDoes) {
    EXPECT_EQ(CompareVersions("1.0.0.1.7", kInstalled), 0);  // a fifth field is ignored
    EXPECT_EQ(CompareVersions("1.0.0.1.99", "1.0.0.1.1"), 0);
    EXPECT_EQ(CompareVersions("1..2", "1.2.0.0"), 0);  // runs of "." are one separator
    EXPECT_EQ(CompareVersions(".3", "3"), 0);          // a leading "." makes no empty field
    EXPECT_EQ(CompareVersions("3.", "3.0.0.0"), 0);
    EXPECT_EQ(CompareVersions("beta.2", "0.2"), 0);  // no leading digits: 0
    EXPECT_EQ(CompareVersions("1a.2b", "1.2"), 0);   // digits up to the first other character
    EXPECT_EQ(CompareVersions("", "0.0.0.0"), 0);
    EXPECT_EQ(CompareVersions("...", ""), 0);
    EXPECT_EQ(CompareVersions(" +1.\t2", "1.2"), 0);
    EXPECT_EQ(CompareVersions("-1", "0"), 1);
}

TEST(CompareVersions, CommasInTheCandidateAreNotSeparators) {
    // "1, 0, 0, 2" is one token read as 1: never newer than 1.0.0.1.
    EXPECT_EQ(CompareVersions("1, 0, 0, 2", kInstalled), 1);
    EXPECT_EQ(CompareVersions("1, 0, 0, 2", "1"), 0);
}

TEST(CompareVersions, HugeFieldsSaturateAndKeepTheirOrder) {
    EXPECT_LT(CompareVersions("99999999999999999999", "2147483646"), 0);
    EXPECT_EQ(CompareVersions("99999999999999999999", "2147483647"), 0);
    EXPECT_EQ(CompareVersions("2147483647", "-2147483648"), INT_MIN);
    EXPECT_EQ(CompareVersions("-99999999999999999999", "2147483647"), INT_MAX);
}

TEST(CompareVersions, OnlyTheFirst254CharactersCount) {
    // The working buffer holds 254 characters: what lies beyond is not part of the version.
    // "1.0.0." and blanks fill all 254 characters: the "2" behind them is cut off.
    EXPECT_EQ(CompareVersions("1.0.0." + std::string(248, ' ') + "2", kInstalled), 1);
    EXPECT_EQ(CompareVersions("1.0.0." + std::string(247, ' ') + "2", kInstalled), -1);
    EXPECT_EQ(CompareVersions(std::string(100000, '.') + "7", "0"), 0);
    EXPECT_EQ(CompareVersions(std::string("1.0.0.2\0"
                                          "9",
                                          9),
                              kInstalled),
              -1);
}

TEST(NormalVersionText, ShowsTheFourFieldsAsCompared) {
    EXPECT_EQ(NormalVersionText("1. 0. 0. 1"), "1.0.0.1");
    EXPECT_EQ(NormalVersionText("2"), "2.0.0.0");
    EXPECT_EQ(NormalVersionText("1.2.3.4.5"), "1.2.3.4");
    EXPECT_EQ(NormalVersionText("..7x..8"), "7.8.0.0");
}

}  // namespace
}  // namespace zendro
