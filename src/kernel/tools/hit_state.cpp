#include "kernel/tools/hit_state.h"

uint16_t hit_part = 0;
uint8_t interaction_state = kInteractionPointerAtRest;
