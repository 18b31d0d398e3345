// web_request's member calls on the request object, seen through a recording object.
#include <gtest/gtest.h>

#include "platform/com.h"
#include "recording_object.h"
#include "support/test_server.h"
#include "webkit/web_request.h"

namespace {

const std::string url = "http://127.0.0.1:9/p";
const std::string agent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::vector<std::string> default_header_calls(const std::string& u) {
    return {"SetRequestHeader(Accept,*/*)", "SetRequestHeader(Referer," + u + ")",
            "SetRequestHeader(Accept-Language,zh-cn)", "SetRequestHeader(User-Agent," + agent + ")",
            "SetRequestHeader(Content-Type,application/x-www-form-urlencoded)"};
}

std::vector<std::string> tail_calls() { return {"ResponseBody", "GetAllResponseHeaders", "Status"}; }

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(WebRequestCalls, EmptyHeadersGetTheDefaultsInOrder) {
    RecordingObject object;
    std::string headers;
    web_request(url, 0, {}, nullptr, nullptr, &headers, nullptr, nullptr, false, {}, {}, 0, {}, {}, 1, &object);
    EXPECT_EQ(headers, "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + agent +
                           "\r\nContent-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(object.calls, join({{"SetTimeouts(15000,15000,15000,15000)", "Open(GET," + url + ",false)", "Option(4,13056)"},
                                  default_header_calls(url),
                                  {"Send(text:)"},
                                  tail_calls()}));
}

struct TimeoutCase {
    int timeout_s;
    const char* call;  // nullptr: no SetTimeouts call
};

TEST(WebRequestCalls, TimeoutsFollowTheParameter) {
    for (TimeoutCase c : {TimeoutCase{-1, nullptr}, TimeoutCase{0, "SetTimeouts(15000,15000,15000,15000)"},
                          TimeoutCase{-5, "SetTimeouts(15000,15000,15000,15000)"},
                          TimeoutCase{50, "SetTimeouts(50000,50000,50000,50000)"},
                          TimeoutCase{1, "SetTimeouts(1000,1000,1000,1000)"}}) {
        RecordingObject object;
        web_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, nullptr, false, {}, {}, c.timeout_s, {}, {}, 1,
                    &object);
        ASSERT_FALSE(object.calls.empty());
        if (c.call == nullptr) EXPECT_EQ(object.calls.front(), "Open(GET," + url + ",false)") << c.timeout_s;
        else EXPECT_EQ(object.calls.front(), c.call) << c.timeout_s;
    }
}

TEST(WebRequestCalls, MethodTextsAndBodies) {
    struct Case {
        int method;
        std::string post_text, post_bytes, open, send;
    };
    for (const Case& c : {Case{7, "", "", "Open(GET,", "Send(text:)"}, Case{-1, "", "", "Open(GET,", "Send(text:)"},
                          Case{1, "", "", "Open(POST,", "Send(text:)"}, Case{2, "", "", "Open(HEAD,", "Send(text:)"},
                          Case{1, "text", "bytes", "Open(POST,", "Send(bytes:bytes)"},
                          Case{1, "text", "", "Open(POST,", "Send(text:text)"}}) {
        RecordingObject object;
        web_request(url, c.method, c.post_text, nullptr, nullptr, nullptr, nullptr, nullptr, false, c.post_bytes, {},
                    -1, {}, {}, 1, &object);
        EXPECT_EQ(object.calls.at(0).rfind(c.open, 0), 0u) << object.calls.at(0);
        EXPECT_EQ(object.calls.at(object.calls.size() - 4), c.send) << c.method;
    }
}

TEST(WebRequestCalls, CookieGoesFirstAndCallerHeadersStay) {
    RecordingObject object;
    std::string cookies = "a=1; b=2";
    std::string headers = "accept: text/html\r\nX-One: 1\r\n\r\nnocolon\r\nReferer: r";
    web_request(url, 0, {}, &cookies, nullptr, &headers, nullptr, nullptr, true, {}, {}, -1, {}, {}, 1, &object);
    // "accept:" in lower case is not the Accept header: the default is added beside it.
    EXPECT_EQ(headers, "accept: text/html\r\nX-One: 1\r\n\r\nnocolon\r\nReferer: r\r\nAccept: */*\r\nAccept-Language: zh-cn"
                       "\r\nUser-Agent: " + agent + "\r\nContent-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(object.calls, join({{"Open(GET," + url + ",false)", "Option(6,0)", "Option(4,13056)",
                                   "SetRequestHeader(Cookie,a=1; b=2)", "SetRequestHeader(accept,text/html)",
                                   "SetRequestHeader(X-One,1)", "SetRequestHeader(,)", "SetRequestHeader(Referer,r)",
                                   "SetRequestHeader(Accept,*/*)", "SetRequestHeader(Accept-Language,zh-cn)",
                                   "SetRequestHeader(User-Agent," + agent + ")",
                                   "SetRequestHeader(Content-Type,application/x-www-form-urlencoded)", "Send(text:)"},
                                  tail_calls()}));
}

TEST(WebRequestCalls, ProxyAndCredentials) {
    struct Case {
        std::string proxy, user;
        int flag;
        std::vector<std::string> expected;
    };
    // An explicit flag is passed on unchanged (the omitted one: OmittedCredentialFlagIsOne).
    for (const Case& c : {Case{"", "u", 1, {}},
                          Case{"p:8080", "", 1, {"SetProxy(2,p:8080)"}},
                          Case{"p:8080", "u", 1, {"SetProxy(2,p:8080)", "SetCredentials(u,pw,1)"}},
                          Case{"p:8080", "u", 0, {"SetProxy(2,p:8080)", "SetCredentials(u,pw,0)"}}}) {
        RecordingObject object;
        web_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, nullptr, false, {}, c.proxy, -1, c.user, "pw",
                    c.flag, &object);
        std::vector<std::string> before_open(object.calls.begin(),
                                             object.calls.begin() + static_cast<long>(c.expected.size()));
        EXPECT_EQ(before_open, c.expected);
        EXPECT_EQ(object.calls.at(c.expected.size()), "Open(GET," + url + ",false)");
    }
}

TEST(WebRequestCalls, ReplyIsReadAndCookiesMerged) {
    RecordingObject object;
    object.reply_body = "body";
    object.reply_headers = "Content-Type: text/html\r\nset-cookie: a=3; path=/\r\nSET-COOKIE:c=4\r\n\r\n";
    object.reply_status = 201;
    std::string cookies = "a=1; b=2", new_cookies = "old", response_headers = "old";
    int status = -7;
    std::string body = web_request(url, 0, {}, &cookies, &new_cookies, nullptr, &response_headers, &status, false, {},
                                   {}, -1, {}, {}, 1, &object);
    EXPECT_EQ(body, "body");
    EXPECT_EQ(status, 201);
    EXPECT_EQ(response_headers, "Content-Type: text/html\r\nSet-Cookie: a=3; path=/\r\nSet-Cookie:c=4\r\n\r\n");
    EXPECT_EQ(new_cookies, "a=3;c=4");
    EXPECT_EQ(cookies, "a=3; c=4; b=2");
}

TEST(WebRequestCalls, SuppliedObjectOutlivesTheCallAndComBalances) {
    RecordingObject object;
    int before = com_init_count();
    web_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, nullptr, false, {}, {}, -1, {}, {}, 1, &object);
    web_request(url, 1, {}, nullptr, nullptr, nullptr, nullptr, nullptr, false, {}, {}, -1, {}, {}, 1, &object);
    EXPECT_EQ(com_init_count(), before);
    EXPECT_EQ(std::count(object.calls.begin(), object.calls.end(), "Status"), 2);
}

std::unique_ptr<HttpRequestObject> no_object() { return nullptr; }

std::vector<std::string> made_object_calls;
std::unique_ptr<HttpRequestObject> recording_object() {
    auto object = std::make_unique<RecordingObject>();
    object->copy_to = &made_object_calls;
    return object;
}

TEST(WebRequestCalls, OmittedCredentialFlagIsOne) {
    HttpRequestObjectFactory previous = set_http_request_object_factory(recording_object);
    made_object_calls.clear();
    web_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, nullptr, false, {}, "p:8080", -1, "u", "pw");
    set_http_request_object_factory(previous);
    ASSERT_GE(made_object_calls.size(), 3u);
    EXPECT_EQ(made_object_calls[0], "SetProxy(2,p:8080)");
    EXPECT_EQ(made_object_calls[1], "SetCredentials(u,pw,1)");
    EXPECT_EQ(made_object_calls[2], "Open(GET," + url + ",false)");
}

TEST(WebRequestCalls, CreationFailureChangesNothing) {
    HttpRequestObjectFactory previous = set_http_request_object_factory(no_object);
    std::string cookies = "a=1", new_cookies = "n", headers = "", response_headers = "r";
    int status = 99;
    int before = com_init_count();
    std::string body = web_request("http://127.0.0.1:9/", 0, {}, &cookies, &new_cookies, &headers, &response_headers,
                                   &status);
    set_http_request_object_factory(previous);
    EXPECT_EQ(body, "");
    EXPECT_EQ(cookies, "a=1");
    EXPECT_EQ(new_cookies, "n");
    EXPECT_EQ(headers, "");
    EXPECT_EQ(response_headers, "r");
    EXPECT_EQ(status, 99);
    EXPECT_EQ(com_init_count(), before);
}

TEST(WebRequestCalls, RefusedHeaderLineStillSendsTheRequest) {
    vktest::TestServer server;
    server.serve("/p", "ok");
    RecordingObject object(create_http_request_object());
    std::string headers = "nocolon\r\nX-Good: yes";
    std::string body = web_request(server.http_url("/p"), 0, {}, nullptr, nullptr, &headers, nullptr, nullptr, false,
                                   {}, {}, 5, {}, {}, 1, &object);
    EXPECT_EQ(body, "ok");
    EXPECT_NE(std::find(object.calls.begin(), object.calls.end(), "SetRequestHeader(,) refused"), object.calls.end());
    auto got = server.requests_to("/p");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].header("X-Good"), "yes");
}

}  // namespace
