// Event operations of the construction methods: how an object reacts to a
// drag or a key. Mode 0 marks what will move and answers whether the object
// takes part (1) or refuses (0); mode 1 performs one drag step or key and
// answers 0 (not handled), 1 (changed) or 2 (handled, nothing changed).
//
// The drag machinery is not built yet: until it is, every operation refuses
// in mode 0 and handles nothing in mode 1, so no object can be dragged.
#pragma once

#include <cstdint>

struct object;
struct kel_EventRecord;

int16_t event_generic(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_points(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_regular_polygon(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_one_point(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_angle(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_compass(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_locus(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_axes_grid(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_value_object(uint8_t mode, object** ref, kel_EventRecord* event);
