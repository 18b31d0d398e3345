// The job gate, the per-thread gate of the current worker, and the host gate export.
#include "core/job_gate.h"

#include <algorithm>
#include <chrono>
#include <iterator>
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

bool JobGate::wait_open(std::unique_lock<std::mutex>& lock, bool counted) {
    if (!stopped_ && holds_ > 0) {
        if (counted) {
            ++waiting_;
            changed_.notify_all();
        }
        changed_.wait(lock, [this] { return stopped_ || holds_ == 0; });
        if (counted) --waiting_;
    }
    return !stopped_;
}

bool JobGate::pass() {
    std::unique_lock lock(mutex_);
    return wait_open(lock, true);
}

bool JobGate::wait_open() {
    std::unique_lock lock(mutex_);
    return wait_open(lock, false);
}

void JobGate::step(const std::function<void()>& step) {
    std::unique_lock lock(mutex_);
    if (!wait_open(lock, true)) throw JobStopped{};
    step();
}

void JobGate::deliver_pending() {
    std::lock_guard lock(pending_mutex_);
    if (pending_) pending_();
}

void JobGate::set_pending(std::function<void()> deliver) {
    std::lock_guard lock(pending_mutex_);
    pending_ = std::move(deliver);
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

JobSteps::JobSteps(WindowOps& window, JobGate& gate)
    : window_(window), gate_(gate), courier_([this] { courier(); }) {
    gate_.set_pending([this] { deliver_held(); });
}

JobSteps::~JobSteps() {
    gate_.set_pending({});
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    courier_.join();  // the courier ends once delivered or stopped; it never waits for the worker
}

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

void JobSteps::log(const std::string& text) { send(Change{text}); }

void JobSteps::set_job_buttons(JobButtons state) { send(Change{{}, true, state}); }

void JobSteps::send(Change change) {
    pass();
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(change));
    }
    changed_.notify_all();
}

void JobSteps::flush() {
    for (;;) {
        pass();
        std::unique_lock lock(mutex_);
        ++flushing_;  // the courier delivers at once
        changed_.notify_all();
        // Wakes also when the courier finds the gate held, so a stop is seen here.
        changed_.wait(lock, [this] { return (queue_.empty() && !in_flight_) || gate_.held(); });
        --flushing_;
        if (queue_.empty() && !in_flight_) break;
    }
    pass();  // after a stop the courier delivers nothing: the worker goes no further
}

void JobSteps::deliver(const std::vector<Change>& batch) {
    std::string texts;
    for (const Change& change : batch) {
        if (!change.buttons) {
            texts += change.text;
            continue;
        }
        if (!texts.empty()) window_.append_log(texts);
        texts.clear();
        window_.set_job_buttons(change.state);
    }
    if (!texts.empty()) window_.append_log(texts);
}

void JobSteps::deliver_held() {
    std::vector<Change> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(sending_);
        batch.insert(batch.end(), std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
        queue_.clear();
        // The buttons the worker sets at its end, and what follows, wait for continue: the
        // handler's buttons stay until then.
        auto first_buttons = std::find_if(batch.begin(), batch.end(), [](const Change& c) { return c.buttons; });
        queue_.assign(std::make_move_iterator(first_buttons), std::make_move_iterator(batch.end()));
        batch.erase(first_buttons, batch.end());
    }
    changed_.notify_all();
    deliver(batch);
}

void JobSteps::courier() {
    // At most one delivery per display frame: texts logged meanwhile go in the same request,
    // so a fast job does not make the window lay out and draw its log once per line.
    constexpr auto frame = std::chrono::milliseconds(16);
    auto last_delivery = std::chrono::steady_clock::now() - frame;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;
        changed_.wait_until(lock, last_delivery + frame, [this] { return closing_ || flushing_ > 0; });
        last_delivery = std::chrono::steady_clock::now();
        sending_.insert(sending_.end(), std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
        queue_.clear();
        in_flight_ = true;
        lock.unlock();

        bool delivered = false;
        while (!delivered && gate_.wait_open()) {
            window_.run_on_window([&] {
                if (gate_.held()) return;  // a pause or stop came first: its handler took the texts
                std::vector<Change> batch;
                {
                    std::lock_guard taken(mutex_);
                    batch.swap(sending_);
                }
                deliver(batch);
                delivered = true;
            });
            if (!delivered) changed_.notify_all();  // a flush waiting now sees the hold
        }

        lock.lock();
        in_flight_ = false;
        changed_.notify_all();
        if (!delivered) {  // stopped: nothing more reaches the window
            queue_.clear();
            sending_.clear();
            return;
        }
    }
}
