// web_request: one synchronous request through a request object, with the default headers and
// the cookie bookkeeping.
#include "webkit/web_request.h"

#include <memory>

#include "platform/http_object.h"
#include "webkit/header_text.h"
#include "webkit/text.h"

namespace {

const char* const default_agent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

void add_default_headers(std::string& headers, std::string_view url) {
    if (headers.empty()) headers = "Accept: */*";
    else if (!contains_text(headers, "Accept:")) headers += "\r\nAccept: */*";
    if (!contains_text(headers, "Referer:")) {
        headers += "\r\nReferer: ";
        headers += url;
    }
    if (!contains_text(headers, "Accept-Language:")) headers += "\r\nAccept-Language: zh-cn";
    if (!contains_text(headers, "User-Agent:")) {
        headers += "\r\nUser-Agent: ";
        headers += default_agent;
    }
    if (!contains_text(headers, "Content-Type:")) headers += "\r\nContent-Type: application/x-www-form-urlencoded";
}

}  // namespace

std::string web_request(std::string_view url, int method, std::string_view post_text, std::string* cookies,
                        std::string* new_cookies, std::string* headers, std::string* response_headers,
                        int* status, bool no_redirect, std::string_view post_bytes, std::string_view proxy,
                        int timeout_s, std::string_view proxy_user, std::string_view proxy_password,
                        int credential_flag, HttpRequestObject* request_object) {
    com_init();
    if (method < 0 || method > 2) method = 0;
    static const char* const method_texts[] = {"GET", "POST", "HEAD"};

    std::unique_ptr<HttpRequestObject> owned;
    HttpRequestObject* object = request_object;
    if (object == nullptr) {
        owned = create_http_request_object();
        object = owned.get();
    }
    if (object == nullptr) {
        com_uninit();
        return {};
    }

    // Omitted in/out parameters work on local variables so the steps below stay the same.
    std::string local_cookies, local_new_cookies, local_headers, local_response_headers;
    int local_status = 0;
    std::string& cookie_text = cookies != nullptr ? *cookies : local_cookies;
    std::string& received_cookies = new_cookies != nullptr ? *new_cookies : local_new_cookies;
    std::string& header_text = headers != nullptr ? *headers : local_headers;
    std::string& reply_headers = response_headers != nullptr ? *response_headers : local_response_headers;
    int& reply_status = status != nullptr ? *status : local_status;

    if (timeout_s != -1) {
        int t = timeout_s >= 1 ? timeout_s * 1000 : 15000;
        object->SetTimeouts(t, t, t, t);
    }
    if (!proxy.empty()) {
        object->SetProxy(2, proxy);
        if (!proxy_user.empty()) object->SetCredentials(proxy_user, proxy_password, credential_flag);
    }
    object->Open(method_texts[method], url, false);
    if (no_redirect) object->Option(6, 0);
    object->Option(4, 0x3300);

    add_default_headers(header_text, url);
    if (!cookie_text.empty()) object->SetRequestHeader("Cookie", cookie_text);
    for (const std::string& line : split_text(header_text, "\r\n")) {
        if (line.empty()) continue;
        object->SetRequestHeader(header_name(line), header_value(line));
    }

    if (!post_bytes.empty()) object->Send(post_bytes, true);
    else object->Send(post_text, false);

    std::string body = object->ResponseBody();
    reply_headers = object->GetAllResponseHeaders();
    reply_status = object->Status();

    received_cookies = extract_set_cookies(reply_headers);
    merge_cookies(cookie_text, received_cookies);

    owned.reset();
    com_uninit();
    return body;
}
