// The page fetch over the Internet client functions, and the address splitting it uses.
#pragma once

#include <string>
#include <string_view>

// One synchronous request; returns the body bytes (what arrived before a failure is kept).
// Omitted in/out and out parameters are null pointers; passing `cookies` at all, even pointing
// to an empty text, switches the platform's cookie handling off and merges the received cookies
// into it. `post_bytes`, when passed, receives the bytes of `post_text` if it was empty and the
// method is not GET. `response_headers` receives the raw block, status line first.
std::string inet_request(std::string_view url,
                         int method = 0,
                         std::string_view post_text = {},
                         std::string* cookies = nullptr,
                         std::string* new_cookies = nullptr,
                         std::string* headers = nullptr,
                         std::string* response_headers = nullptr,
                         bool no_redirect = false,
                         std::string* post_bytes = nullptr,
                         std::string_view proxy = {});

// The host of the address in lower case ("http://" assumed when no scheme is written); with
// `keep_port` a port written after it stays attached with its colon.
std::string url_host(std::string_view url, bool keep_port = false);
// The port written after the host, else 443 for an https address and 80 otherwise.
int url_port(std::string_view url);
// Everything from the first "/" after the host, query included, letter case kept; "/" when none.
std::string url_path(std::string_view url);

// The agent inet_request opens its session with, taken from the caller's header text.
std::string inet_agent(std::string_view headers);
// The proxy text inet_request opens its session with: `proxy` for an https address, else
// "http=" + `proxy` (a proxy for http addresses only).
std::string inet_proxy_text(std::string_view url, std::string_view proxy);
