// The regular-expression object: dialect table, rejected patterns, replacement, invalid GBK and runaway searches.
#include "platform/regexp.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace {

struct Options {
    bool ignore_case = true;
    bool multiline = true;
    bool global = true;
};
constexpr Options defaults{};
constexpr Options case_sensitive{false, true, true};
constexpr Options single_line{true, false, true};
constexpr Options first_only{true, true, false};

struct Expected {
    std::string value;  // UTF-8, turned into GBK for the comparison
    std::size_t first_index;
    std::vector<std::string> groups = {};
};

struct DialectCase {
    const char* name;
    std::string pattern;  // UTF-8
    std::string subject;  // UTF-8
    Options options;
    std::vector<Expected> matches;
};
void PrintTo(const DialectCase& c, std::ostream* os) { *os << c.name; }

std::shared_ptr<RegexpObject> make(std::string_view pattern_utf8, Options o) {
    auto re = std::make_shared<RegexpObject>();
    re->set_ignore_case(o.ignore_case);
    re->set_multiline(o.multiline);
    re->set_global(o.global);
    re->set_pattern(gbk(pattern_utf8));
    return re;
}

// Raw bytes, for subjects that are deliberately not valid GBK.
std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

const std::string thumbnail_pattern = R"re(<a href="#"><img src="//(.*?)_60x60q90.jpg" /></a>)re";

const std::vector<DialectCase> dialect_cases = {
    {"LazyQuotedWords", R"re("(.*?)")re", R"re(x "one" y "two")re", defaults,
     {{R"re("one")re", 2, {"one"}}, {R"re("two")re", 10, {"two"}}}},
    {"QuotedWordsOverCrLfLines", R"re("(.*?)")re", "\"主图\"\r\n\"b\"\r\n", defaults,
     {{"\"主图\"", 0, {"主图"}}, {"\"b\"", 6, {"b"}}}},
    {"ThumbnailWithUpperCaseSuffix", thumbnail_pattern,
     "<li><a href=\"#\"><img src=\"//img.example.com/bao/主图_60x60q90.JPG\" /></a></li>\r\n"
     "<li><a href=\"#\"><img src=\"//img.example.com/bao/2_60x60q90.jpg\" /></a></li>",
     defaults,
     {{"<a href=\"#\"><img src=\"//img.example.com/bao/主图_60x60q90.JPG\" /></a>", 4,
       {"img.example.com/bao/主图"}},
      {"<a href=\"#\"><img src=\"//img.example.com/bao/2_60x60q90.jpg\" /></a>", 82, {"img.example.com/bao/2"}}}},
    {"ThumbnailSuffixCaseSensitive", thumbnail_pattern,
     "<a href=\"#\"><img src=\"//i.example.com/x_60x60q90.JPG\" /></a>", case_sensitive, {}},
    {"DotTakesOneChineseCharacter", "主.", "主图", defaults, {{"主图", 0}}},
    {"FirstIndexCountsCharacters", "图", "ab主图", defaults, {{"图", 3}}},
    {"DotMatchesCarriageReturn", "a.b", "a\rb", defaults, {{"a\rb", 0}}},
    {"DotStopsAtLineFeed", "a.b", "a\nb", defaults, {}},
    {"EmptyMatchesAdvanceOneCharacter", "a*", "baaac", defaults, {{"", 0}, {"aaa", 1}, {"", 4}, {"", 5}}},
    {"EmptyAlternativeNeverRetriedNonEmpty", "(?:)|b", "ab", defaults, {{"", 0}, {"", 1}, {"", 2}}},
    {"EmptyPatternOverChinese", "", "主图", defaults, {{"", 0}, {"", 1}, {"", 2}}},
    {"LineStartsIncludeBetweenCrAndLf", "^", "a\r\nb", defaults, {{"", 0}, {"", 2}, {"", 3}}},
    {"LineEndsIncludeBetweenCrAndLf", "$", "a\r\nb", defaults, {{"", 1}, {"", 2}, {"", 4}}},
    {"MultilineCaretAfterLineFeed", "^b", "a\nb", defaults, {{"b", 2}}},
    {"SingleLineCaretOnlyAtStart", "^b", "a\nb", single_line, {}},
    {"SingleLineDollarNotBeforeFinalLineFeed", "b$", "ab\n", single_line, {}},
    {"SingleLineDollarAtEnd", "b$", "ab", single_line, {{"b", 1}}},
    {"MultilineDollarBeforeCr", "b$", "ab\r\nc", defaults, {{"b", 1}}},
    {"CaretInsideClassIsNegation", "[^a]+", "aab主a", defaults, {{"b主", 2}}},
    {"EscapedCaretAndDollarAreLiteral", R"re(\^\$)re", "x^$", defaults, {{"^$", 1}}},
    {"WordClassIsAscii", R"re(\w+)re", "ab主cd", defaults, {{"ab", 0}, {"cd", 3}}},
    {"SpaceClassSkipsFullWidthSpace", R"re(\s)re", "a　b c", defaults, {{" ", 3}}},
    {"DigitClassIsAscii", R"re(\d+)re", "１2３45", defaults, {{"2", 1}, {"45", 3}}},
    {"IgnoreCaseFoldsAscii", "abc", "xABCx", defaults, {{"ABC", 1}}},
    {"CaseSensitiveKeepsCase", "abc", "xABCx", case_sensitive, {}},
    {"IgnoreCaseFoldsFullWidthAndGreek", "ａα", "ＡΑ", defaults, {{"ＡΑ", 0}}},
    {"FirstOnlyWithoutGlobal", "a", "aaa", first_only, {{"a", 0}}},
    {"GroupsNumberedByOpeningParenthesis", "((a)(b))", "xab", defaults, {{"ab", 1, {"ab", "a", "b"}}}},
    {"UnsetGroupIsEmpty", "(a)|(b)", "b", defaults, {{"b", 0, {"", "b"}}}},
    {"UnsetBackreferenceMatchesEmpty", R"re((x)?\1y)re", "y", defaults, {{"y", 0, {""}}}},
    {"NonCapturingAndLookahead", "(?:a)(b)(?=c)(?!d)", "abd abc", defaults, {{"ab", 4, {"b"}}}},
    {"ChineseCharacterRange", "[一-龥]+", "ab中文cd", defaults, {{"中文", 2}}},
    {"UnicodeEscape", R"re(\u4e3b)re", "a主", defaults, {{"主", 1}}},
    {"HexEscapeTwoDigits", R"re(\x41)re", "bA", case_sensitive, {{"A", 1}}},
    {"VerticalTabEscapeIsOneCharacter", R"re(a\vb)re", "a\nb a\vb", defaults, {{"a\vb", 4}}},
    {"UnknownLetterEscapesAreLiteral", R"re(\Q\A\K)re", "xqak", defaults, {{"qak", 1}}},
    {"BracketInsideClassIsLiteral", "[[:alpha:]]", "p]", defaults, {{"p]", 0}}},
    {"EmptyClassNeverMatches", "a[]", "a]", defaults, {}},
    {"NegatedEmptyClassMatchesLineFeed", "a[^]b", "a\nb", defaults, {{"a\nb", 0}}},
    {"CountedQuantifier", "a{2,3}?", "aaaa", defaults, {{"aa", 0}, {"aa", 2}}},
    {"BraceWithoutCountIsLiteral", "a{x}", "a{x}", defaults, {{"a{x}", 0}}},
};

class Dialect : public testing::TestWithParam<DialectCase> {};

TEST_P(Dialect, MatchesValuesIndexesAndGroups) {
    const DialectCase& c = GetParam();
    auto matches = make(c.pattern, c.options)->execute(gbk(c.subject));
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->count(), c.matches.size());
    for (std::size_t m = 0; m < c.matches.size(); ++m) {
        SCOPED_TRACE("match " + std::to_string(m));
        const Expected& e = c.matches[m];
        EXPECT_EQ(matches->value(m), gbk(e.value));
        EXPECT_EQ(matches->first_index(m), e.first_index);
        if (!e.groups.empty()) {
            ASSERT_EQ(matches->submatch_count(), e.groups.size());
            for (std::size_t g = 0; g < e.groups.size(); ++g) EXPECT_EQ(matches->submatch(m, g), gbk(e.groups[g]));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Dialect, testing::ValuesIn(dialect_cases),
                         [](const testing::TestParamInfo<DialectCase>& info) { return info.param.name; });

TEST(Regexp, RejectsPatternsOutsideTheDialect) {
    for (const char* pattern : {"(ab", "a)", "[ab", "[^", R"re(ab\)re", "a++", "a*+", "a{2}+", "(?<=a)b", "(?<n>a)",
                                "(?i)a", "(?P<n>a)", "(*ACCEPT)a", "(?#note)a", "(?>a)", "*a", R"re(\ud800)re"}) {
        SCOPED_TRACE(pattern);
        auto re = make(pattern, defaults);
        EXPECT_EQ(re->execute("ab"), nullptr);
        EXPECT_FALSE(re->replace("ab", "x").has_value());
    }
}

TEST(Regexp, ChangingAPropertyAfterExecuteTakesEffect) {
    auto re = make("A", case_sensitive);
    ASSERT_NE(re->execute("a"), nullptr);
    EXPECT_EQ(re->execute("a")->count(), 0u);
    re->set_ignore_case(true);
    EXPECT_EQ(re->execute("a")->count(), 1u);
    re->set_pattern("(");
    EXPECT_EQ(re->execute("a"), nullptr);
}

TEST(Regexp, DeepGroupRepetitionOverALongLineStillMatches) {
    std::string subject(20000, 'a');
    subject += "c";
    auto matches = make("(?:a|b)*c", defaults)->execute(subject);
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->count(), 1u);
    EXPECT_EQ(matches->value(0), subject);
}

TEST(Regexp, InvalidGbkIsHandedBackAsTheOriginalBytes) {
    // a, a lone lead byte before 7F, b, FF, an unassigned pair A2 E3, c, a lead byte at the end.
    std::string subject = bytes({'a', 0x81, 0x7F, 'b', 0xFF, 0xA2, 0xE3, 'c', 0x81});
    auto every = make(".", defaults)->execute(subject);
    ASSERT_NE(every, nullptr);
    std::string joined;
    for (std::size_t m = 0; m < every->count(); ++m) {
        EXPECT_FALSE(every->value(m).empty());
        joined += every->value(m);
    }
    EXPECT_EQ(joined, subject);

    auto group = make("b(..)c(.)$", defaults)->execute(subject);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->count(), 1u);
    EXPECT_EQ(group->submatch(0, 0), bytes({0xFF, 0xA2, 0xE3}));
    EXPECT_EQ(group->submatch(0, 1), bytes({0x81}));
    EXPECT_EQ(group->byte_offset(0), 3u);
    EXPECT_EQ(group->submatch_byte_offset(0, 1), 8u);
}

struct ReplaceCase {
    const char* name;
    std::string pattern;
    std::string subject;
    std::string replacement;
    Options options;
    std::string expected;
};
void PrintTo(const ReplaceCase& c, std::ostream* os) { *os << c.name; }

const std::vector<ReplaceCase> replace_cases = {
    {"Groups", R"re((\w+)@(\w+))re", "ann@ex bob@ey", "$2:$1", defaults, "ex:ann ey:bob"},
    {"DollarMatchBeforeAfter", "b", "abc", "[$$|$&|$`|$']", defaults, "a[$|b|a|c]c"},
    {"TwoDigitGroup", "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "abcdefghij", "$10-$1", defaults, "j-a"},
    {"TwoDigitFallsBackToOneDigit", "(a)", "a", "$10", defaults, "a0"},
    {"UnknownGroupsStayLiteral", "(a)", "a", "$0$2$x$", defaults, "$0$2$x$"},
    {"UnsetGroupIsEmpty", "(a)|(b)", "b", "<$1>", defaults, "<>"},
    {"OnlyFirstWithoutGlobal", "图", "主图主图", "X", first_only, "主X主图"},
    {"ChineseEverywhere", "图", "主图主图", "像", defaults, "主像主像"},
    {"EmptyMatches", "x*", "ab", "-", defaults, "-a-b-"},
    {"NoMatchKeepsSubject", "z", "主图", "$&$&", defaults, "主图"},
};

class Replace : public testing::TestWithParam<ReplaceCase> {};

TEST_P(Replace, ExpandsTheReplacement) {
    const ReplaceCase& c = GetParam();
    auto result = make(c.pattern, c.options)->replace(gbk(c.subject), gbk(c.replacement));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, gbk(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, Replace, testing::ValuesIn(replace_cases),
                         [](const testing::TestParamInfo<ReplaceCase>& info) { return info.param.name; });

TEST(Regexp, ReplaceKeepsInvalidBytesOutsideTheMatches) {
    std::string subject = bytes({0xFF, 'a', 0x81});
    auto result = make("a", defaults)->replace(subject, "b");
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, bytes({0xFF, 'b', 0x81}));
}

// A page of about 1 MB: ordinary markup lines and, near the end, a few thumbnail links.
std::string large_page() {
    std::string line = gbk("<div class=\"item\" data-v=\"abc\">主图 描述</div><p>text; more text</p>\r\n");
    std::string page;
    while (page.size() < (1u << 20)) page += line;
    page += gbk("<a href=\"#\"><img src=\"//img.example.com/a_60x60q90.jpg\" /></a>\r\n");
    return page;
}

// Each of these would keep the engine busy for minutes or exhaust memory; each must fail the
// way a rejected pattern does. ctest's timeout catches a hang.
TEST(Regexp, RunawaySearchesOverOneMegabyteFail) {
    std::string one_line(1u << 20, 'a');
    std::string many_lines;
    while (many_lines.size() < (1u << 20)) many_lines += std::string(100000, 'a') + "\n";
    struct Runaway {
        const char* pattern;
        const std::string& subject;
    };
    for (const Runaway& r : {Runaway{"(a+)+[^a]", one_line}, Runaway{"(a|ab)*[cd]", one_line},
                             Runaway{"a(.*?)[xz]", many_lines}}) {
        SCOPED_TRACE(r.pattern);
        auto re = make(r.pattern, defaults);
        EXPECT_EQ(re->execute(r.subject), nullptr);
        EXPECT_FALSE(re->replace(r.subject, "x").has_value());
    }
    // The same limits leave an ordinary search over a page of that size alone.
    auto thumbnails = make(thumbnail_pattern, defaults)->execute(large_page());
    ASSERT_NE(thumbnails, nullptr);
    ASSERT_EQ(thumbnails->count(), 1u);
    EXPECT_EQ(thumbnails->submatch(0, 0), "img.example.com/a");
}

}  // namespace
