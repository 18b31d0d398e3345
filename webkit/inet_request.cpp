// inet_request over the Internet client steps, and url_host, url_port, url_path.
#include "webkit/inet_request.h"

#include "platform/internet.h"
#include "webkit/header_text.h"
#include "webkit/text.h"

namespace {

const char* const default_agent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// ASCII letters only; the trail byte of a double-byte character is never touched.
std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (is_lead_byte(c)) {
            ++i;
            continue;
        }
        if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool is_secure(std::string_view url) { return lower_ascii(left_bytes(url, 5)) == "https"; }

}  // namespace

std::string url_host(std::string_view url, bool keep_port) {
    std::string address = lower_ascii(url);
    if (address.empty() || address.back() != '/') address += "/";
    std::string host;
    if (left_bytes(address, 8) == "https://") {
        host = text_between(address, "https://", "/");
    } else {
        if (!contains_text(address, "http://")) address = "http://" + address;
        host = text_between(address, "http://", "/");
    }
    if (!keep_port) {
        int colon = find_text(host, ":");
        if (colon != -1) host = left_bytes(host, colon - 1);
    }
    return host;
}

int url_port(std::string_view url) {
    std::string host = url_host(url, true);
    int colon = find_text_reverse(host, ":");
    if (colon == -1) return is_secure(url) ? 443 : 80;
    long long port = 0;
    for (std::size_t i = static_cast<std::size_t>(colon); i < host.size(); ++i) {
        char c = host[i];
        if (c < '0' || c > '9') break;
        port = port * 10 + (c - '0');
        if (port > 0x7FFFFFFF) return 0;  // no such port; the connection step refuses it
    }
    return static_cast<int>(port);
}

std::string url_path(std::string_view url) {
    std::string host = url_host(url, false);
    int a = find_text(url, host, 1, true);
    int b = find_text(url, "/", a == -1 ? 1 : a);
    if (b < 1) return "/";
    return std::string(url.substr(static_cast<std::size_t>(b - 1)));
}

std::string inet_agent(std::string_view headers) {
    if (!contains_text(headers, "User-Agent:", true)) return default_agent;
    std::string agent = trim_spaces(text_between(headers, "User-Agent:", "\r\n"));
    if (agent.empty()) agent = header_value(headers);
    return agent;
}

std::string inet_proxy_text(std::string_view url, std::string_view proxy) {
    if (is_secure(url)) return std::string(proxy);
    return "http=" + std::string(proxy);
}

std::string inet_request(std::string_view url, int method, std::string_view post_text, std::string* cookies,
                         std::string* new_cookies, std::string* headers, std::string* response_headers,
                         bool no_redirect, std::string* post_bytes, std::string_view proxy) {
    if (method < 0 || method > 2) method = 0;
    static const char* const method_texts[] = {"GET", "POST", "HEAD"};

    std::string local_new_cookies, local_headers, local_response_headers, local_post_bytes;
    std::string& received_cookies = new_cookies != nullptr ? *new_cookies : local_new_cookies;
    std::string& header_text = headers != nullptr ? *headers : local_headers;
    std::string& reply_headers = response_headers != nullptr ? *response_headers : local_response_headers;
    std::string& body_bytes = post_bytes != nullptr ? *post_bytes : local_post_bytes;

    std::string agent = inet_agent(header_text);
    InternetHandle* session =
        proxy.empty() ? internet_open(agent, internet_open_type_direct, "", "", 0)
                      : internet_open(agent, internet_open_type_proxy, inet_proxy_text(url, proxy), "", 0);
    if (session == nullptr) return {};
    InternetHandle* connection = internet_connect(session, url_host(url), url_port(url), "", "", internet_service_http, 0);
    if (connection == nullptr) {
        internet_close_handle(session);
        return {};
    }
    bool secure = is_secure(url);
    unsigned flags = internet_flag_reload | internet_flag_need_file;
    if (cookies != nullptr) flags |= internet_flag_no_cookies;
    if (no_redirect) flags |= internet_flag_no_auto_redirect;
    flags |= secure ? internet_flag_secure : internet_flag_ignore_redirect_to_https;
    InternetHandle* request =
        http_open_request(connection, method_texts[method], url_path(url), "HTTP/1.1", "", flags);
    if (request == nullptr) {
        internet_close_handle(connection);
        internet_close_handle(session);
        return {};
    }

    if (header_text.empty()) header_text = "Accept: */*";
    else if (!contains_text(header_text, "Accept:")) header_text += "\r\nAccept: */*";
    if (!contains_text(header_text, "Referer:")) {
        header_text += "\r\nReferer: ";
        header_text += url;
    }
    if (!contains_text(header_text, "Accept-Language:")) header_text += "\r\nAccept-Language: zh-cn";
    if (!contains_text(header_text, "Content-Type:")) header_text += "\r\nContent-Type: application/x-www-form-urlencoded";
    if (cookies != nullptr && !cookies->empty()) header_text += "\r\nCookie: " + *cookies;

    std::string_view body;
    if (method != 0) {
        if (body_bytes.empty()) body_bytes.assign(post_text);
        body = body_bytes;
    }
    http_send_request(request, header_text, body);

    std::string received;
    char chunk[1024];
    std::size_t got = 0;
    while (internet_read_file(request, chunk, sizeof chunk, &got) && got > 0) received.append(chunk, got);

    char block[5000] = {};
    std::size_t length = sizeof block;
    reply_headers = http_query_info(request, http_query_raw_headers_crlf, block, &length) ? std::string(block, length)
                                                                                          : std::string();

    internet_close_handle(request);
    internet_close_handle(connection);
    internet_close_handle(session);

    received_cookies = extract_set_cookies(reply_headers);
    if (cookies != nullptr) merge_cookies(*cookies, received_cookies);
    return received;
}
