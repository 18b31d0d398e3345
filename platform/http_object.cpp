// The libcurl request object behind web_request.
#include "platform/http_object.h"

#include <algorithm>
#include <vector>

#include "platform/codepage.h"
#include "platform/http_transfer.h"

namespace {

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const char* failure_name(TransferError e) {
    switch (e) {
        case TransferError::none: return "";
        case TransferError::bad_url: return "bad_url";
        case TransferError::gate_stopped: return "gate_stopped";
        case TransferError::idle_timeout: return "idle_timeout";
        case TransferError::too_large: return "too_large";
        case TransferError::redirect_refused: return "redirect_refused";
        case TransferError::transport: return "transport";
    }
    return "transport";
}

class CurlRequestObject final : public HttpRequestObject {
public:
    bool SetTimeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override {
        for (int t : {resolve_ms, connect_ms, send_ms, receive_ms})
            if (t < -1) return false;
        auto limit = [](int t) { return t <= 0 ? 0L : static_cast<long>(t); };
        // Resolving and connecting each get their own limit, so together they get both.
        connect_ms_ = (limit(resolve_ms) == 0 || limit(connect_ms) == 0) ? 0L : limit(resolve_ms) + limit(connect_ms);
        // One idle timer watches both directions; the longer of the two limits rules it.
        idle_ms_ = (limit(send_ms) == 0 || limit(receive_ms) == 0) ? 0L : std::max(limit(send_ms), limit(receive_ms));
        return true;
    }

    bool SetProxy(int setting, std::string_view server) override {
        if (setting == 0 || setting == 1) {
            use_proxy_ = false;
            return true;
        }
        if (setting != 2) return false;
        use_proxy_ = true;
        proxy_ = std::string(server);
        return true;
    }

    bool SetCredentials(std::string_view user, std::string_view password, int flag) override {
        if (flag == 1) {
            proxy_user_ = std::string(user);
            proxy_password_ = std::string(password);
        } else if (flag == 0) {
            server_user_ = std::string(user);
            server_password_ = std::string(password);
        } else {
            return false;
        }
        return true;
    }

    bool Open(std::string_view method, std::string_view url, bool async) override {
        opened_ = false;
        headers_.clear();
        response_ = TransferResult{};
        response_.error = TransferError::transport;
        if (async) return false;
        std::string m;
        for (const char* known : {"GET", "POST", "HEAD"})
            if (same_letters(method, known)) m = known;
        if (m.empty()) return false;
        std::string u = escape_url(gbk_to_utf8(url));
        auto colon = u.find("://");
        if (colon == std::string::npos) return false;
        std::string scheme = u.substr(0, colon);
        if (!same_letters(scheme, "http") && !same_letters(scheme, "https")) return false;
        method_ = m;
        url_ = u;
        opened_ = true;
        return true;
    }

    bool Option(int index, int value) override {
        if (index == 4) {
            ignore_tls_errors_ = value;
            return true;
        }
        if (index == 6) {
            follow_redirects_ = value != 0;
            return true;
        }
        return false;
    }

    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        if (!opened_ || name.empty()) return false;
        for (char c : name)
            if (c == ':' || c == '\r' || c == '\n' || c == ' ') return false;
        for (char c : value)
            if (c == '\r' || c == '\n') return false;
        // Header bytes go out as given (a cookie comes back exactly as it was received).
        std::string line(name);
        // libcurl drops a header written "Name:" but sends "Name;" as an empty one.
        if (value.empty()) line += ";";
        else line += ": " + std::string(value);
        headers_.push_back(std::move(line));
        return true;
    }

    bool Send(std::string_view body, bool) override {
        if (!opened_) return false;
        TransferSpec spec;
        spec.method = method_;
        spec.url = url_;
        spec.header_lines = headers_;
        spec.body.assign(body);
        spec.send_body = !body.empty();
        spec.use_proxy = use_proxy_;
        spec.proxy = proxy_;
        spec.proxy_user = proxy_user_;
        spec.proxy_password = proxy_password_;
        spec.server_user = server_user_;
        spec.server_password = server_password_;
        spec.verify_tls = (ignore_tls_errors_ & 0x3300) != 0x3300;
        spec.follow_redirects = follow_redirects_;
        spec.cookies_across_redirects = follow_redirects_;
        spec.connect_timeout_ms = connect_ms_;
        spec.idle_timeout_ms = idle_ms_;
        spec.pass_gate = true;
        spec.reuse_connections = true;
        response_ = perform_transfer(spec);
        if (!response_.ok()) {
            // A failed exchange leaves nothing behind, not even the part that did arrive.
            response_.body.clear();
            response_.header_block.clear();
            response_.status = 0;
        }
        return response_.ok();
    }

    std::string ResponseBody() override { return response_.ok() ? response_.body : std::string(); }

    std::string GetAllResponseHeaders() override {
        if (!response_.ok()) return {};
        const std::string& block = response_.header_block;
        auto end = block.find("\r\n");
        return end == std::string::npos ? std::string() : block.substr(end + 2);
    }

    int Status() override { return response_.ok() ? static_cast<int>(response_.status) : 0; }

    std::string failure() const { return failure_name(response_.error); }

private:
    long connect_ms_ = 60000;  // the object's own limits: resolve unlimited, connect 60 s,
    long idle_ms_ = 30000;     // send and receive 30 s
    bool use_proxy_ = false;
    std::string proxy_, proxy_user_, proxy_password_, server_user_, server_password_;
    bool opened_ = false;
    std::string method_, url_;
    std::vector<std::string> headers_;
    int ignore_tls_errors_ = 0;
    bool follow_redirects_ = true;
    TransferResult response_ = [] {
        TransferResult r;
        r.error = TransferError::transport;  // nothing sent yet
        return r;
    }();
};

std::unique_ptr<HttpRequestObject> make_curl_object() {
    ensure_curl_ready();
    return std::make_unique<CurlRequestObject>();
}

HttpRequestObjectFactory current_factory = make_curl_object;

}  // namespace

std::unique_ptr<HttpRequestObject> create_http_request_object() { return current_factory(); }

HttpRequestObjectFactory set_http_request_object_factory(HttpRequestObjectFactory factory) {
    HttpRequestObjectFactory previous = current_factory;
    current_factory = factory != nullptr ? factory : make_curl_object;
    return previous;
}

std::string last_failure(const HttpRequestObject& object) {
    auto* curl_object = dynamic_cast<const CurlRequestObject*>(&object);
    return curl_object != nullptr ? curl_object->failure() : std::string();
}
