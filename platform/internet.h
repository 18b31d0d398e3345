// The Internet client steps inet_request takes (open, connect, open request, send, read, query
// raw headers, close), over libcurl.
#pragma once

#include <cstddef>
#include <string_view>

// One handle type for the session, the connection and the request.
struct InternetHandle;

constexpr int internet_open_type_direct = 1;
constexpr int internet_open_type_proxy = 3;
constexpr int internet_service_http = 3;
constexpr int http_query_raw_headers_crlf = 22;

constexpr unsigned internet_flag_reload = 0x80000000u;
constexpr unsigned internet_flag_need_file = 0x00000010u;
constexpr unsigned internet_flag_no_cookies = 0x00080000u;
constexpr unsigned internet_flag_no_auto_redirect = 0x00200000u;
constexpr unsigned internet_flag_secure = 0x00800000u;
constexpr unsigned internet_flag_ignore_redirect_to_https = 0x00004000u;

// Texts are GBK. Failures give null or false, never an exception.

// `agent` becomes the User-Agent of every request of the session. Direct sessions ignore
// `proxy`; proxy sessions need one: "host:port" for every scheme, or "http=host:port" (entries
// separated by blanks or ";") for the named scheme only. `bypass` is not supported and must be "".
InternetHandle* internet_open(std::string_view agent, int access_type, std::string_view proxy,
                              std::string_view bypass, unsigned flags);
// Remembers the server; nothing is sent yet. Only the HTTP service is offered. Port 0 means
// the default port (443 when the request is opened secure, else 80).
InternetHandle* internet_connect(InternetHandle* session, std::string_view host, int port, std::string_view user,
                                 std::string_view password, int service, unsigned flags);
// `verb` "GET", "POST" or "HEAD"; `object_path` from "/" on, query included. The flags above
// decide the scheme (secure: https, certificates verified), redirects (at most 10; never from
// https to http) and cookies (without no_cookies, cookies set during redirects go to the next hop).
InternetHandle* http_open_request(InternetHandle* connection, std::string_view verb, std::string_view object_path,
                                  std::string_view version, std::string_view referrer, unsigned flags);
// Sends the request with the "\r\n"-separated header lines and `body` and receives the whole
// response (connect limit 60 s, 30 s without a byte moving). False when the exchange failed;
// what arrived before the failure can still be read.
bool http_send_request(InternetHandle* request, std::string_view headers, std::string_view body);
// Copies up to `size` further body bytes; `*read` 0 means the end (or nothing was received).
bool internet_read_file(InternetHandle* request, char* buffer, std::size_t size, std::size_t* read);
// http_query_raw_headers_crlf: the final response's status line and header lines, CR LF
// separated, ending with an empty line ("\r\n\r\n" before or without a response), followed by a
// zero byte. `*length` holds the buffer size and receives the text length; when the text and its
// zero do not fit it receives the size needed and the call fails.
bool http_query_info(InternetHandle* request, int info_level, char* buffer, std::size_t* length);
bool internet_close_handle(InternetHandle* handle);
