// The host program's job gate, reachable from every module of the process (the extractor
// libraries included, which carry their own copy of the web toolkit).
#pragma once

// The host program exports this C function when it runs jobs. It is called on the calling
// thread before each step of a job and while a transfer moves: it blocks while that thread's
// job is paused and returns 0 once the job has been stopped (1 to go on).
extern "C" {
typedef int (*vesklar_job_gate_fn)(void);
}
#define VESKLAR_JOB_GATE_SYMBOL "vesklar_job_gate"

// Passes the host's gate when the process has one; true (go on) when it has none.
bool pass_host_gate();
