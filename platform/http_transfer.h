// One HTTP exchange over libcurl, shared by the request object and the Internet functions:
// time-outs, redirects, the job gate, connection reuse and the size bound live here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct TransferSpec {
    std::string method = "GET";  // "GET", "POST" or "HEAD"
    std::string url;             // absolute http(s) URL, already UTF-8 and escaped
    std::vector<std::string> header_lines;  // "Name: value" (or "Name;" for an empty value)
    std::string body;
    bool send_body = false;      // POST always sends `body` (possibly empty); GET only when set
    std::string user_agent;      // "" sends none
    bool use_proxy = false;      // false: direct, whatever the environment says
    std::string proxy;
    std::string proxy_user, proxy_password;
    std::string server_user, server_password;
    bool verify_tls = true;
    bool follow_redirects = true;  // at most max_redirects; never https -> http
    int max_redirects = 10;
    bool cookies_across_redirects = false;  // in-memory jar for the hops of this exchange only
    long connect_timeout_ms = 60000;  // resolve + connect (+ TLS handshake); 0: library default
    long idle_timeout_ms = 30000;     // longest gap without a byte moving; 0: none
    bool pass_gate = false;           // the host's job gate before and during the transfer
    bool reuse_connections = true;    // connections, TLS sessions and DNS shared in the process
    std::size_t max_body = std::size_t{256} * 1024 * 1024;  // a larger response fails
};

enum class TransferError {
    none,
    bad_url,          // not an http(s) URL
    gate_stopped,     // the job was stopped: no request, or the transfer abandoned
    idle_timeout,     // nothing moved for longer than idle_timeout_ms
    too_large,        // the body passed max_body
    redirect_refused, // https -> http, another scheme, or too many redirects
    transport,        // connect, TLS, reset, truncated body, ...
};

struct TransferResult {
    TransferError error = TransferError::none;
    int curl_code = 0;
    bool got_response = false;  // a status line of the final exchange arrived
    long status = 0;
    std::string header_block;   // final response: status line, header lines, empty line; CRLF
    std::string body;           // as received (partial when the transfer failed)
    int redirects = 0;
    bool ok() const { return error == TransferError::none; }
};

// Runs the exchange synchronously on the calling thread.
TransferResult perform_transfer(const TransferSpec& spec);

// Escapes what may not stand in a URL as sent: bytes of 0x80 and above, spaces and control bytes.
std::string escape_url(const std::string& utf8_url);

// Calls curl_global_init once for the process; every entry point above calls it too.
void ensure_curl_ready();
