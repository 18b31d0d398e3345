// Per-thread initialisation count standing in for COM initialisation.
#include "platform/com.h"

namespace {
thread_local int init_count = 0;
}

void com_init() { ++init_count; }
void com_uninit() {
    if (init_count > 0) --init_count;
}
int com_init_count() { return init_count; }
