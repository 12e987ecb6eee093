// The few text services that the construction tools need before the text
// subsystem is complete: which objects show a text of their own, the object
// a reference inside a text designates, and the references kept by a text.
#pragma once

#include <cstdint>

#include "kernel/text/reference_marker.h"
#include "kernel/text/text_drawing.h"

struct object;
struct TErec;
struct insert_object;

// For a text (type 16) and a tag above 258, the object referenced under
// number tag - 258 in its reference list; any other tag or object gives the
// object itself.
object* resolve_text_reference(object* obj, uint16_t tag);

// Appends the object to the reference list and answers its reference
// number: one more than the highest in the list, 1 for an empty list. An
// object added twice gets two numbers. 0 when memory runs out.
uint16_t add_text_reference(object* obj, insert_object** list);

// A new, zeroed text record with that frame and a text buffer of
// `buffer_length` bytes (5 when 0); null when memory runs out.
TErec* create_text_record(int32_t x, int32_t y, int32_t width, int32_t height, int32_t buffer_length);

// Replaces the record's text (the buffer grows as needed); false when
// memory runs out, the text then unchanged.
bool set_text_record_text(TErec* te, const char* text);

struct car_info;

// The kernel-wide option under which texts show the values of the objects
// they quote; off in this system.
extern uint8_t value_text_option;

// True when the value-text option is on and the object is neither a number
// or measure, nor an expression, nor a table; false for null.
uint8_t object_has_value_text(const object* obj);

// Style changes of a text record. With a record: 1 copies the character
// settings into it and asks for a new layout; 3 sets its text colour; both
// tell the text view that the record changed. Kinds 5 and 6 (one size step
// up or down) rescale the attributed string, which only the text view holds:
// the record is left as it is, as for every other kind. Without a record
// the change goes to the defaults of new texts (the current default
// attributes): 1 and 2 take the size of the settings, keeping the colour,
// 3 takes the colour.
void regenerate_text_attributes(TErec* te, uint16_t what, const car_info* format, uint32_t color);
