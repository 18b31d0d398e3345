// The request object web_request drives: the members it calls, a libcurl implementation and
// the factory that makes one.
#pragma once

#include <memory>
#include <string>
#include <string_view>

// Texts that cross are GBK. A member that fails returns false and changes nothing; the caller
// may carry on. Reads after a failed or missing exchange give "", "" and 0.
class HttpRequestObject {
public:
    virtual ~HttpRequestObject() = default;

    // Milliseconds for resolving, connecting, sending and receiving. 0 or -1 wait without limit;
    // any other negative value makes the call fail. Send and receive limits apply to each
    // gap in the traffic, not to the whole exchange.
    virtual bool SetTimeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) = 0;
    // Setting 2 names the proxy `server` for this object; 0 and 1 go direct.
    virtual bool SetProxy(int setting, std::string_view server) = 0;
    // Flag 0: credentials for the server; 1: for the proxy. Other flags fail.
    virtual bool SetCredentials(std::string_view user, std::string_view password, int flag) = 0;
    // Only synchronous requests (`async` false) to http and https addresses are accepted.
    // Opening again forgets the previous request's headers and response.
    virtual bool Open(std::string_view method, std::string_view url, bool async) = 0;
    // Writes an option: 4 = certificate errors to ignore (flags 0x0100 unknown authority,
    // 0x0200 wrong usage, 0x1000 wrong name, 0x2000 wrong date; all four together turn the
    // checks off, anything less keeps them), 6 = follow redirects (0 or not; at most 10, never
    // from https to http). Other indexes fail.
    virtual bool Option(int index, int value) = 0;
    // Fails for an empty name or one holding ':', CR or LF, and before Open.
    virtual bool SetRequestHeader(std::string_view name, std::string_view value) = 0;
    // Sends the request with `body`; `is_bytes` tells a byte array from a text (both are sent
    // as they are). Blocks until the response is complete or the exchange has failed.
    virtual bool Send(std::string_view body, bool is_bytes) = 0;
    virtual std::string ResponseBody() = 0;
    // The final response's header lines without the status line, each ended by CR LF, then an
    // empty line.
    virtual std::string GetAllResponseHeaders() = 0;
    virtual int Status() = 0;
};

// A fresh libcurl request object; null when one cannot be made.
std::unique_ptr<HttpRequestObject> create_http_request_object();

// Replaces the factory create_http_request_object uses (null restores the libcurl one) and
// returns the previous one. Lets a test make creation fail.
using HttpRequestObjectFactory = std::unique_ptr<HttpRequestObject> (*)();
HttpRequestObjectFactory set_http_request_object_factory(HttpRequestObjectFactory factory);

// The libcurl object's reason for its last failed exchange ("" when it succeeded), for tests
// and diagnostics: "gate_stopped", "idle_timeout", "too_large", "redirect_refused", ...
std::string last_failure(const HttpRequestObject& object);
