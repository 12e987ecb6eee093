// Rendering switches set at start-up: two used by text drawing and the
// resolution of conic tracing.
#pragma once

#include <cstdint>

extern uint8_t render_switch_a;
extern uint8_t render_switch_b;
// Pen steps per device pixel of the conic tracer. Always 1 on screen; a
// value below 1 is taken as 1.
extern int16_t conic_resolution;
