#include "kernel/tools/hit_state.h"

uint16_t hit_part = 0;
