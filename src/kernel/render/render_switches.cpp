#include "kernel/render/render_switches.h"

uint8_t render_switch_a = 0;
uint8_t render_switch_b = 0;
int16_t conic_resolution = 1;
uint8_t thicken_strokes = 0;
