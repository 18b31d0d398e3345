// RegexMatcher: search options and defaults, 1-based access, positions, copies, replace and the per-thread count.
#include "webkit/regex_matcher.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/com.h"

namespace {

struct SearchCase {
    const char* name;
    std::string pattern;  // UTF-8
    std::string subject;  // UTF-8
    bool case_sensitive;
    bool quote_marker;
    bool found;                          // what search returns
    std::vector<std::string> matches;    // match texts, UTF-8
    std::vector<std::string> first_groups;  // group 1 of every match, when the pattern has groups
};
void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

const std::string thumbnail_pattern = R"re(<a href="#"><img src="//(.*?)_60x60q90.jpg" /></a>)re";

const std::vector<SearchCase> search_cases = {
    {"LowerCasePatternFindsUpperCaseByDefault", "abc", "xABCx", false, false, true, {"ABC"}, {}},
    {"CaseSensitiveDoesNot", "abc", "xABCx", true, false, true, {}, {}},
    {"EmptySubject", "a(b)", "", false, false, true, {}, {}},
    {"QuoteMarkerMatchesADoubleQuote", "#引号(.*?)#引号", "a \"主\" #引号c#引号", false, true, true,
     {"\"主\""}, {"主"}},
    {"QuoteMarkerIsLiteralWithoutTheOption", "#引号(.*?)#引号", "a \"主\" #引号c#引号", false, false, true,
     {"#引号c#引号"}, {"c"}},
    {"GlobalCollectsEveryQuotedWord", R"re("(.*?)")re", R"re(x "one" y "two")re", false, false, true,
     {R"re("one")re", R"re("two")re"}, {"one", "two"}},
    {"DotDoesNotCrossALineFeed", "a.b", "a\nb", false, false, true, {}, {}},
    {"RejectedPattern", "(a", "a", false, false, false, {}, {}},
    {"ThumbnailSuffixInCapitals", thumbnail_pattern,
     "<a href=\"#\"><img src=\"//img.example.com/主图_60x60q90.JPG\" /></a>\r\n"
     "<a href=\"#\"><img src=\"//img.example.com/b_60x60q90.jpg\" /></a>",
     false, false, true,
     {"<a href=\"#\"><img src=\"//img.example.com/主图_60x60q90.JPG\" /></a>",
      "<a href=\"#\"><img src=\"//img.example.com/b_60x60q90.jpg\" /></a>"},
     {"img.example.com/主图", "img.example.com/b"}},
};

class Search : public testing::TestWithParam<SearchCase> {};

TEST_P(Search, GivesTheMatchesAndGroups) {
    const SearchCase& c = GetParam();
    RegexMatcher m;
    EXPECT_EQ(m.search(gbk(c.pattern), gbk(c.subject), c.case_sensitive, true, true, c.quote_marker), c.found);
    ASSERT_EQ(m.match_count(), static_cast<int>(c.matches.size()));
    for (int i = 1; i <= m.match_count(); ++i) EXPECT_EQ(m.match_text(i), gbk(c.matches[i - 1]));
    if (c.matches.empty()) {
        EXPECT_EQ(m.submatch_count(), 0);
    }
    if (c.first_groups.empty()) return;
    ASSERT_EQ(m.submatch_count(), 1);
    for (int i = 1; i <= m.match_count(); ++i) EXPECT_EQ(m.submatch_text(i, 1), gbk(c.first_groups[i - 1]));
}

INSTANTIATE_TEST_SUITE_P(Table, Search, testing::ValuesIn(search_cases),
                         [](const testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

TEST(RegexMatcher, BeforeAnySearchEverythingIsEmpty) {
    RegexMatcher m;
    int position = 7;
    EXPECT_EQ(m.pattern_text(), "");
    EXPECT_EQ(m.match_count(), 0);
    EXPECT_EQ(m.submatch_count(), 0);
    EXPECT_EQ(m.replace("x"), "");
    EXPECT_EQ(m.match_text(1, &position), "");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(m.submatch_text(1, 1), "");
}

TEST(RegexMatcher, IndexesOutsideTheResultsGiveEmptyText) {
    RegexMatcher m;
    ASSERT_TRUE(m.search("(a)(b)?", "xa ab"));
    ASSERT_EQ(m.match_count(), 2);
    ASSERT_EQ(m.submatch_count(), 2);
    struct Access {
        int match;
        int group;  // 0: match_text
        const char* expected;
    };
    for (const Access& a : {Access{0, 0, ""}, Access{3, 0, ""}, Access{-1, 0, ""}, Access{1, 0, "a"},
                            Access{2, 0, "ab"}, Access{1, 2, ""}, Access{2, 2, "b"}, Access{2, 3, ""},
                            Access{1, -1, ""}, Access{3, 1, ""}}) {
        SCOPED_TRACE(testing::Message() << a.match << "," << a.group);
        EXPECT_EQ(a.group == 0 ? m.match_text(a.match) : m.submatch_text(a.match, a.group), a.expected);
    }
}

TEST(RegexMatcher, RejectedSecondSearchDropsTheFirstResults) {
    RegexMatcher m;
    ASSERT_TRUE(m.search("(a)", "aaa"));
    ASSERT_EQ(m.match_count(), 3);
    EXPECT_FALSE(m.search("(a", "aaa"));
    EXPECT_EQ(m.match_count(), 0);
    EXPECT_EQ(m.submatch_count(), 0);
    EXPECT_EQ(m.match_text(1), "");
    EXPECT_EQ(m.replace("b"), "");
    EXPECT_EQ(m.pattern_text(), "(a");
}

TEST(RegexMatcher, OptionsMultiLineAndGlobal) {
    RegexMatcher m;
    ASSERT_TRUE(m.search("^b", "a\nb"));
    EXPECT_EQ(m.match_count(), 1);
    ASSERT_TRUE(m.search("^b", "a\nb", false, false));
    EXPECT_EQ(m.match_count(), 0);
    ASSERT_TRUE(m.search("a", "aaa", false, true, false));
    EXPECT_EQ(m.match_count(), 1);
}

TEST(RegexMatcher, PatternTextIsThePreparedPattern) {
    RegexMatcher m;
    m.search(gbk("x#引号"), "", false, true, true, true);
    EXPECT_EQ(m.pattern_text(), "x\"");
    m.search(gbk("x#引号"), "");
    EXPECT_EQ(m.pattern_text(), gbk("x#引号"));
}

TEST(RegexMatcher, PositionsAreByteOffsetsInTheGbkSubject) {
    RegexMatcher m;
    int position = -5;
    ASSERT_TRUE(m.search(gbk("图"), gbk("ab主图")));
    EXPECT_EQ(m.match_text(1, &position), gbk("图"));
    EXPECT_EQ(position, 4);

    // The same text earlier in the subject is not mistaken for the match or group handed out.
    ASSERT_TRUE(m.search("ab", gbk("中文中文ab ab")));
    ASSERT_EQ(m.match_count(), 2);
    m.match_text(2, &position);
    EXPECT_EQ(position, 11);
    ASSERT_TRUE(m.search("(a)b(A)", "xaba"));
    EXPECT_EQ(m.submatch_text(1, 2, &position), "a");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(m.submatch_text(1, 1, &position), "a");
    EXPECT_EQ(position, 1);

    // An empty match has a position; a group that took no part has none.
    ASSERT_TRUE(m.search(gbk("(x)?$"), gbk("主")));
    ASSERT_EQ(m.match_count(), 1);
    EXPECT_EQ(m.match_text(1, &position), "");
    EXPECT_EQ(position, 2);
    EXPECT_EQ(m.submatch_text(1, 1, &position), "");
    EXPECT_EQ(position, -1);
    m.match_text(2, &position);
    EXPECT_EQ(position, -1);
}

TEST(RegexMatcher, ReplaceUsesTheStoredSubjectAndOptions) {
    RegexMatcher m;
    ASSERT_TRUE(m.search(gbk("(主)(图)"), gbk("主图 主图")));
    EXPECT_EQ(m.replace("$2$1[$&]$$"), gbk("图主[主图]$ 图主[主图]$"));
    ASSERT_TRUE(m.search(gbk("(主)(图)"), gbk("主图 主图"), false, true, false));
    EXPECT_EQ(m.replace("-"), gbk("- 主图"));
}

TEST(RegexMatcher, CopySharesResultsAndSearchesOnItsOwn) {
    RegexMatcher original;
    ASSERT_TRUE(original.search(R"re("(.*?)")re", R"re("one" "two")re"));
    RegexMatcher copy(original);
    EXPECT_EQ(copy.match_count(), 2);
    EXPECT_EQ(copy.submatch_text(2, 1), "two");
    EXPECT_EQ(copy.pattern_text(), original.pattern_text());
    EXPECT_EQ(copy.replace("<$1>"), "<one> <two>");

    ASSERT_TRUE(copy.search("(x)", "xyx xx"));
    EXPECT_EQ(copy.match_count(), 4);
    EXPECT_EQ(original.match_count(), 2);
    EXPECT_EQ(original.submatch_text(1, 1), "one");
    EXPECT_EQ(original.replace("<$1>"), "<one> <two>");

    ASSERT_FALSE(original.search("(", "x"));
    EXPECT_EQ(copy.match_count(), 4);
}

TEST(RegexMatcher, ConstructionAndDestructionBalanceTheThreadCount) {
    const int before = com_init_count();
    {
        RegexMatcher m;
        EXPECT_EQ(com_init_count(), before + 1);
        {
            RegexMatcher copy(m);
            EXPECT_EQ(com_init_count(), before + 2);
            copy.search("a", "a");
        }
        EXPECT_EQ(com_init_count(), before + 1);
        m.search("a", "a");
        EXPECT_EQ(com_init_count(), before + 1);
    }
    EXPECT_EQ(com_init_count(), before);

    // The count belongs to the thread that made the matcher.
    int inside = -1;
    int after = -1;
    std::thread worker([&] {
        {
            RegexMatcher m;
            inside = com_init_count();
        }
        after = com_init_count();
    });
    worker.join();
    EXPECT_EQ(inside, 1);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(com_init_count(), before);
}

}  // namespace
