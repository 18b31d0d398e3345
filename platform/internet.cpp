// The Internet client steps over libcurl: each request is carried out whole at send time and
// then read from memory.
#include "platform/internet.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/http_transfer.h"

struct InternetHandle {
    enum class Kind { session, connection, request };
    explicit InternetHandle(Kind k) : kind(k) {}
    Kind kind;
    // Session
    std::string agent;
    bool use_proxy = false;
    std::string proxy_text;
    // Connection (copies of the session's values, so handles may close in any order)
    std::string host;
    int port = 0;
    // Request
    std::string verb, path;
    unsigned flags = 0;
    bool sent = false;
    TransferResult response;
    std::size_t read_offset = 0;
};

namespace {

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The proxy for `scheme` out of a proxy list: an entry "scheme=host:port" for that scheme, or a
// bare "host:port" for every scheme; "" when none applies.
std::string proxy_for(const std::string& list, const std::string& scheme) {
    std::string bare;
    std::size_t i = 0;
    while (i < list.size()) {
        std::size_t end = list.find_first_of(" ;", i);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(i, end - i);
        i = end + 1;
        if (entry.empty()) continue;
        auto eq = entry.find('=');
        if (eq == std::string::npos) {
            if (bare.empty()) bare = entry;
        } else if (lower_ascii(entry.substr(0, eq)) == scheme) {
            std::string server = entry.substr(eq + 1);
            if (server.find("://") == std::string::npos) server = scheme == "https" ? server : "http://" + server;
            return server;
        }
    }
    return bare;
}

}  // namespace

InternetHandle* internet_open(std::string_view agent, int access_type, std::string_view proxy,
                              std::string_view bypass, unsigned) {
    if (!bypass.empty()) return nullptr;
    auto* h = new InternetHandle(InternetHandle::Kind::session);
    h->agent.assign(agent);
    if (access_type == internet_open_type_proxy) {
        if (proxy.empty()) {
            delete h;
            return nullptr;
        }
        h->use_proxy = true;
        h->proxy_text.assign(proxy);
    } else if (access_type != internet_open_type_direct && access_type != 0) {
        delete h;
        return nullptr;
    }
    ensure_curl_ready();
    return h;
}

InternetHandle* internet_connect(InternetHandle* session, std::string_view host, int port, std::string_view,
                                 std::string_view, int service, unsigned) {
    if (session == nullptr || session->kind != InternetHandle::Kind::session || host.empty() ||
        service != internet_service_http || port < 0 || port > 65535)
        return nullptr;
    auto* h = new InternetHandle(InternetHandle::Kind::connection);
    h->agent = session->agent;
    h->use_proxy = session->use_proxy;
    h->proxy_text = session->proxy_text;
    h->host.assign(host);
    h->port = port;
    return h;
}

InternetHandle* http_open_request(InternetHandle* connection, std::string_view verb, std::string_view object_path,
                                  std::string_view, std::string_view, unsigned flags) {
    if (connection == nullptr || connection->kind != InternetHandle::Kind::connection) return nullptr;
    std::string v(verb);
    if (v != "GET" && v != "POST" && v != "HEAD") return nullptr;
    auto* h = new InternetHandle(*connection);
    h->kind = InternetHandle::Kind::request;
    h->verb = v;
    h->path.assign(object_path.empty() ? std::string_view("/") : object_path);
    h->flags = flags;
    return h;
}

bool http_send_request(InternetHandle* request, std::string_view headers, std::string_view body) {
    if (request == nullptr || request->kind != InternetHandle::Kind::request) return false;
    bool secure = (request->flags & internet_flag_secure) != 0;
    std::string scheme = secure ? "https" : "http";

    TransferSpec spec;
    spec.method = request->verb;
    std::string path = request->path;
    if (path.empty() || path[0] != '/') path = "/" + path;
    // Port 0 stands for the service's default port: 443 for a secure request, else 80.
    int port = request->port != 0 ? request->port : secure ? 443 : 80;
    spec.url = escape_url(scheme + "://" + gbk_to_utf8(request->host) + ":" + std::to_string(port) +
                          gbk_to_utf8(path));
    std::size_t start = 0;
    while (start <= headers.size()) {
        std::size_t end = headers.find("\r\n", start);
        if (end == std::string_view::npos) end = headers.size();
        std::string line(headers.substr(start, end - start));
        start = end + 2;
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        // libcurl drops a header written "Name:"; "Name;" sends it with an empty value.
        auto colon = line.find(':');
        if (colon != std::string::npos && line.find_first_not_of(' ', colon + 1) == std::string::npos)
            line = line.substr(0, colon) + ";";
        spec.header_lines.push_back(std::move(line));
    }
    spec.body.assign(body);
    spec.send_body = !body.empty();
    // The agent must not carry a line break into the request.
    spec.user_agent = request->agent.substr(0, request->agent.find_first_of("\r\n"));
    if (request->use_proxy) {
        spec.proxy = proxy_for(request->proxy_text, scheme);
        spec.use_proxy = !spec.proxy.empty();
    }
    spec.verify_tls = true;
    spec.follow_redirects = (request->flags & internet_flag_no_auto_redirect) == 0;
    spec.cookies_across_redirects = (request->flags & internet_flag_no_cookies) == 0;
    spec.connect_timeout_ms = 60000;
    spec.idle_timeout_ms = 30000;
    spec.pass_gate = false;          // the page fetch belongs to no download job
    spec.reuse_connections = false;  // one page now and then: nothing to reuse

    request->response = perform_transfer(spec);
    request->sent = true;
    request->read_offset = 0;
    // A body over the bound is never handed out, not even in part.
    if (request->response.error == TransferError::too_large) request->response.body.clear();
    return request->response.ok();
}

bool internet_read_file(InternetHandle* request, char* buffer, std::size_t size, std::size_t* read) {
    if (read != nullptr) *read = 0;
    if (request == nullptr || request->kind != InternetHandle::Kind::request || read == nullptr) return false;
    const std::string& body = request->response.body;
    std::size_t n = std::min(size, body.size() - std::min(request->read_offset, body.size()));
    if (n > 0) std::memcpy(buffer, body.data() + request->read_offset, n);
    request->read_offset += n;
    *read = n;
    return true;
}

bool http_query_info(InternetHandle* request, int info_level, char* buffer, std::size_t* length) {
    if (request == nullptr || request->kind != InternetHandle::Kind::request || length == nullptr ||
        info_level != http_query_raw_headers_crlf)
        return false;
    const std::string block = request->response.got_response ? request->response.header_block : "\r\n\r\n";
    if (buffer == nullptr || block.size() + 1 > *length) {
        *length = block.size() + 1;
        return false;
    }
    std::memcpy(buffer, block.data(), block.size());
    buffer[block.size()] = '\0';
    *length = block.size();
    return true;
}

bool internet_close_handle(InternetHandle* handle) {
    if (handle == nullptr) return false;
    delete handle;
    return true;
}
