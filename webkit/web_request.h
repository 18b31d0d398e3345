// One synchronous HTTP request with default headers and cookie bookkeeping; returns the body bytes.
#pragma once

#include <string>
#include <string_view>

#include "platform/com.h"

class HttpRequestObject;  // platform/http_object.h

// Omitted in/out and out parameters are null pointers. Bytes are std::string.
// A failed request gives an empty body, "" response headers and status 0.
std::string web_request(std::string_view url,
                        int method = 0,
                        std::string_view post_text = {},
                        std::string* cookies = nullptr,
                        std::string* new_cookies = nullptr,
                        std::string* headers = nullptr,
                        std::string* response_headers = nullptr,
                        int* status = nullptr,
                        bool no_redirect = false,
                        std::string_view post_bytes = {},
                        std::string_view proxy = {},
                        int timeout_s = 0,
                        std::string_view proxy_user = {},
                        std::string_view proxy_password = {},
                        int credential_flag = 1,
                        HttpRequestObject* request_object = nullptr);
