// In-process HTTP and HTTPS test server over cpp-httplib: canned replies, request records,
// misbehaviours and held replies.
#include "support/test_server.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace vktest {

namespace {

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The self-signed certificate and key, made once per process (an EC key is quick to make).
struct Credentials {
    X509* cert = nullptr;
    EVP_PKEY* key = nullptr;
    std::string pem;
};

const Credentials& credentials() {
    static const Credentials made = [] {
        Credentials c;
        c.key = EVP_EC_gen("P-256");
        c.cert = X509_new();
        if (c.key == nullptr || c.cert == nullptr) throw std::runtime_error("test certificate: key");
        X509_set_version(c.cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(c.cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(c.cert), -24L * 3600);
        X509_gmtime_adj(X509_getm_notAfter(c.cert), 10L * 365 * 24 * 3600);
        X509_set_pubkey(c.cert, c.key);
        X509_NAME* name = X509_get_subject_name(c.cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(c.cert, name);
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, c.cert, c.cert, nullptr, nullptr, 0);
        X509_EXTENSION* san =
            X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
        if (san == nullptr) throw std::runtime_error("test certificate: SAN");
        X509_add_ext(c.cert, san, -1);
        X509_EXTENSION_free(san);
        if (X509_sign(c.cert, c.key, EVP_sha256()) == 0)
            throw std::runtime_error("test certificate: sign");
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(bio, c.cert);
        char* data = nullptr;
        long len = BIO_get_mem_data(bio, &data);
        c.pem.assign(data, static_cast<std::size_t>(len));
        BIO_free(bio);
        return c;
    }();
    return made;
}

// Accepted sockets of this process whose local port is `local_port` (and whose peer port is
// `remote_port`, unless that is 0), found by looking through the open descriptors.
std::vector<int> find_sockets(int local_port, int remote_port) {
    std::vector<int> found;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return found;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0') continue;
        sockaddr_storage local{}, peer{};
        socklen_t local_len = sizeof local, peer_len = sizeof peer;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &local_len) != 0 ||
            getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peer_len) != 0 ||
            local.ss_family != AF_INET || peer.ss_family != AF_INET)
            continue;
        if (ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port) == local_port &&
            (remote_port == 0 || ntohs(reinterpret_cast<sockaddr_in*>(&peer)->sin_port) == remote_port))
            found.push_back(static_cast<int>(fd));
    }
    closedir(dir);
    return found;
}

// The socket of one request, or -1.
int find_socket(int local_port, int remote_port) {
    std::vector<int> found = find_sockets(local_port, remote_port);
    return found.empty() ? -1 : found.front();
}

}  // namespace

struct TestServer::State {
    struct HoldState {
        bool armed = false;
        int held_now = 0;
    };

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool stopping = false;
    std::map<std::string, Handler, std::less<>> routes;
    std::map<std::string, HoldState, std::less<>> holds;
    std::vector<RecordedRequest> received;

    httplib::Server http;
    std::unique_ptr<httplib::SSLServer> https;
    int http_port = 0;
    int https_port = 0;
    std::thread http_thread;
    std::thread https_thread;

    // Waits `duration` unless the server stops first; true when it stops.
    bool sleep_unless_stopping(std::chrono::milliseconds duration) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, duration, [this] { return stopping; });
    }

    void dispatch(const httplib::Request& req, httplib::Response& res, bool secure) {
        RecordedRequest record;
        record.method = req.method;
        record.target = req.target;
        record.path = req.path;
        auto q = req.target.find('?');
        if (q != std::string::npos) record.query = req.target.substr(q + 1);
        for (const auto& [name, value] : req.headers) {
            if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
                name == "LOCAL_PORT")
                continue;  // the library's own notes, not received lines
            record.headers.emplace_back(name, value);
        }
        record.body = req.body;
        record.https = secure;
        record.remote_port = req.remote_port;

        Handler handler;
        {
            std::lock_guard lock(mutex);
            received.push_back(std::move(record));
            auto it = routes.find(req.path);
            if (it != routes.end()) handler = it->second;
            changed.notify_all();
        }
        if (handler) {
            handler(req, res);
        } else {
            res.status = 404;
            res.set_content("not found", "text/plain");
        }
    }

    void route(std::string_view path, Handler handler) {
        std::lock_guard lock(mutex);
        routes.insert_or_assign(std::string(path), std::move(handler));
    }

    // Blocks while `path` is armed for holding; counts itself as held meanwhile.
    void wait_released(const std::string& path) {
        std::unique_lock lock(mutex);
        auto& h = holds[path];
        if (!h.armed || stopping) return;
        ++h.held_now;
        changed.notify_all();
        changed.wait(lock, [&] { return !holds[path].armed || stopping; });
        --holds[path].held_now;
    }
};

TestServer::TestServer() : TestServer(Options{}) {}

TestServer::TestServer(Options options) : state_(std::make_shared<State>()) {
    const Credentials& cred = credentials();
    State& s = *state_;
    s.https = std::make_unique<httplib::SSLServer>(cred.cert, cred.key);
    if (!s.https->is_valid()) throw std::runtime_error("test server: TLS setup failed");

    auto setup = [&s, &options](httplib::Server& server, bool secure) {
        Handler h = [&s, secure](const httplib::Request& req, httplib::Response& res) {
            s.dispatch(req, res, secure);
        };
        server.Get(".*", h).Post(".*", h).Put(".*", h).Delete(".*", h).Options(".*", h).Patch(".*", h);
        server.set_tcp_nodelay(true);  // headers and body go in separate writes
        server.set_keep_alive_timeout(options.keep_alive_timeout.count());
        server.set_keep_alive_max_count(options.keep_alive_max_count);
        server.set_read_timeout(5);
        server.set_write_timeout(5);
        // Stalled and held replies each occupy a worker.
        server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    };
    setup(s.http, false);
    setup(*s.https, true);

    s.http_port = s.http.bind_to_any_port("127.0.0.1");
    s.https_port = s.https->bind_to_any_port("127.0.0.1");
    if (s.http_port <= 0 || s.https_port <= 0) throw std::runtime_error("test server: bind failed");
    s.http_thread = std::thread([&s] { s.http.listen_after_bind(); });
    s.https_thread = std::thread([&s] { s.https->listen_after_bind(); });
    while (!s.http.is_running() || !s.https->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer() {
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
        s.changed.notify_all();
    }
    s.http.stop();
    s.https->stop();
    // A worker waiting on an idle kept-alive connection would wait out the whole keep-alive
    // time; shutting those connections down ends the wait at once.
    for (int port : {s.http_port, s.https_port})
        for (int fd : find_sockets(port, 0)) shutdown(fd, SHUT_RDWR);
    if (s.http_thread.joinable()) s.http_thread.join();
    if (s.https_thread.joinable()) s.https_thread.join();
}

int TestServer::http_port() const { return state_->http_port; }
int TestServer::https_port() const { return state_->https_port; }

std::string TestServer::http_url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(state_->http_port) + std::string(path);
}
std::string TestServer::https_url(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(state_->https_port) + std::string(path);
}

const std::string& TestServer::certificate_pem() { return credentials().pem; }

void TestServer::serve(std::string_view path, std::string body, std::string content_type, int status,
                       HeaderList headers) {
    state_->route(path, [body = std::move(body), content_type = std::move(content_type), status,
                         headers = std::move(headers)](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        for (const auto& [name, value] : headers) res.headers.emplace(name, value);
        res.set_content(body, content_type);
    });
}

void TestServer::serve_file(std::string_view path, const std::string& file, std::string content_type) {
    serve(path, read_fixture(file), std::move(content_type));
}

void TestServer::redirect(std::string_view path, std::string location, int status, HeaderList headers) {
    headers.emplace_back("Location", std::move(location));
    serve(path, "moved", "text/plain", status, std::move(headers));
}

void TestServer::handle(std::string_view path,
                        std::function<void(const httplib::Request&, httplib::Response&)> handler) {
    state_->route(path, std::move(handler));
}

void TestServer::remove(std::string_view path) {
    std::lock_guard lock(state_->mutex);
    auto it = state_->routes.find(path);
    if (it != state_->routes.end()) state_->routes.erase(it);
}

void TestServer::stall_after_headers(std::string_view path, std::size_t declared_length,
                                     std::chrono::milliseconds max_stall) {
    State* s = state_.get();
    state_->route(path, [s, declared_length, max_stall](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(declared_length, "application/octet-stream",
                                 [s, max_stall](std::size_t, std::size_t, httplib::DataSink&) {
                                     s->sleep_unless_stopping(max_stall);
                                     return false;  // close without a byte of body
                                 });
    });
}

void TestServer::trickle(std::string_view path, std::string body, std::size_t piece,
                         std::chrono::milliseconds gap) {
    State* s = state_.get();
    auto shared = std::make_shared<const std::string>(std::move(body));
    piece = std::max<std::size_t>(piece, 1);
    state_->route(path, [s, shared, piece, gap](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(shared->size(), "application/octet-stream",
                                 [s, shared, piece, gap](std::size_t offset, std::size_t length,
                                                         httplib::DataSink& sink) {
                                     if (s->sleep_unless_stopping(gap)) return false;
                                     std::size_t n = std::min(piece, length);
                                     return sink.write(shared->data() + offset, n);
                                 });
    });
}

void TestServer::reset_mid_body(std::string_view path, std::string body, std::size_t sent) {
    auto shared = std::make_shared<const std::string>(std::move(body));
    sent = std::min(sent, shared->size());
    state_->route(path, [shared, sent](const httplib::Request& req, httplib::Response& res) {
        int local_port = req.local_port, remote_port = req.remote_port;
        res.set_content_provider(
            shared->size(), "application/octet-stream",
            [shared, sent, local_port, remote_port](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset < sent) return sink.write(shared->data() + offset, sent - offset);
                // Closing with a zero linger time sends a reset. The library would shut the
                // socket down in order first, so the socket is closed here by putting /dev/null
                // in its place; the library then closes that instead.
                int fd = find_socket(local_port, remote_port);
                if (fd >= 0) {
                    linger hard{1, 0};
                    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
                    if (null_fd >= 0) {
                        dup2(null_fd, fd);
                        close(null_fd);
                    }
                }
                return false;
            });
    });
}

void TestServer::truncate_body(std::string_view path, std::string body, std::size_t declared_length) {
    auto shared = std::make_shared<const std::string>(std::move(body));
    state_->route(path, [shared, declared_length](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(declared_length, "application/octet-stream",
                                 [shared](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset < shared->size())
                                         return sink.write(shared->data() + offset, shared->size() - offset);
                                     return false;  // orderly close before the announced end
                                 });
    });
}

void TestServer::huge_body(std::string_view path, std::size_t total, bool announce_length) {
    state_->route(path, [total, announce_length](const httplib::Request&, httplib::Response& res) {
        static const std::string block(64 * 1024, 'x');
        if (announce_length) {
            res.set_content_provider(total, "application/octet-stream",
                                     [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                         return sink.write(block.data(), std::min(length, block.size()));
                                     });
        } else {
            res.set_content_provider("application/octet-stream",
                                     [total](std::size_t offset, httplib::DataSink& sink) {
                                         // Closing the connection is what ends a body without a length.
                                         if (offset >= total) return false;
                                         return sink.write(block.data(), std::min(total - offset, block.size()));
                                     });
        }
    });
}

void TestServer::drop_reused_connections(std::string_view path, std::string body) {
    State* s = state_.get();
    state_->route(path, [s, body = std::move(body)](const httplib::Request& req, httplib::Response& res) {
        std::size_t earlier = 0;
        {
            std::lock_guard lock(s->mutex);
            for (const auto& r : s->received)
                if (r.remote_port == req.remote_port) ++earlier;  // this request is one of them
        }
        if (earlier > 1) {
            int fd = find_socket(req.local_port, req.remote_port);
            if (fd >= 0) shutdown(fd, SHUT_RDWR);  // the reply then has nowhere to go
        }
        res.set_content(body, "application/octet-stream");
    });
}

void TestServer::hold(std::string_view path, std::string body, std::size_t sent_before_hold,
                      std::string content_type) {
    State* s = state_.get();
    std::string key(path);
    {
        std::lock_guard lock(s->mutex);
        s->holds[key].armed = true;
    }
    auto shared = std::make_shared<const std::string>(std::move(body));
    s->route(path, [s, key, shared, sent_before_hold, content_type](const httplib::Request&,
                                                                     httplib::Response& res) {
        std::size_t before = sent_before_hold;
        if (before == before_headers) {
            s->wait_released(key);
            before = 0;
        } else {
            before = std::min(before, shared->size());
        }
        auto waited = std::make_shared<bool>(sent_before_hold == before_headers);
        res.set_content_provider(shared->size(), content_type,
                                 [s, key, shared, before, waited](std::size_t offset, std::size_t,
                                                                  httplib::DataSink& sink) {
                                     if (offset < before) return sink.write(shared->data() + offset, before - offset);
                                     if (!*waited) {
                                         *waited = true;
                                         s->wait_released(key);
                                     }
                                     return sink.write(shared->data() + offset, shared->size() - offset);
                                 });
    });
}

void TestServer::release(std::string_view path) {
    std::lock_guard lock(state_->mutex);
    state_->holds[std::string(path)].armed = false;
    state_->changed.notify_all();
}

bool TestServer::wait_held(std::string_view path, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    std::string key(path);
    return state_->changed.wait_for(lock, timeout, [&] {
        auto it = state_->holds.find(key);
        return it != state_->holds.end() && it->second.held_now > 0;
    });
}

std::vector<RecordedRequest> TestServer::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

std::vector<RecordedRequest> TestServer::requests_to(std::string_view path) const {
    std::lock_guard lock(state_->mutex);
    std::vector<RecordedRequest> out;
    for (const auto& r : state_->received)
        if (r.path == path) out.push_back(r);
    return out;
}

std::size_t TestServer::request_count() const {
    std::lock_guard lock(state_->mutex);
    return state_->received.size();
}

void TestServer::clear_requests() {
    std::lock_guard lock(state_->mutex);
    state_->received.clear();
}

bool TestServer::wait_for_requests(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->received.size() >= n; });
}

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (same_name(n, name)) return v;
    return {};
}

bool RecordedRequest::has_header(std::string_view name) const { return header_count(name) > 0; }

std::size_t RecordedRequest::header_count(std::string_view name) const {
    return static_cast<std::size_t>(std::count_if(
        headers.begin(), headers.end(), [&](const auto& h) { return same_name(h.first, name); }));
}

std::string read_fixture(const std::string& file) {
    std::string full = (!file.empty() && file[0] == '/') ? file : std::string(VESKLAR_FIXTURES_DIR) + "/" + file;
    std::ifstream in(full, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read fixture " + full);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace vktest
