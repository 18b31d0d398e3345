// The test server itself, checked with a plain libcurl client: what the other suites rely on.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <thread>

#include "support/test_server.h"

namespace {

struct Fetched {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;
};

std::size_t append(char* data, std::size_t size, std::size_t n, void* out) {
    static_cast<std::string*>(out)->append(data, size * n);
    return size * n;
}

// One plain transfer, certificate checks off, no redirects followed.
Fetched fetch(const std::string& url, long timeout_ms = 5000) {
    Fetched f;
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeout_ms);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, append);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &f.body);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, append);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &f.headers);
    f.code = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &f.status);
    curl_easy_cleanup(h);
    return f;
}

TEST(TestServer, ServesBothSchemesAndRecordsRequests) {
    vktest::TestServer server;
    server.serve("/a", std::string("x\0y", 3), "image/jpeg", 200, {{"set-cookie", "a=1; path=/"}, {"SET-COOKIE", "b=2"}});
    for (const auto& url : {server.http_url("/a?q=1"), server.https_url("/a?q=1")}) {
        Fetched f = fetch(url);
        EXPECT_EQ(f.code, CURLE_OK) << url;
        EXPECT_EQ(f.status, 200);
        EXPECT_EQ(f.body, std::string("x\0y", 3));
        EXPECT_NE(f.headers.find("set-cookie: a=1; path=/\r\n"), std::string::npos) << f.headers;
        EXPECT_NE(f.headers.find("SET-COOKIE: b=2\r\n"), std::string::npos) << f.headers;
    }
    auto got = server.requests_to("/a");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_FALSE(got[0].https);
    EXPECT_TRUE(got[1].https);
    EXPECT_EQ(got[0].method, "GET");
    EXPECT_EQ(got[0].target, "/a?q=1");
    EXPECT_EQ(got[0].query, "q=1");
    EXPECT_EQ(got[0].header("host"), "127.0.0.1:" + std::to_string(server.http_port()));
    EXPECT_FALSE(got[0].has_header("REMOTE_PORT"));
}

TEST(TestServer, UnknownPathAndErrorStatusKeepTheirBodies) {
    vktest::TestServer server;
    server.serve("/gone", "gone body", "text/plain", 404);
    Fetched gone = fetch(server.http_url("/gone"));
    EXPECT_EQ(gone.status, 404);
    EXPECT_EQ(gone.body, "gone body");
    Fetched none = fetch(server.http_url("/none"));
    EXPECT_EQ(none.status, 404);
    EXPECT_EQ(none.body, "not found");
}

TEST(TestServer, RedirectSendsLocation) {
    vktest::TestServer server;
    server.redirect("/loop", "/loop", 301);
    Fetched f = fetch(server.http_url("/loop"));
    EXPECT_EQ(f.status, 301);
    EXPECT_NE(f.headers.find("Location: /loop\r\n"), std::string::npos) << f.headers;
}

TEST(TestServer, BrokenBodiesFailTheTransfer) {
    vktest::TestServer server;
    std::string body(20000, 'b');
    server.reset_mid_body("/reset", body, 5000);
    server.truncate_body("/short", "abc", 100);
    server.stall_after_headers("/stall", 100, std::chrono::milliseconds(2000));
    for (const char* scheme : {"http", "https"}) {
        auto url = [&](const char* p) { return std::string(scheme) == "http" ? server.http_url(p) : server.https_url(p); };
        Fetched reset = fetch(url("/reset"));
        EXPECT_NE(reset.code, CURLE_OK) << scheme;
        if (std::string(scheme) == "http") {
            EXPECT_EQ(reset.code, CURLE_RECV_ERROR);  // a reset, not an orderly close
        }
        EXPECT_LT(reset.body.size(), body.size());
        Fetched shortened = fetch(url("/short"));
        EXPECT_EQ(shortened.code, CURLE_PARTIAL_FILE) << scheme;
        EXPECT_EQ(shortened.body, "abc");
        Fetched stalled = fetch(url("/stall"), 300);
        EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT) << scheme;
        EXPECT_EQ(stalled.status, 200);
        EXPECT_EQ(stalled.body, "");
    }
}

TEST(TestServer, TrickleAndHugeBodiesArriveWhole) {
    vktest::TestServer server;
    server.trickle("/slow", "abcdefgh", 3, std::chrono::milliseconds(20));
    server.huge_body("/big", 3 * 1024 * 1024 + 7, true);
    server.huge_body("/endless", 1024 * 1024 + 1, false);
    EXPECT_EQ(fetch(server.https_url("/slow")).body, "abcdefgh");
    Fetched big = fetch(server.http_url("/big"));
    EXPECT_EQ(big.code, CURLE_OK);
    EXPECT_EQ(big.body.size(), 3u * 1024 * 1024 + 7);
    EXPECT_NE(big.headers.find("Content-Length: 3145735"), std::string::npos);
    Fetched endless = fetch(server.http_url("/endless"));
    EXPECT_EQ(endless.code, CURLE_OK);
    EXPECT_EQ(endless.body.size(), 1024u * 1024 + 1);
    EXPECT_EQ(endless.headers.find("Content-Length"), std::string::npos);
}

TEST(TestServer, HoldKeepsTheReplyUntilReleased) {
    vktest::TestServer server;
    std::string body(10000, 'h');
    for (std::size_t before : {std::size_t{4000}, vktest::TestServer::before_headers}) {
        server.hold("/held", body, before);
        Fetched f;
        std::thread client([&] { f = fetch(server.https_url("/held")); });
        ASSERT_TRUE(server.wait_held("/held"));
        server.release("/held");
        client.join();
        EXPECT_EQ(f.code, CURLE_OK);
        EXPECT_EQ(f.body, body);
    }
}

TEST(TestServer, StopsWhileRepliesAreStalledOrHeld) {
    std::thread client;
    {
        vktest::TestServer server;
        server.hold("/held", "abc", 1);
        server.stall_after_headers("/stall", 10, std::chrono::seconds(60));
        client = std::thread([url = server.http_url("/held")] { fetch(url); });
        ASSERT_TRUE(server.wait_held("/held"));
        std::thread([url = server.http_url("/stall")] { fetch(url, 200); }).join();
    }  // the destructor must not wait for the held or stalled replies
    client.join();
}

}  // namespace
