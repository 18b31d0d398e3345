// The job gate: how the window thread pauses, continues and stops a download worker.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/window_ops.h"

// Thrown on a worker whose gate has been stopped; caught where the worker thread begins.
struct JobStopped {};

// One per worker. The window thread holds and releases it (pause, continue, the stop
// confirmation) and stops it; the worker passes it before every step. Holds count like
// thread suspensions, so releasing one hold leaves an earlier one in force.
class JobGate {
public:
    // Window thread.
    void suspend();
    void resume();
    void stop();

    // Any thread.
    bool held() const;     // suspended or stopped: the worker may take no step now
    bool stopped() const;

    // Worker thread: waits while suspended; false once stopped.
    bool pass();
    // Like pass(), for helpers of the worker: their waiting is not counted by wait_waiting().
    bool wait_open();
    // Worker thread: waits while suspended, then runs `step` with the gate locked, so a
    // suspension or stop takes effect wholly before or wholly after it. Throws JobStopped
    // when the gate is stopped. `step` must not wait for the window.
    void step(const std::function<void()>& step);

    // Window thread, right after suspend(): puts on the window what the worker logged before
    // the hold, so the handler's own text follows everything the worker had done.
    void deliver_pending();
    // Worker: what deliver_pending() runs (empty: nothing).
    void set_pending(std::function<void()> deliver);

    // The worker's end: set when its thread leaves the job, whatever the reason.
    void mark_finished();
    bool finished() const;
    // For tests: wait (up to `limit_s`) until the worker has finished, or until `n` threads
    // are waiting at the gate. True when that happened.
    bool wait_finished(double limit_s = 60) const;
    bool wait_waiting(int n, double limit_s = 60) const;

private:
    bool wait_open(std::unique_lock<std::mutex>& lock, bool counted);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int holds_ = 0;
    bool stopped_ = false;
    bool finished_ = false;
    int waiting_ = 0;

    std::mutex pending_mutex_;  // taken before a JobSteps' own lock, never after
    std::function<void()> pending_;
};

// The gate of the job running on the calling thread (null outside a worker). The exported
// host gate reaches it, so requests and extractor libraries on a worker obey that worker's
// gate, and an old stopped worker still unwinding never sees a newer one.
JobGate* current_job_gate();

// Makes `gate` the calling thread's job gate for the life of this object.
class JobGateScope {
public:
    explicit JobGateScope(JobGate& gate);
    ~JobGateScope();
    JobGateScope(const JobGateScope&) = delete;
    JobGateScope& operator=(const JobGateScope&) = delete;

private:
    JobGate* previous_;
};

// The worker's view of the window. Reads and changes pass the gate on the worker first. Log
// texts and button changes then travel in order through a courier thread of the job, which
// checks the gate and makes each batch of changes as one request on the window thread, so the
// worker never waits for the window to draw what it logged. The handler that pauses or stops
// a running job first delivers the texts still on their way (the gate's deliver_pending()),
// then writes its own; after it nothing reaches the window until continue (ever, once stopped).
class JobSteps {
public:
    JobSteps(WindowOps& window, JobGate& gate);
    // Lets the courier deliver what is left (nothing once stopped) and waits for it.
    ~JobSteps();
    JobSteps(const JobSteps&) = delete;
    JobSteps& operator=(const JobSteps&) = delete;

    WindowOps& window() { return window_; }
    JobGate& gate() { return gate_; }

    // Waits while suspended; throws JobStopped once stopped.
    void pass();

    std::string text(std::string_view control);
    bool checked(std::string_view control);
    void log(const std::string& text);
    void set_job_buttons(JobButtons state);
    // Waits until every change so far has reached the window; throws JobStopped once stopped.
    void flush();

private:
    struct Change {
        std::string text;  // appended to the log when no buttons are set
        bool buttons = false;
        JobButtons state = JobButtons::idle;
    };
    void send(Change change);
    void courier();
    // Window thread, gate held: delivers the waiting texts up to the first button change.
    void deliver_held();
    void deliver(const std::vector<Change>& batch);

    WindowOps& window_;
    JobGate& gate_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Change> queue_;
    std::vector<Change> sending_;  // taken by the courier, not yet on the window
    bool in_flight_ = false;
    bool closing_ = false;
    int flushing_ = 0;
    std::thread courier_;
};
