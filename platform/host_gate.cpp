// Finds the host program's exported job gate once, by name, and passes it.
#include "platform/host_gate.h"

#include <dlfcn.h>

namespace {
vesklar_job_gate_fn find_gate() {
    // RTLD_DEFAULT searches the executable's exported symbols as well as every loaded library.
    return reinterpret_cast<vesklar_job_gate_fn>(dlsym(RTLD_DEFAULT, VESKLAR_JOB_GATE_SYMBOL));
}
}  // namespace

bool pass_host_gate() {
    static const vesklar_job_gate_fn gate = find_gate();
    return gate == nullptr || gate() != 0;
}
