// GBK conversions: round trips, the replacement for every kind of invalid byte, offsets.
#include <gtest/gtest.h>

#include <random>

#include "platform/codepage.h"

TEST(Codepage, LiteralHelperGivesGbkBytes) {
    EXPECT_EQ(gbk("主图"), "\xD6\xF7\xCD\xBC");
    EXPECT_EQ(gbk("#引号"), "#\xD2\xFD\xBA\xC5");
    EXPECT_EQ(gbk("（·）"), "\xA3\xA8\xA1\xA4\xA3\xA9");
    EXPECT_EQ(gbk("abc\r\n"), "abc\r\n");
}

TEST(Codepage, DecodesValidTextAndReencodesItByteForByte) {
    const std::string text = gbk("获取标题：商品ID") + "\x80" + "a\\b";
    std::u16string u = gbk_to_utf16(text);
    EXPECT_EQ(u, u"获取标题：商品ID€a\\b");
    EXPECT_EQ(utf16_to_gbk(u), text);
    EXPECT_EQ(utf8_to_gbk(gbk_to_utf8(text)), text);
}

struct InvalidCase {
    const char* name;
    std::string bytes;
    std::u16string decoded;
    std::string round_trip;
};

TEST(Codepage, InvalidBytesHaveADefinedReplacement) {
    const InvalidCase cases[] = {
        {"lone FF", "a\xFF" "b", u"a\uF8F5b", "a\xFF" "b"},
        {"user area AAA1", "\xAA\xA1", u"\uE000", "\xAA\xA1"},
        {"user area FEFE", "\xFE\xFE", u"\uE4C5", "\xFE\xFE"},
        {"user area A140", "\xA1\x40", u"\uE4C6", "\xA1\x40"},
        {"user area A7A0", "\xA7\xA0", u"\uE765", "\xA7\xA0"},
        {"lead before non-trail", "a\x81\x7F" "b", u"a?\x7F" "b", "a?\x7F" "b"},
        {"lead at the end", "ab\xD6", u"ab?", "ab?"},
        {"lead before digit", "\x81\x30" "x", u"?0x", "?0x"},
        {"unassigned pair", "\xA6\xD9" "z", u"?z", "?z"},
        {"only invalid", "\xFF\xFF", u"\uF8F5\uF8F5", "\xFF\xFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(gbk_to_utf16(c.bytes), c.decoded);
        EXPECT_EQ(utf16_to_gbk(gbk_to_utf16(c.bytes)), c.round_trip);
        EXPECT_EQ(utf8_to_gbk(gbk_to_utf8(c.bytes)), c.round_trip);
    }
}

TEST(Codepage, CharactersOutsideGbkBecomeOneQuestionMark) {
    EXPECT_EQ(utf16_to_gbk(u"a\U0001F600b"), "a?b");   // surrogate pair
    EXPECT_EQ(utf16_to_gbk(u"a\xD800"), "a?");        // lone high surrogate at the end
    EXPECT_EQ(utf8_to_gbk("a\xC3" "b"), "a?b");       // broken UTF-8
    EXPECT_EQ(utf8_to_gbk("\xE2\x82\xAC"), "\x80");   // euro sign
}

TEST(Codepage, IndexedDecodingMapsEveryUnitToItsBytes) {
    const std::string text = "a" + gbk("主") + "\xFF\x81\x7F" + gbk("图") + "\x81";
    IndexedUtf16 r = gbk_to_utf16_indexed(text);
    EXPECT_EQ(r.text, u"a主\uF8F5?\x7F图?");
    EXPECT_EQ(r.offsets, (std::vector<size_t>{0, 1, 3, 4, 5, 6, 8, 9}));
}

TEST(Codepage, RandomBytesNeverLoseTheUnitToByteMapping) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 300, '\0');
        for (char& b : bytes) b = static_cast<char>(rng() % 256);
        IndexedUtf16 r = gbk_to_utf16_indexed(bytes);
        ASSERT_EQ(r.offsets.size(), r.text.size() + 1);
        ASSERT_EQ(r.offsets.back(), bytes.size());
        // Re-encoding any valid stretch gives back exactly its bytes.
        std::string again = utf16_to_gbk(r.text);
        ASSERT_EQ(gbk_to_utf16(again), r.text);
    }
}
