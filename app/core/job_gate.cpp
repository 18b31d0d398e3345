// The job gate, the per-thread gate of the current worker, and the host gate export.
#include "core/job_gate.h"

#include <chrono>
#include <type_traits>

#include "platform/host_gate.h"

void JobGate::suspend() {
    std::lock_guard lock(mutex_);
    ++holds_;
    changed_.notify_all();
}

void JobGate::resume() {
    std::lock_guard lock(mutex_);
    if (holds_ > 0) --holds_;
    changed_.notify_all();
}

void JobGate::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
}

bool JobGate::held() const {
    std::lock_guard lock(mutex_);
    return stopped_ || holds_ > 0;
}

bool JobGate::stopped() const {
    std::lock_guard lock(mutex_);
    return stopped_;
}

bool JobGate::wait_open(std::unique_lock<std::mutex>& lock) {
    if (!stopped_ && holds_ > 0) {
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return stopped_ || holds_ == 0; });
        --waiting_;
    }
    return !stopped_;
}

bool JobGate::pass() {
    std::unique_lock lock(mutex_);
    return wait_open(lock);
}

void JobGate::step(const std::function<void()>& step) {
    std::unique_lock lock(mutex_);
    if (!wait_open(lock)) throw JobStopped{};
    step();
}

void JobGate::mark_finished() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

bool JobGate::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool JobGate::wait_finished(double limit_s) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(limit_s), [this] { return finished_; });
}

bool JobGate::wait_waiting(int n, double limit_s) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(limit_s), [&] { return waiting_ >= n; });
}

namespace {
thread_local JobGate* thread_gate = nullptr;
}

JobGate* current_job_gate() { return thread_gate; }

JobGateScope::JobGateScope(JobGate& gate) : previous_(thread_gate) { thread_gate = &gate; }
JobGateScope::~JobGateScope() { thread_gate = previous_; }

// Exported from the program for the web toolkit and the extractor libraries: blocks while the
// calling worker is paused, 0 once it is stopped. Never throws across the C boundary.
extern "C" __attribute__((visibility("default"))) int vesklar_job_gate(void) {
    JobGate* gate = thread_gate;
    return gate == nullptr || gate->pass() ? 1 : 0;
}
static_assert(std::is_same_v<decltype(&vesklar_job_gate), vesklar_job_gate_fn>);

void JobSteps::pass() {
    if (!gate_.pass()) throw JobStopped{};
}

std::string JobSteps::text(std::string_view control) {
    pass();
    return window_.text(control);
}

bool JobSteps::checked(std::string_view control) {
    pass();
    return window_.checked(control);
}

void JobSteps::log(const std::string& text) {
    on_window([&] { window_.append_log(text); });
}

void JobSteps::set_job_buttons(JobButtons state) {
    on_window([&] { window_.set_job_buttons(state); });
}

void JobSteps::on_window(const std::function<void()>& change) {
    for (;;) {
        pass();
        bool done = false;
        window_.run_on_window([&] {
            if (gate_.held()) return;  // a pause or stop came first: not now
            change();
            done = true;
        });
        if (done) return;
    }
}
