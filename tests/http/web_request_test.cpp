// web_request end to end against the in-process HTTP/HTTPS server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "platform/codepage.h"
#include "support/test_server.h"
#include "webkit/web_request.h"

namespace {

struct Reply {
    std::string body;
    int status = -1;
    std::string headers;
};

// A request with a short time-out, reading everything it hands back.
Reply fetch(const std::string& url, int method = 0, bool no_redirect = false, int timeout_s = 2,
            std::string_view post_text = {}, std::string* cookies = nullptr) {
    Reply r;
    r.body = web_request(url, method, post_text, cookies, nullptr, nullptr, &r.headers, &r.status, no_redirect, {}, {},
                         timeout_s);
    return r;
}

void expect_failed(const Reply& r, const std::string& what) {
    EXPECT_EQ(r.body, "") << what;
    EXPECT_EQ(r.status, 0) << what;
    EXPECT_EQ(r.headers, "") << what;
}

class WebRequest : public ::testing::Test {
protected:
    vktest::TestServer server;
    std::string url(const std::string& path, bool https) { return https ? server.https_url(path) : server.http_url(path); }
};

TEST_F(WebRequest, GetPostAndHeadOverBothSchemes) {
    std::string picture("\xFF\xD8\x00\x01jpeg", 8);
    server.serve("/pic.jpg", picture, "image/jpeg");
    for (bool https : {false, true}) {
        server.clear_requests();
        Reply got = fetch(url("/pic.jpg", https));
        EXPECT_EQ(got.body, picture);
        EXPECT_EQ(got.status, 200);
        Reply posted = fetch(url("/pic.jpg", https), 1, false, 2, "a=1&b=2");
        EXPECT_EQ(posted.body, picture);
        Reply empty_post = fetch(url("/pic.jpg", https), 1);
        EXPECT_EQ(empty_post.status, 200);
        Reply head = fetch(url("/pic.jpg", https), 2);
        EXPECT_EQ(head.body, "");
        EXPECT_EQ(head.status, 200);
        EXPECT_NE(head.headers.find("Content-Length: 8\r\n"), std::string::npos) << head.headers;

        auto seen = server.requests_to("/pic.jpg");
        ASSERT_EQ(seen.size(), 4u);
        EXPECT_EQ(seen[0].method, "GET");
        EXPECT_EQ(seen[1].method, "POST");
        EXPECT_EQ(seen[1].body, "a=1&b=2");
        EXPECT_EQ(seen[2].method, "POST");
        EXPECT_EQ(seen[2].header("Content-Length"), "0");
        EXPECT_EQ(seen[3].method, "HEAD");
        EXPECT_EQ(seen[0].https, https);
    }
}

TEST_F(WebRequest, SendsTheDefaultHeadersAndNothingElseOfItsOwn) {
    server.serve("/p", "ok");
    std::string u = server.https_url("/p");
    EXPECT_EQ(fetch(u).body, "ok");
    auto seen = server.requests_to("/p").at(0);
    EXPECT_EQ(seen.header("Accept"), "*/*");
    EXPECT_EQ(seen.header("Referer"), u);
    EXPECT_EQ(seen.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(seen.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(seen.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.header_count("Accept"), 1u);
    EXPECT_FALSE(seen.has_header("Accept-Encoding"));
    EXPECT_FALSE(seen.has_header("Cookie"));
    EXPECT_FALSE(seen.has_header("Expect"));
}

TEST_F(WebRequest, ErrorStatusKeepsItsBody) {
    server.serve("/missing", "no such page", "text/html", 404);
    Reply r = fetch(server.http_url("/missing"));
    EXPECT_EQ(r.body, "no such page");
    EXPECT_EQ(r.status, 404);
}

TEST_F(WebRequest, ResponseHeadersAndCookies) {
    server.serve("/c", "ok", "text/plain", 200,
                 {{"set-cookie", "a=1; path=/"}, {"SET-COOKIE", "b=2"}, {"Set-Cookie", "gone=deleted"}});
    std::string cookies = "a=0; c=3; gone=1", new_cookies, headers, response_headers;
    int status = 0;
    web_request(server.http_url("/c"), 0, {}, &cookies, &new_cookies, &headers, &response_headers, &status);
    EXPECT_EQ(server.requests_to("/c").at(0).header("Cookie"), "a=0; c=3; gone=1");
    // No status line; every header line ends with CR LF, then one empty line.
    EXPECT_EQ(response_headers.rfind("HTTP/", 0), std::string::npos);
    EXPECT_EQ(response_headers.substr(response_headers.size() - 4), "\r\n\r\n");
    EXPECT_NE(response_headers.find("Set-Cookie: a=1; path=/\r\n"), std::string::npos) << response_headers;
    EXPECT_NE(response_headers.find("Set-Cookie: b=2\r\n"), std::string::npos) << response_headers;
    EXPECT_EQ(response_headers.find("set-cookie"), std::string::npos);
    EXPECT_EQ(response_headers.find("SET-COOKIE"), std::string::npos);
    EXPECT_EQ(new_cookies, "a=1;b=2;gone=deleted");
    EXPECT_EQ(cookies, "a=1; b=2; c=3");

    std::string none_cookies, none_new = "x";
    server.serve("/plain", "ok");
    web_request(server.http_url("/plain"), 0, {}, &none_cookies, &none_new);
    EXPECT_EQ(none_cookies, "");
    EXPECT_EQ(none_new, "");
}

TEST_F(WebRequest, RedirectsAreFollowedUnlessSwitchedOff) {
    server.serve("/final", "final body");
    server.redirect("/hop", "/final", 302, {{"Set-Cookie", "hop=1"}});
    server.redirect("/loop", "/loop");
    server.redirect("/down", server.http_url("/final"));
    server.redirect("/up", server.https_url("/final"));
    server.redirect("/ftp", "ftp://127.0.0.1/x");
    for (int i = 0; i < 11; ++i)
        server.redirect("/chain" + std::to_string(i), i == 0 ? "/final" : "/chain" + std::to_string(i - 1));

    for (bool https : {false, true}) {
        Reply r = fetch(url("/hop", https));
        EXPECT_EQ(r.body, "final body");
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.headers.find("hop=1"), std::string::npos) << "headers are the final response's";
        Reply stay = fetch(url("/hop", https), 0, true);
        EXPECT_EQ(stay.status, 302);
        EXPECT_EQ(stay.body, "moved");
        EXPECT_NE(stay.headers.find("Location: /final\r\n"), std::string::npos);
        expect_failed(fetch(url("/loop", https)), "loop");
        expect_failed(fetch(url("/ftp", https)), "ftp");
        EXPECT_EQ(fetch(url("/chain9", https)).body, "final body") << "ten redirects";
        expect_failed(fetch(url("/chain10", https)), "eleven redirects");
    }
    // The cookie set on the way is sent to the next hop.
    EXPECT_EQ(server.requests_to("/final").at(0).header("Cookie"), "hop=1");
    // ... and forgotten once the request is over.
    EXPECT_EQ(fetch(server.http_url("/final")).body, "final body");
    EXPECT_FALSE(server.requests_to("/final").back().has_header("Cookie"));
    EXPECT_EQ(fetch(server.http_url("/up")).body, "final body");
    expect_failed(fetch(server.https_url("/down")), "https to http");
}

TEST_F(WebRequest, PostBecomesGetAfterASeeOther) {
    server.serve("/done", "done");
    server.redirect("/form", "/done", 303);
    EXPECT_EQ(fetch(server.http_url("/form"), 1, false, 2, "x=1").body, "done");
    EXPECT_EQ(server.requests_to("/done").at(0).method, "GET");
}

TEST_F(WebRequest, GbkAddressIsSentAsEscapedUtf8) {
    std::string path = gbk("/图片 1.jpg");
    server.serve("/图片 1.jpg", "pic");
    EXPECT_EQ(fetch(server.http_url(path)).body, "pic");
    EXPECT_EQ(server.requests().at(0).target, "/%E5%9B%BE%E7%89%87%201.jpg");
}

TEST_F(WebRequest, ProxyFromTheEnvironmentIsIgnored) {
    server.serve("/p", "direct");
    // Port 9 on loopback has no listener: a request sent there would fail.
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    setenv("https_proxy", "http://127.0.0.1:9", 1);
    Reply plain = fetch(server.http_url("/p"));
    Reply secure = fetch(server.https_url("/p"));
    unsetenv("http_proxy");
    unsetenv("https_proxy");
    EXPECT_EQ(plain.body, "direct");
    EXPECT_EQ(secure.body, "direct");
}

TEST_F(WebRequest, NamedProxyCarriesTheRequest) {
    vktest::TestServer proxy;
    server.serve("/p", "direct");
    std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.http_port());
    web_request(server.http_url("/p"), 0, {}, nullptr, nullptr, nullptr, nullptr, nullptr, false, {}, proxy_address, 2,
                "user", "secret");
    auto seen = proxy.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, server.http_url("/p"));  // absolute form: a proxy request
    EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(WebRequest, OtherSchemesFailWithoutTraffic) {
    for (const char* bad : {"ftp://127.0.0.1/x", "127.0.0.1/x", "", "file:///etc/passwd"}) {
        expect_failed(fetch(bad), bad);
    }
    EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(WebRequest, BrokenServersCostAtMostTheirTimeOut) {
    std::string body(200000, 'z');
    server.stall_after_headers("/stall", 1000, std::chrono::seconds(5));
    server.reset_mid_body("/reset", body, 50000);
    server.truncate_body("/short", std::string(100, 's'), 1000);
    server.huge_body("/huge", std::size_t{300} * 1024 * 1024, true);
    server.hold("/silent", "never sent", vktest::TestServer::before_headers);  // not even headers
    for (bool https : {false, true}) {
        for (const char* path : {"/stall", "/silent", "/reset", "/short", "/huge"}) {
            expect_failed(fetch(url(path, https), 0, false, 1), std::string(path) + (https ? " https" : " http"));
        }
    }
    // Nothing listens on the port any more.
    int port;
    {
        vktest::TestServer gone;
        port = gone.http_port();
    }
    expect_failed(fetch("http://127.0.0.1:" + std::to_string(port) + "/"), "refused");
}

TEST_F(WebRequest, EndlessBodyStopsAtTheBound) {
    server.huge_body("/endless", std::size_t{257} * 1024 * 1024, false);
    expect_failed(fetch(server.http_url("/endless"), 0, false, 5), "endless");
}

TEST_F(WebRequest, HeadOfAHugeBodyIsNoFailure) {
    server.huge_body("/huge", std::size_t{300} * 1024 * 1024, true);
    Reply head = fetch(server.http_url("/huge"), 2);
    EXPECT_EQ(head.status, 200);
    EXPECT_NE(head.headers.find("Content-Length: 314572800\r\n"), std::string::npos) << head.headers;
}

TEST_F(WebRequest, TrickleWithinTheTimeOutCompletes) {
    // Six gaps of 300 ms: longer than the 1 s time-out in total, but no single gap is.
    std::string body = "abcdefghijklmnopqr";
    server.trickle("/slow", body, 3, std::chrono::milliseconds(300));
    Reply r = fetch(server.https_url("/slow"), 0, false, 1);
    EXPECT_EQ(r.body, body);
    EXPECT_EQ(r.status, 200);
}

TEST_F(WebRequest, SequentialRequestsShareOneConnection) {
    server.serve("/p", "ok");
    for (int i = 0; i < 5; ++i) ASSERT_EQ(fetch(server.https_url("/p")).body, "ok");
    std::set<int> ports;
    for (const auto& r : server.requests()) ports.insert(r.remote_port);
    EXPECT_EQ(ports.size(), 1u);
}

TEST_F(WebRequest, ThreadsAtOnceEachGetTheirOwnReply) {
    for (int i = 0; i < 4; ++i) server.serve("/t" + std::to_string(i), std::string(5000 + i, static_cast<char>('a' + i)));
    std::vector<int> right(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < 20; ++k) {
                int i = (t + k) % 4;
                std::string got = web_request(server.https_url("/t" + std::to_string(i)));
                if (got == std::string(5000 + i, static_cast<char>('a' + i))) ++right[t];
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(right, std::vector<int>(4, 20));
}

TEST(WebRequestReuse, ConnectionClosedByTheServerIsReplacedNotEmpty) {
    vktest::TestServer::Options options;
    options.keep_alive_timeout = std::chrono::seconds(1);
    vktest::TestServer server(options);
    server.serve("/p", "picture");
    for (bool https : {false, true}) {
        std::string u = https ? server.https_url("/p") : server.http_url("/p");
        EXPECT_EQ(web_request(u), "picture");
        // The server closes the idle connection after 1 s; the next request must not fail on it.
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        EXPECT_EQ(web_request(u), "picture");
    }
    std::set<int> ports;
    for (const auto& r : server.requests()) ports.insert(r.remote_port);
    EXPECT_EQ(ports.size(), 4u);
}

TEST(WebRequestReuse, RequestOnAConnectionTheServerDropsIsRetriedOnce) {
    vktest::TestServer server;
    server.serve("/first", "first");
    server.drop_reused_connections("/pic", "picture");
    for (bool https : {false, true}) {
        server.clear_requests();
        EXPECT_EQ(web_request(https ? server.https_url("/first") : server.http_url("/first")), "first");
        EXPECT_EQ(web_request(https ? server.https_url("/pic") : server.http_url("/pic")), "picture");
        auto seen = server.requests();
        ASSERT_EQ(seen.size(), 3u);  // first; pic on the kept connection (dropped); pic again
        EXPECT_EQ(seen[1].remote_port, seen[0].remote_port);
        EXPECT_NE(seen[2].remote_port, seen[1].remote_port);
    }
}

TEST(WebRequestReuse, ServerThatClosesAfterEveryRequest) {
    vktest::TestServer::Options options;
    options.keep_alive_max_count = 1;
    vktest::TestServer server(options);
    server.serve("/p", "picture");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(web_request(server.https_url("/p")), "picture");
}

}  // namespace
