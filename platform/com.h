// Per-thread initialisation count standing in for COM initialisation; callers must balance it.
#pragma once

void com_init();
void com_uninit();
// How many com_init calls on this thread are not yet balanced (for tests).
int com_init_count();
