#include "base/registry_text.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace zendro {
namespace {

// A zeroed read buffer holding `text` (with whatever NULs it contains) at its start.
struct Buffer {
    explicit Buffer(const std::u16string& text = u"") { text.copy(units, kRegistryTextUnits); }
    char16_t units[kRegistryTextUnits] = {};
};

TEST(RegistryTextFromUnits, ReadsTextsThatEndInANul) {
    const Buffer buffer(std::u16string(u"Zendro Web\0", 11));
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 22), u"Zendro Web");
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 2 * kRegistryTextUnits), u"Zendro Web");
    EXPECT_EQ(RegistryTextFromUnits(Buffer().units, 0), u"");  // an empty value
    EXPECT_EQ(RegistryTextFromUnits(Buffer().units, 2), u"");  // just the NUL
}

TEST(RegistryTextFromUnits, StopsAtTheFirstNul) {
    const Buffer buffer(std::u16string(u"a\0b\0", 4));
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 8), u"a");
}

TEST(RegistryTextFromUnits, RefusesBytesThatAreNoText) {
    const Buffer buffer(u"Zendro Web");
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 20), std::nullopt);  // no NUL at the end
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 21), std::nullopt);  // half a unit
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 1), std::nullopt);
}

TEST(RegistryTextFromUnits, RefusesSizesBeyondTheBuffer) {
    // Must not look at the unit behind the buffer, which a sanitizer would report.
    const Buffer buffer;
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 2 * kRegistryTextUnits + 2), std::nullopt);
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 1u << 20), std::nullopt);
}

TEST(RegistryTextFromUnits, AFullBufferWithoutNulIsNoText) {
    Buffer buffer;
    std::fill(std::begin(buffer.units), std::end(buffer.units), u'x');
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 2 * kRegistryTextUnits), std::nullopt);
    buffer.units[kRegistryTextUnits - 1] = u'\0';
    EXPECT_EQ(RegistryTextFromUnits(buffer.units, 2 * kRegistryTextUnits),
              std::u16string(kRegistryTextUnits - 1, u'x'));
}

}  // namespace
}  // namespace zendro
