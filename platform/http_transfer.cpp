// One HTTP exchange over libcurl: idle timer, hand-followed redirects, job gate, shared
// connections and a bound on the body size.
#include "platform/http_transfer.h"

#include <curl/curl.h>

#include <array>
#include <chrono>
#include <mutex>

#include "platform/host_gate.h"

namespace {

using Clock = std::chrono::steady_clock;

// ---- Connection reuse ----
// A share holds connections, TLS sessions and DNS answers. libcurl must not use one
// connection cache from two threads at the same time, so each exchange borrows a share from a
// process-wide pool and gives it back: exchanges made one after another (the usual case) find
// the connections of the previous one, and exchanges that overlap get different shares. The
// easy handle travels with its share and is reset for the next exchange, which costs less
// than making a new one.
struct ShareLocks {
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;
};

void lock_share(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<ShareLocks*>(user)->locks[static_cast<std::size_t>(data)].lock();
}
void unlock_share(CURL*, curl_lock_data data, void* user) {
    static_cast<ShareLocks*>(user)->locks[static_cast<std::size_t>(data)].unlock();
}

struct Slot {
    CURLSH* share = nullptr;
    CURL* easy = nullptr;
};

class SharePool {
public:
    Slot acquire() {
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                Slot slot = free_.back();
                free_.pop_back();
                return slot;
            }
        }
        Slot slot;
        slot.share = curl_share_init();
        if (slot.share == nullptr) return slot;
        auto* locks = new ShareLocks;  // lives as long as the share, i.e. the process
        curl_share_setopt(slot.share, CURLSHOPT_LOCKFUNC, lock_share);
        curl_share_setopt(slot.share, CURLSHOPT_UNLOCKFUNC, unlock_share);
        curl_share_setopt(slot.share, CURLSHOPT_USERDATA, locks);
        curl_share_setopt(slot.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(slot.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(slot.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        return slot;
    }
    void give_back(Slot slot) {
        if (slot.share == nullptr) return;
        std::lock_guard lock(mutex_);
        free_.push_back(slot);
    }

private:
    std::mutex mutex_;
    std::vector<Slot> free_;
};

// Never destroyed: a thread may still be inside an exchange while the process exits.
SharePool& share_pool() {
    static SharePool* pool = new SharePool;
    return *pool;
}

// ---- One hop ----
struct Hop {
    const TransferSpec* spec = nullptr;
    std::string header_block;
    std::string body;
    bool header_bytes = false;  // any response line arrived
    bool armed = false;         // the idle timer runs once the connection exists
    Clock::time_point last_activity;
    curl_off_t last_down = -1, last_up = -1;
    bool idle_expired = false;
    bool gate_stopped = false;
    bool too_large = false;
    Clock::duration held_unarmed{};  // time a pause held the exchange before its request went out

    void reset() {
        header_block.clear();
        body.clear();
        header_bytes = false;
        armed = false;
        last_down = last_up = -1;
        idle_expired = gate_stopped = too_large = false;
        held_unarmed = {};
    }
};

std::size_t on_header(char* data, std::size_t size, std::size_t n, void* user) {
    auto* hop = static_cast<Hop*>(user);
    std::size_t len = size * n;
    std::string line(data, len);
    hop->header_bytes = true;
    hop->last_activity = Clock::now();
    // Every response of the exchange passes here (interim 1xx, each redirect hop): keep the last.
    if (line.rfind("HTTP/", 0) == 0) hop->header_block.clear();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    hop->header_block += line;
    hop->header_block += "\r\n";
    return len;
}

std::size_t on_body(char* data, std::size_t size, std::size_t n, void* user) {
    auto* hop = static_cast<Hop*>(user);
    std::size_t len = size * n;
    if (hop->body.size() + len > hop->spec->max_body) {
        hop->too_large = true;
        return 0;  // aborts the transfer
    }
    hop->body.append(data, len);
    hop->last_activity = Clock::now();
    return len;
}

int on_prereq(void* user, char*, char*, int, int) {
    auto* hop = static_cast<Hop*>(user);
    hop->armed = true;
    hop->last_activity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

int on_progress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto* hop = static_cast<Hop*>(user);
    if (hop->spec->pass_gate) {
        Clock::time_point before = Clock::now();
        if (!pass_host_gate()) {
            hop->gate_stopped = true;
            return 1;
        }
        // Time spent held by a paused job is no idle time of the connection.
        Clock::duration held = Clock::now() - before;
        hop->last_activity += held;
        if (!hop->armed) hop->held_unarmed += held;
    }
    if (!hop->armed) return 0;
    Clock::time_point now = Clock::now();
    if (dlnow != hop->last_down || ulnow != hop->last_up) {
        hop->last_down = dlnow;
        hop->last_up = ulnow;
        hop->last_activity = now;
        return 0;
    }
    if (hop->spec->idle_timeout_ms > 0 &&
        now - hop->last_activity > std::chrono::milliseconds(hop->spec->idle_timeout_ms)) {
        hop->idle_expired = true;
        return 1;
    }
    return 0;
}

std::string scheme_of(const std::string& url) {
    auto colon = url.find("://");
    if (colon == std::string::npos) return {};
    std::string s = url.substr(0, colon);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool is_web_scheme(const std::string& scheme) { return scheme == "http" || scheme == "https"; }

void set_method(CURL* h, const std::string& method, const TransferSpec& spec, const std::string& body,
                bool with_body) {
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
    if (method == "HEAD") {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
        return;
    }
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    if (method == "POST" || (with_body && spec.send_body && !body.empty())) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
        if (method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
        return;
    }
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
}

bool retryable(CURLcode code) {
    return code == CURLE_GOT_NOTHING || code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR;
}

}  // namespace

void ensure_curl_ready() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string escape_url(const std::string& utf8_url) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8_url.size());
    for (unsigned char c : utf8_url) {
        if (c >= 0x80 || c <= 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

TransferResult perform_transfer(const TransferSpec& spec) {
    ensure_curl_ready();
    TransferResult result;
    std::string url = spec.url;
    std::string scheme = scheme_of(url);
    if (!is_web_scheme(scheme)) {
        result.error = TransferError::bad_url;
        return result;
    }
    if (spec.pass_gate && !pass_host_gate()) {
        result.error = TransferError::gate_stopped;
        return result;
    }

    Slot slot = spec.reuse_connections ? share_pool().acquire() : Slot{};
    CURL* h = slot.easy;
    if (h != nullptr) {
        // A reset neither frees the list of cookie files (it would be lost, one entry per
        // exchange) nor empties the jar, so both are cleared by hand first.
        curl_easy_setopt(h, CURLOPT_COOKIEFILE, nullptr);
        curl_easy_setopt(h, CURLOPT_COOKIELIST, "ALL");
        curl_easy_reset(h);
    } else {
        h = curl_easy_init();
    }
    if (h == nullptr) {
        share_pool().give_back(slot);
        result.error = TransferError::transport;
        return result;
    }
    CURLSH* share = slot.share;

    Hop hop;
    hop.spec = &spec;
    curl_slist* headers = nullptr;
    for (const auto& line : spec.header_lines) headers = curl_slist_append(headers, line.c_str());
    headers = curl_slist_append(headers, "Expect:");  // no 100-continue round trip for big bodies

    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);  // followed by hand below
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &hop);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &hop);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, on_progress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &hop);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, on_prereq);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &hop);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, spec.connect_timeout_ms);
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!spec.user_agent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, spec.user_agent.c_str());
    if (share != nullptr) curl_easy_setopt(h, CURLOPT_SHARE, share);
    if (spec.use_proxy) {
        curl_easy_setopt(h, CURLOPT_PROXY, spec.proxy.c_str());
        curl_easy_setopt(h, CURLOPT_NOPROXY, "");
        if (!spec.proxy_user.empty()) {
            curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, spec.proxy_user.c_str());
            curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, spec.proxy_password.c_str());
            curl_easy_setopt(h, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
        }
    } else {
        curl_easy_setopt(h, CURLOPT_PROXY, "");  // also ignores proxy variables of the environment
    }
    if (!spec.server_user.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, spec.server_user.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, spec.server_password.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
    if (spec.verify_tls) {
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    } else {
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
        // Nothing is verified, so no CA bundle needs to be read for each request.
        curl_easy_setopt(h, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
    }
    if (spec.cookies_across_redirects) curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");

    std::string method = spec.method;
    bool with_body = true;
    for (;;) {
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        set_method(h, method, spec, spec.body, with_body);
        // A body announced larger than the bound fails at once; a HEAD reply has no body to bound.
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE,
                         method == "HEAD" ? curl_off_t{0} : static_cast<curl_off_t>(spec.max_body));
        curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 0L);

        hop.reset();
        CURLcode code = curl_easy_perform(h);
        long new_connections = 0;
        curl_easy_getinfo(h, CURLINFO_NUM_CONNECTS, &new_connections);
        if (code != CURLE_OK && retryable(code) && new_connections == 0 && !hop.header_bytes) {
            // The server had closed the kept connection: once more on a fresh one.
            curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
            hop.reset();
            code = curl_easy_perform(h);
        }
        while (code == CURLE_OPERATION_TIMEDOUT && !hop.armed && !hop.gate_stopped &&
               hop.held_unarmed > std::chrono::milliseconds(1)) {
            // The connect limit kept running while a pause held the exchange; nothing has been
            // sent yet, so the connection is simply tried again.
            hop.reset();
            code = curl_easy_perform(h);
        }

        result.curl_code = code;
        result.header_block = hop.header_block;
        result.got_response = hop.header_block.rfind("HTTP/", 0) == 0;
        result.body = std::move(hop.body);
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);

        if (code != CURLE_OK) {
            if (hop.gate_stopped) result.error = TransferError::gate_stopped;
            else if (hop.idle_expired) result.error = TransferError::idle_timeout;
            else if (hop.too_large || code == CURLE_FILESIZE_EXCEEDED) result.error = TransferError::too_large;
            else result.error = TransferError::transport;
            break;
        }

        char* location = nullptr;
        if (!spec.follow_redirects || result.status < 300 || result.status > 399 ||
            curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || location == nullptr)
            break;

        std::string next = location;
        std::string next_scheme = scheme_of(next);
        if (result.redirects >= spec.max_redirects || !is_web_scheme(next_scheme) ||
            (scheme == "https" && next_scheme == "http")) {
            result.error = TransferError::redirect_refused;
            break;
        }
        if (spec.pass_gate && !pass_host_gate()) {
            result.error = TransferError::gate_stopped;
            break;
        }
        // As browsers do: 303 turns every method but HEAD into GET, 301 and 302 turn POST into GET.
        if ((result.status == 303 && method != "HEAD") ||
            ((result.status == 301 || result.status == 302) && method == "POST")) {
            method = "GET";
            with_body = false;
        }
        ++result.redirects;
        url = next;
        scheme = next_scheme;
    }

    curl_slist_free_all(headers);
    if (slot.share != nullptr) {
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);  // the list is gone
        slot.easy = h;
        share_pool().give_back(slot);
    } else {
        curl_easy_cleanup(h);
    }
    return result;
}
