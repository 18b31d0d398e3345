// web_request under the host's job gate: a stopped job makes no request and abandons a running
// one; time held by a pause is no idle time.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

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
    bool holding = false;  // a caller is blocked by the pause right now

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
    void TearDown() override { gate.set(Mode::go); }
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

}  // namespace
