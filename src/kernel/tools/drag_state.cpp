#include "kernel/tools/drag_state.h"

uint8_t drag_in_progress = 0;
