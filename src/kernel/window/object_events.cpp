#include "kernel/window/object_events.h"

namespace {
int16_t not_handled(uint8_t, object**, kel_EventRecord*) { return 0; }
}  // namespace

int16_t event_generic(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_points(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_regular_polygon(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_one_point(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_angle(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_compass(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_locus(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_axes_grid(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
int16_t event_value_object(uint8_t m, object** r, kel_EventRecord* e) { return not_handled(m, r, e); }
