// Double-byte aware search, trimming, splitting, replacing.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "webkit/text.h"

// "\xB0\x41" is one character whose trail byte is an ASCII "A".
const std::string trailA = "\xB0\x41";

TEST(Text, FindNeverStartsOnATrailByte) {
    struct Case {
        std::string text, needle;
        int start;
        bool ic;
        int want;
    };
    const Case cases[] = {
        {"abcabc", "c", 1, false, 3},
        {"abcabc", "c", 4, false, 6},
        {"abcabc", "c", -5, false, 3},
        {"abcabc", "C", 1, false, -1},
        {"abcabc", "C", 1, true, 3},
        {"abc", "", 1, false, -1},
        {"abc", "abcd", 1, false, -1},
        {trailA + "A", "A", 1, false, 3},              // the trail "A" is skipped
        {trailA + "a", "A", 1, true, 3},               // and never folded
        {"x" + trailA, "A", 1, true, -1},
        {gbk("主图主"), gbk("主"), 2, false, 5},       // start inside a character
        {"\xB0\xD2\xD2\xB0", "\xD2\xD2", 1, false, -1},  // spans two characters
        {"\xD2\xD2\xD2\xD2", "\xD2\xD2", 2, false, 3},
        {"Set-COOKIE: a", "set-cookie", 1, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " / " + c.needle);
        EXPECT_EQ(find_text(c.text, c.needle, c.start, c.ic), c.want);
    }
}

TEST(Text, ReverseFindReturnsTheLastCharacterStartMatch) {
    EXPECT_EQ(find_text_reverse("abcabc", "bc"), 5);
    EXPECT_EQ(find_text_reverse("abcabc", "bc", 4), 2);
    EXPECT_EQ(find_text_reverse("abcABC", "bc", -1, true), 5);
    EXPECT_EQ(find_text_reverse("A" + trailA, "A"), 1);
    EXPECT_EQ(find_text_reverse("abc", "x"), -1);
}

TEST(Text, TrimAndRemoveBothSpaces) {
    const std::string wide = "\xA1\xA1";
    EXPECT_EQ(trim_spaces(" " + wide + "a b" + wide + "  "), "a b");
    EXPECT_EQ(trim_spaces("\ta\r\n"), "\ta\r\n");  // tabs and line breaks are no spaces
    EXPECT_EQ(trim_spaces(wide + " "), "");
    // "\xB0\xA1" followed by "\xA1": the last A1 is not a full-width space's first byte.
    EXPECT_EQ(trim_spaces("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
    EXPECT_EQ(remove_spaces(" x" + wide + "=" + " 1 "), "x=1");
}

TEST(Text, SplitFollowsTheSeparatorRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split_text("", "\r\n"), V{});
    EXPECT_EQ(split_text("a", "\r\n"), V{"a"});
    EXPECT_EQ(split_text("a\r\n\r\nb", "\r\n"), (V{"a", "", "b"}));
    EXPECT_EQ(split_text("\r\na", "\r\n"), (V{"", "a"}));
    EXPECT_EQ(split_text("a\r\n", "\r\n"), V{"a"});
    EXPECT_EQ(split_text("a;b;", ";"), (V{"a", "b"}));
    EXPECT_EQ(split_text(";", ";"), V{""});
    EXPECT_EQ(split_text(trailA + "A" + "c", "A"), (V{trailA, "c"}));
}

TEST(Text, LeftRightAndReplace) {
    EXPECT_EQ(left_bytes("abc", 0), "");
    EXPECT_EQ(left_bytes("abc", -2), "");
    EXPECT_EQ(left_bytes("abc", 2), "ab");
    EXPECT_EQ(left_bytes("abc", 9), "abc");
    EXPECT_EQ(right_bytes("abc", 2), "bc");
    EXPECT_EQ(right_bytes("abc", 9), "abc");
    EXPECT_EQ(replace_all("a.b.c", ".", ""), "abc");
    EXPECT_EQ(replace_all("aXbxc", "x", "-", true), "a-b-c");
    EXPECT_EQ(replace_all(trailA + "A", "A", "", false), trailA);
    EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
}
