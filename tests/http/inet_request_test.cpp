// inet_request and the address splitting, end to end against the in-process server.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/test_server.h"
#include "webkit/inet_request.h"

namespace {

const std::string agent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

TEST(UrlSplit, HostPortAndPath) {
    struct Case {
        std::string url, host, host_port;
        int port;
        std::string path;
    };
    for (const Case& c : {
             Case{"http://a.com/x", "a.com", "a.com", 80, "/x"},
             Case{"https://a.com/x", "a.com", "a.com", 443, "/x"},
             Case{"HTTPS://A.com:8443/P/Q?x=Y", "a.com", "a.com:8443", 8443, "/P/Q?x=Y"},
             Case{"http://a.com:81", "a.com", "a.com:81", 81, "/"},
             Case{"a.com/x", "a.com", "a.com", 80, "/x"},
             Case{"a.com:99", "a.com", "a.com:99", 99, "/"},
             Case{"http://Shop.Example.COM/Item.HTM?Id=5", "shop.example.com", "shop.example.com", 80, "/Item.HTM?Id=5"},
             Case{"http://a.com:x1/", "a.com", "a.com:x1", 0, "/"},
             Case{"https://a.com:/", "a.com", "a.com:", 0, "/"},
         }) {
        EXPECT_EQ(url_host(c.url), c.host) << c.url;
        EXPECT_EQ(url_host(c.url, true), c.host_port) << c.url;
        EXPECT_EQ(url_port(c.url), c.port) << c.url;
        EXPECT_EQ(url_path(c.url), c.path) << c.url;
    }
    // A double-byte character whose trail byte is an ASCII capital keeps it.
    std::string gbk_host = "http://A" + std::string("\x81\x41", 2) + ".com/";
    EXPECT_EQ(url_host(gbk_host), "a" + std::string("\x81\x41", 2) + ".com");
}

TEST(InetRequestParts, AgentAndProxyText) {
    EXPECT_EQ(inet_agent(""), agent);
    EXPECT_EQ(inet_agent("Accept: */*"), agent);
    EXPECT_EQ(inet_agent("user-agent: Tiny/1.0"), "Tiny/1.0");
    EXPECT_EQ(inet_agent("X: 1\r\nUser-Agent:  Mine/2 \r\nY: 2"), "Mine/2");
    EXPECT_EQ(inet_proxy_text("http://a.com/", "p:8080"), "http=p:8080");
    EXPECT_EQ(inet_proxy_text("a.com/", "p:8080"), "http=p:8080");
    EXPECT_EQ(inet_proxy_text("HTTPS://a.com/", "p:8080"), "p:8080");
}

class InetRequest : public ::testing::Test {
protected:
    vktest::TestServer server;
};

TEST_F(InetRequest, DefaultLinesAndAgent) {
    server.serve("/v", "page");
    std::string url = server.http_url("/v");
    std::string headers;
    EXPECT_EQ(inet_request(url, 0, {}, nullptr, nullptr, &headers), "page");
    EXPECT_EQ(headers, "Accept: */*\r\nReferer: " + url +
                           "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded");
    auto seen = server.requests().at(0);
    EXPECT_EQ(seen.header("User-Agent"), agent);
    EXPECT_EQ(seen.header("Referer"), url);
    EXPECT_EQ(seen.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(seen.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.header_count("Accept"), 1u);
    EXPECT_FALSE(seen.has_header("Cookie"));
    EXPECT_FALSE(seen.has_header("Accept-Encoding"));

    std::string mine = "user-agent: Tiny/1.0";
    inet_request(url, 0, {}, nullptr, nullptr, &mine);
    EXPECT_EQ(server.requests().at(1).header("User-Agent"), "Tiny/1.0");
    EXPECT_EQ(server.requests().at(1).header_count("User-Agent"), 1u);
}

TEST_F(InetRequest, AddressPartsReachTheServer) {
    server.serve("/Path/Page", "mixed");
    std::string port = std::to_string(server.http_port());
    EXPECT_EQ(inet_request("HTTP://LOCALHOST:" + port + "/Path/Page?A=1&b=2"), "mixed");
    EXPECT_EQ(inet_request("127.0.0.1:" + port + "/Path/Page"), "mixed");
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].header("Host"), "localhost:" + port);
    EXPECT_EQ(seen[0].target, "/Path/Page?A=1&b=2");
    EXPECT_EQ(seen[1].header("Host"), "127.0.0.1:" + port);
    EXPECT_EQ(inet_request("http://127.0.0.1:" + port), "not found");
    EXPECT_EQ(server.requests().at(2).target, "/");
}

TEST_F(InetRequest, MethodsAndBodies) {
    server.serve("/m", "ok");
    std::string url = server.http_url("/m");
    std::string bytes;
    inet_request(url, 9, "ignored", nullptr, nullptr, nullptr, nullptr, false, &bytes);
    EXPECT_EQ(bytes, "") << "GET leaves post_bytes alone";
    inet_request(url, 1, "abc", nullptr, nullptr, nullptr, nullptr, false, &bytes);
    EXPECT_EQ(bytes, "abc");
    std::string given = "raw";
    inet_request(url, 1, "text", nullptr, nullptr, nullptr, nullptr, false, &given);
    EXPECT_EQ(given, "raw");
    std::string head_bytes;
    EXPECT_EQ(inet_request(url, 2, "h", nullptr, nullptr, nullptr, nullptr, false, &head_bytes), "");
    EXPECT_EQ(head_bytes, "h");
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].body, "");
    EXPECT_EQ(seen[1].method, "POST");
    EXPECT_EQ(seen[1].body, "abc");
    EXPECT_EQ(seen[2].body, "raw");
    EXPECT_EQ(seen[3].method, "HEAD");
}

TEST_F(InetRequest, RawHeaderBlockAndCookies) {
    server.serve("/c", "body", "text/plain", 200, {{"set-cookie", "a=1; path=/"}, {"SET-Cookie", "b=2"}});
    std::string url = server.http_url("/c");

    // Not passed: the received cookies are listed, nothing is merged.
    std::string new_cookies, block;
    EXPECT_EQ(inet_request(url, 0, {}, nullptr, &new_cookies, nullptr, &block), "body");
    EXPECT_EQ(block.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << block;
    EXPECT_EQ(block.substr(block.size() - 4), "\r\n\r\n");
    EXPECT_NE(block.find("Set-Cookie: a=1; path=/\r\n"), std::string::npos) << block;
    EXPECT_NE(block.find("Set-Cookie: b=2\r\n"), std::string::npos) << block;
    EXPECT_EQ(new_cookies, "a=1; b=2");

    // Passed empty: no Cookie line, and afterwards it holds the response's cookies.
    std::string cookies, headers;
    inet_request(url, 0, {}, &cookies, &new_cookies, &headers);
    EXPECT_EQ(headers.find("Cookie"), std::string::npos);
    EXPECT_EQ(cookies, "a=1; b=2");
    EXPECT_EQ(new_cookies, "a=1;b=2");

    std::string old = "c=3; a=0";
    std::string sent_headers;
    inet_request(url, 0, {}, &old, nullptr, &sent_headers);
    EXPECT_EQ(server.requests().back().header("Cookie"), "c=3; a=0");
    EXPECT_NE(sent_headers.find("\r\nCookie: c=3; a=0"), std::string::npos);
    EXPECT_EQ(old, "a=1; b=2; c=3");
}

TEST_F(InetRequest, HeaderBlockOverTheLimitIsNotRead) {
    server.serve("/big", "body", "text/plain", 200, {{"X-Filler", std::string(5000, 'f')}, {"Set-Cookie", "a=1"}});
    std::string new_cookies = "x", block = "x";
    EXPECT_EQ(inet_request(server.http_url("/big"), 0, {}, nullptr, &new_cookies, nullptr, &block), "body");
    EXPECT_EQ(block, "");
    EXPECT_EQ(new_cookies, "");
}

TEST_F(InetRequest, ErrorStatusRedirectsAndBrokenBodies) {
    server.serve("/missing", "no page", "text/html", 404);
    server.serve("/final", "final");
    server.redirect("/hop", "/final");
    server.redirect("/down", server.http_url("/final"));
    server.truncate_body("/short", "partial", 100);
    server.reset_mid_body("/reset", std::string(100000, 'r'), 1000);

    std::string block;
    EXPECT_EQ(inet_request(server.http_url("/missing"), 0, {}, nullptr, nullptr, nullptr, &block), "no page");
    EXPECT_EQ(block.rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(inet_request(server.http_url("/hop")), "final");
    EXPECT_EQ(inet_request(server.http_url("/hop"), 0, {}, nullptr, nullptr, nullptr, nullptr, true), "moved");
    // A cookie set on the way goes to the next hop only while the platform's cookie handling is
    // on, that is when no cookie text is passed.
    server.redirect("/cookie-hop", "/final", 302, {{"Set-Cookie", "hop=1"}});
    EXPECT_EQ(inet_request(server.http_url("/cookie-hop")), "final");
    EXPECT_EQ(server.requests_to("/final").back().header("Cookie"), "hop=1");
    std::string cookies;
    EXPECT_EQ(inet_request(server.http_url("/cookie-hop"), 0, {}, &cookies), "final");
    EXPECT_FALSE(server.requests_to("/final").back().has_header("Cookie"));
    EXPECT_EQ(cookies, "");
    // What arrived before the connection broke is kept.
    EXPECT_EQ(inet_request(server.http_url("/short"), 0, {}, nullptr, nullptr, nullptr, &block), "partial");
    EXPECT_EQ(block.rfind("HTTP/1.1 200", 0), 0u);
    std::string reset = inet_request(server.http_url("/reset"));
    EXPECT_LT(reset.size(), 100000u);
    EXPECT_EQ(reset, std::string(reset.size(), 'r'));
}

TEST_F(InetRequest, BodyOverTheBoundIsNotKept) {
    // Unlike a broken connection, a body past the bound leaves nothing, announced or not.
    server.huge_body("/announced", std::size_t{300} * 1024 * 1024, true);
    server.huge_body("/endless", std::size_t{257} * 1024 * 1024, false);
    for (const char* path : {"/announced", "/endless"}) {
        std::string block;
        EXPECT_EQ(inet_request(server.http_url(path), 0, {}, nullptr, nullptr, nullptr, &block), "") << path;
        EXPECT_EQ(block.rfind("HTTP/1.1 200", 0), 0u) << path;
    }
}

TEST_F(InetRequest, CertificatesAreVerified) {
    server.serve("/v", "secret page");
    std::string block = "x", cookies = "a=1";
    EXPECT_EQ(inet_request(server.https_url("/v"), 0, {}, &cookies, nullptr, nullptr, &block), "");
    EXPECT_EQ(block, "\r\n\r\n");
    EXPECT_EQ(cookies, "a=1");
    EXPECT_EQ(server.requests_to("/v").size(), 0u);
}

TEST_F(InetRequest, UnreachableServerGivesNothing) {
    int port;
    {
        vktest::TestServer gone;
        port = gone.http_port();
    }
    std::string new_cookies = "x", block;
    EXPECT_EQ(inet_request("http://127.0.0.1:" + std::to_string(port) + "/v", 0, {}, nullptr, &new_cookies, nullptr,
                           &block),
              "");
    EXPECT_EQ(new_cookies, "");
    EXPECT_EQ(block, "\r\n\r\n");
}

TEST_F(InetRequest, ProxyForHttpAddresses) {
    vktest::TestServer proxy;
    server.serve("/v", "direct");
    std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.http_port());
    inet_request(server.http_url("/v"), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, proxy_address);
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, server.http_url("/v"));
    EXPECT_EQ(server.request_count(), 0u);

    // A port written without digits is port 0, which stands for the default port.
    inet_request("http://127.0.0.1:/v", 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, proxy_address);
    ASSERT_EQ(proxy.requests().size(), 2u);
    EXPECT_EQ(proxy.requests()[1].target, "http://127.0.0.1/v");
}

}  // namespace
