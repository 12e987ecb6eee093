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

// Registers the object in the reference list and answers its reference
// number (the next free one; the object's existing number when it is
// already there). 0 when memory runs out.
uint16_t add_text_reference(object* obj, insert_object** list);

// A new, zeroed text record with that frame and a text buffer of
// `buffer_length` bytes (5 when 0); null when memory runs out.
TErec* create_text_record(int32_t x, int32_t y, int32_t width, int32_t height, int32_t buffer_length);

// Replaces the record's text (the buffer grows as needed); false when
// memory runs out, the text then unchanged.
bool set_text_record_text(TErec* te, const char* text);
