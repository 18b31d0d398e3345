// In-process HTTP and HTTPS test server on 127.0.0.1 that serves canned replies, records every
// request it receives and misbehaves on request.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace vktest {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as the server received it.
struct RecordedRequest {
    std::string method;  // "GET", "POST", "HEAD", ...
    std::string target;  // request target exactly as sent: "/a%E4%B8%AD?x=1"
    std::string path;    // percent-decoded path without the query: "/a中"
    std::string query;   // raw text after "?", "" when none
    HeaderList headers;  // every header line received (sorted by name, case-insensitively)
    std::string body;
    bool https = false;
    int remote_port = 0;  // the client's port: requests on one connection share it

    // First value of header `name` (letter case ignored); "" when absent.
    std::string header(std::string_view name) const;
    bool has_header(std::string_view name) const;
    // How many lines carry header `name` (letter case ignored).
    std::size_t header_count(std::string_view name) const;
};

// Starts an HTTP and an HTTPS server on ephemeral ports of 127.0.0.1 (the HTTPS one with a
// self-signed certificate for 127.0.0.1/localhost, made once per process) and stops both when
// destroyed. Both schemes serve the same routes. A path without a route gets 404 "not found".
// Routes are matched on the decoded path without the query; a route may be replaced at any
// time. Every waiting behaviour (stall, hold, trickle) ends early when the server stops, so a
// test never hangs in the destructor.
//
//   vktest::TestServer server;
//   server.serve("/a.jpg", bytes, "image/jpeg");
//   std::string body = web_request(server.https_url("/a.jpg"));
//   EXPECT_EQ(server.requests_to("/a.jpg").at(0).header("Accept"), "*/*");
class TestServer {
public:
    struct Options {
        // Idle time after which the server closes a kept-alive connection.
        std::chrono::seconds keep_alive_timeout{5};
        // Requests per connection before the server answers "Connection: close".
        std::size_t keep_alive_max_count = 1000;
    };

    TestServer();
    explicit TestServer(Options options);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int http_port() const;
    int https_port() const;
    // "http://127.0.0.1:<port>" + path (path starts with "/").
    std::string http_url(std::string_view path) const;
    std::string https_url(std::string_view path) const;

    // PEM text of the HTTPS certificate (self-signed, so it is its own issuer).
    static const std::string& certificate_pem();

    // ---- Plain replies ----
    // Serves `body` (any bytes) at `path` with `status`, Content-Type `content_type` and the
    // extra header lines `headers`, exactly as spelled ("set-cookie", "SET-COOKIE" ... stay so;
    // a name may repeat). Any method; HEAD gets the headers only.
    void serve(std::string_view path, std::string body, std::string content_type = "text/html",
               int status = 200, HeaderList headers = {});
    // Serves the bytes of a file (absolute, or relative to tests/fixtures).
    void serve_file(std::string_view path, const std::string& file, std::string content_type);
    // Answers with `status` and "Location: <location>" (absolute or relative), with a small body.
    // A path redirecting to itself is a loop; an https URL redirecting to an http_url one is a
    // downgrade.
    void redirect(std::string_view path, std::string location, int status = 302,
                  HeaderList headers = {});
    // Full control: `handler` fills the reply (httplib's types, see <httplib.h>).
    void handle(std::string_view path,
                std::function<void(const httplib::Request&, httplib::Response&)> handler);
    // Removes the route of `path` (it then gets 404 "not found").
    void remove(std::string_view path);

    // ---- Misbehaviours ----
    // Sends status 200 and "Content-Length: <declared_length>", then no byte at all until
    // `max_stall` has passed (or the server stops), then closes the connection.
    void stall_after_headers(std::string_view path, std::size_t declared_length = 1000,
                             std::chrono::milliseconds max_stall = std::chrono::seconds(10));
    // Sends `body` with its Content-Length in pieces of `piece` bytes, waiting `gap` before each
    // piece (the first piece too).
    void trickle(std::string_view path, std::string body, std::size_t piece,
                 std::chrono::milliseconds gap);
    // Announces the length of `body`, sends its first `sent` bytes, then resets the TCP
    // connection (RST, not an orderly close).
    void reset_mid_body(std::string_view path, std::string body, std::size_t sent);
    // Announces `declared_length` bytes, sends only the first `body.size()` (fewer), then closes
    // the connection in an orderly way.
    void truncate_body(std::string_view path, std::string body, std::size_t declared_length);
    // Sends `total` bytes of 'x': with "Content-Length: <total>" when `announce_length`,
    // otherwise without a length, ended by closing the connection. The bytes are generated
    // as they go; a client that hangs up ends the reply.
    void huge_body(std::string_view path, std::size_t total, bool announce_length);

    // Answers `body` on a new connection, but a request arriving on a kept-alive connection
    // that carried an earlier request is not answered: the server closes that connection (as a
    // server does when its keep-alive time runs out just as the request arrives).
    void drop_reused_connections(std::string_view path, std::string body);

    // ---- Holding a reply until the test releases it ----
    // A request for `path` gets the headers (with the Content-Length of `body`) and the first
    // `sent_before_hold` bytes of `body`, then waits until release(path) before sending the
    // rest. With `before_headers` it waits before anything is sent.
    static constexpr std::size_t before_headers = static_cast<std::size_t>(-1);
    void hold(std::string_view path, std::string body, std::size_t sent_before_hold,
              std::string content_type = "application/octet-stream");
    // Lets every held and every later request for `path` go on (until hold() arms it again).
    void release(std::string_view path);
    // Waits until some request for `path` is being held; false when `timeout` passed first.
    bool wait_held(std::string_view path,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // ---- What was received ----
    // Every request so far, in the order the server began handling them.
    std::vector<RecordedRequest> requests() const;
    // Those whose decoded path is `path`.
    std::vector<RecordedRequest> requests_to(std::string_view path) const;
    std::size_t request_count() const;
    void clear_requests();
    // Waits until at least `n` requests were received in total; false on time-out.
    bool wait_for_requests(std::size_t n,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    struct State;  // shared with the handlers (defined in test_server.cpp)

private:
    std::shared_ptr<State> state_;
};

// Bytes of a file under tests/fixtures (or an absolute path); throws when unreadable.
std::string read_fixture(const std::string& file);

}  // namespace vktest
