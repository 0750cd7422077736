#include "win/text_win.h"

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(TextConversion, RoundTripsNonAsciiText) {
    const std::string narrow = "C:\\Users\\J\xC3\xBCrgen\\\xE4\xB8\xAD\xF0\x9F\x98\x80";
    const std::wstring wide = ToWide(narrow);
    EXPECT_EQ(wide, L"C:\\Users\\J\u00FCrgen\\\u4E2D\U0001F600");
    EXPECT_EQ(ToNarrow(wide), narrow);
}

TEST(TextConversion, FailureKeepsWhatTheOutputHeld) {
    std::wstring wide = L"kept";
    ToWide("bad \xC3(", wide);
    EXPECT_EQ(wide, L"kept");
    ToWide("", wide);
    EXPECT_EQ(wide, L"kept");
    EXPECT_EQ(ToWide("\xFF"), L"");

    std::string narrow = "kept";
    ToNarrow(std::wstring(1, wchar_t(0xD800)), narrow);  // a lone surrogate
    EXPECT_EQ(narrow, "kept");
}

TEST(TextConversion, ShownTextMarksEachBadSequenceAndKeepsTheRest) {
    EXPECT_EQ(ToWideShown("a\xC3(b\xFF"), L"a\uFFFD(b\uFFFD");
    EXPECT_EQ(ToNarrowShown(L"a" + std::wstring(1, wchar_t(0xD800)) + L"\u00FC"),
              "a\xEF\xBF\xBD\xC3\xBC");
    EXPECT_EQ(ToWideShown(""), L"");
}

}  // namespace
}  // namespace zendro
