// Rendering switches set at start-up: two used by text drawing and the
// resolution of conic tracing; and the flag that draws strokes one step
// thicker.
#pragma once

#include <cstdint>

extern uint8_t render_switch_a;
extern uint8_t render_switch_b;
// Pen steps per device pixel of the conic tracer. Always 1 on screen; a
// value below 1 is taken as 1.
extern int16_t conic_resolution;
// Strokes drawn one thickness step thicker: the conic drawing and the
// springs read it. Presentation mode is wide_lines_flag (display_device.h).
// Nothing in the program turns it on.
extern uint8_t thicken_strokes;
