// Header lines, marker cuts, and the Set-Cookie and cookie-merge rules.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "webkit/header_text.h"

TEST(HeaderText, NameAndValue) {
    struct Case {
        std::string line, name, value;
    };
    const Case cases[] = {
        {"Content-Type: text/html", "Content-Type", "text/html"},
        {"Content-Type:text/html", "Content-Type", "text/html"},
        {"  Host :  a:8080  ", "Host", "a:8080"},
        {"no colon here", "", ""},
        {":", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(header_name(c.line), c.name);
        EXPECT_EQ(header_value(c.line), c.value);
    }
}

TEST(HeaderText, TextBetween) {
    struct Case {
        std::string text, left, right;
        int start;
        bool ic;
        std::string want;
    };
    const std::string q = gbk("#引号");
    const Case cases[] = {
        {"x name=\"val\" y", "name=" + q, q, 0, false, "val"},
        {"<a>1</a><a>2</a>", "<a>", "</a>", 0, false, "1"},
        {"<a>1</a><a>2</a>", "<a>", "</a>", 5, false, "2"},
        {"<A>1</A>", "<a>", "</a>", 0, false, ""},
        {"<A>1</A>", "<a>", "</a>", 0, true, "1"},
        {"no left </a>", "<a>", "</a>", 0, false, ""},
        {"</a> then <a>x", "<a>", "</a>", 0, false, ""},   // right marker only before the left
        {"<a></a>", "<a>", "</a>", 0, false, ""},          // adjacent markers
        {"#taobao@@1.0#taobao", "#taobao@@", "#taobao", 0, false, "1.0"},
        {gbk("标题：主图！"), gbk("标题："), gbk("！"), 0, false, gbk("主图")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(text_between(c.text, c.left, c.right, c.start, c.ic), c.want);
    }
}

TEST(HeaderText, ExtractSetCookiesRewritesTheNameInTheCallersBlock) {
    std::string block = "HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\nSET-COOKIE: b=2\r\nX: y\r\n\r\n";
    EXPECT_EQ(extract_set_cookies(block), "a=1; b=2");
    EXPECT_EQ(block, "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nX: y\r\n\r\n");

    std::string odd = "X-Set-Cookie-Note; yes\r\n";  // "Set-Cookie" and ";" without "Set-Cookie:"
    EXPECT_EQ(extract_set_cookies(odd), "");
    std::string two = "X-Set-Cookie-Note; yes\r\nSet-Cookie: c=3\r\n";
    EXPECT_EQ(extract_set_cookies(two), "; c=3");

    std::string none = "Content-Type: text/html\r\n";
    EXPECT_EQ(extract_set_cookies(none), "");
}

TEST(HeaderText, MergeCookies) {
    struct Case {
        std::string old_cookies, new_cookies, merged, new_after;
    };
    const Case cases[] = {
        {"a=1; b=2", "a=3", "a=3; b=2", "a=3"},
        {"a=1; b=2", "b=deleted", "a=1", "b=deleted"},
        {"a=1;a=2", "", "a=1", ""},
        {"", "c=1;c=2", "c=1; c=2", "c=1;c=2"},
        {"", "c=1;c=1", "c=1", "c=1;c=1"},
        {"x = 1", "", "x=1", ""},
        {"", "", "", ""},
        {"a=1;;b=2", "", "a=1; ; b=2", ""},
        {"a=1", " n = 2 ; m=3", "n=2; m=3; a=1", "n=2;m=3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.old_cookies + " + " + c.new_cookies);
        std::string cookies = c.old_cookies, fresh = c.new_cookies;
        EXPECT_EQ(merge_cookies(cookies, fresh), c.merged);
        EXPECT_EQ(cookies, c.merged);
        EXPECT_EQ(fresh, c.new_after);
    }
}

TEST(HeaderText, CookieListHelpers) {
    EXPECT_EQ(cookie_name(" sid = x=y"), "sid");
    EXPECT_EQ(cookie_name(" flag "), "flag");
    EXPECT_TRUE(has_cookie_name({"a=1", "b=2"}, "b"));
    EXPECT_FALSE(has_cookie_name({"a=1", "b=2"}, "c"));
    EXPECT_EQ(unique_items("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(unique_items("", "; "), "");
    EXPECT_EQ(find_item({"x", "y", "y"}, "y"), 2);
    EXPECT_EQ(find_item({"x"}, "z"), -1);
}
