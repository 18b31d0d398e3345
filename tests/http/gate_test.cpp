// web_request under the host's job gate: a stopped job makes no request and abandons a running
// one; time held by a pause is no idle time.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host_gate.h"
#include "support/test_server.h"
#include "webkit/web_request.h"

namespace {

enum class Mode { go, paused, stopped };

struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    Mode mode = Mode::go;
    int calls = 0;
    int pause_at_call = 0;  // when set, the gate pauses itself at this call
    bool holding = false;   // a caller is blocked by the pause right now

    void set(Mode m) {
        std::lock_guard lock(mutex);
        mode = m;
        changed.notify_all();
    }
    bool wait_holding() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [this] { return holding; });
    }
};

Gate gate;

}  // namespace

// The gate a host program exports; found by name like the real one.
extern "C" __attribute__((visibility("default"))) int vesklar_job_gate() {
    std::unique_lock lock(gate.mutex);
    ++gate.calls;
    if (gate.pause_at_call != 0 && gate.calls == gate.pause_at_call) gate.mode = Mode::paused;
    if (gate.mode == Mode::paused) {
        gate.holding = true;
        gate.changed.notify_all();
        gate.changed.wait(lock, [] { return gate.mode != Mode::paused; });
        gate.holding = false;
    }
    return gate.mode == Mode::stopped ? 0 : 1;
}

namespace {

class JobGate : public ::testing::Test {
protected:
    void SetUp() override { gate.set(Mode::go); }
    void TearDown() override {
        gate.pause_at_call = 0;
        gate.set(Mode::go);
    }
    vktest::TestServer server;
};

TEST_F(JobGate, IsPassedBeforeTheRequest) {
    server.serve("/p", "ok");
    int before = gate.calls;
    EXPECT_EQ(web_request(server.http_url("/p")), "ok");
    EXPECT_GT(gate.calls, before);

    gate.set(Mode::stopped);
    int status = -1;
    std::string body = web_request(server.http_url("/p"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status);
    EXPECT_EQ(body, "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(server.request_count(), 1u) << "a stopped job sends nothing";
}

TEST_F(JobGate, StopAbandonsARunningTransfer) {
    server.hold("/big", std::string(100000, 'b'), 1000);
    std::string body = "unset";
    int status = -1;
    std::thread worker([&] {
        body = web_request(server.https_url("/big"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status, false, {}, {}, 30);
    });
    ASSERT_TRUE(server.wait_held("/big"));
    gate.set(Mode::stopped);
    worker.join();  // the time-out is 30 s: only the gate can end it this early
    server.release("/big");
    EXPECT_EQ(body, "");
    EXPECT_EQ(status, 0);
}

TEST_F(JobGate, PauseLongerThanTheTimeOutDoesNotFailTheTransfer) {
    std::string whole(100000, 'p');
    server.hold("/big", whole, 1000);
    std::string body;
    int status = -1;
    std::thread worker([&] {
        body = web_request(server.https_url("/big"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status, false, {}, {}, 2);
    });
    ASSERT_TRUE(server.wait_held("/big"));
    gate.set(Mode::paused);
    ASSERT_TRUE(gate.wait_holding());
    server.release("/big");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // paused past the 2 s time-out
    gate.set(Mode::go);
    worker.join();
    EXPECT_EQ(status, 200);
    EXPECT_EQ(body, whole);
}

// A listener that takes TCP connections and never answers, so a TLS connection to it stays
// in its set-up phase until the connect limit ends it.
class SilentListener {
public:
    SilentListener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd_, 8);
        socklen_t len = sizeof addr;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            while (!done_) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 50) <= 0) continue;
                int c = accept(fd_, nullptr, nullptr);
                if (c >= 0) {
                    std::lock_guard lock(mutex_);
                    clients_.push_back(c);
                }
            }
        });
    }
    ~SilentListener() {
        done_ = true;
        thread_.join();
        for (int c : clients_) close(c);
        close(fd_);
    }
    int port() const { return port_; }
    size_t accepted() {
        std::lock_guard lock(mutex_);
        return clients_.size();
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<int> clients_;
    std::thread thread_;
};

TEST_F(JobGate, PauseWhileConnectingDoesNotUseUpTheConnectLimit) {
    SilentListener silent;
    int status = -1;
    std::string body = "unset";
    {
        std::lock_guard lock(gate.mutex);
        // Call 1 is the check before the exchange; call 2 comes from the transfer while the
        // TLS connection is still being set up.
        gate.pause_at_call = gate.calls + 2;
    }
    const std::string url = "https://127.0.0.1:" + std::to_string(silent.port()) + "/p";
    std::thread worker([&] {
        body = web_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, &status, false, {}, {}, 1);
    });
    ASSERT_TRUE(gate.wait_holding());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // paused past the 1 s limit
    gate.set(Mode::go);
    worker.join();
    EXPECT_EQ(body, "");
    EXPECT_EQ(status, 0);
    // The held attempt is not counted as a failed connect: a fresh one gets its own full limit.
    EXPECT_EQ(silent.accepted(), 2u);
}

}  // namespace
