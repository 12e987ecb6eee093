// Labels of objects: which objects can carry one, its placement beside the
// object, its hit test, and typing a label directly on the figure.
#pragma once

#include <cstdint>

struct object;
struct tagPOINT;

// True when the object's type is accepted by the label method's argument
// list (a point, or any object a point can lie on).
bool is_labelable_object(const object* obj);

// Moves the label of a shown, existing point (or object a point can lie
// on) so that it keeps its offset from its anchor on the object; forced,
// the offset is first pulled within 30 pixels of the label's half
// diagonal. A label whose centre lies on its anchor stays where it is.
void place_object_label(object* obj, unsigned char force);

// A label read from a file, at the place the file gives: its anchor on
// the object is learnt from that place and it keeps its offset as shown.
void restore_label_place(object* obj);

// The label's hit test (handles, references, body), for an object that
// has a text record and is not text-like; false otherwise.
bool hit_test_object_label(object* obj, tagPOINT* p);

// True when the object carries a label (a text record with its label
// settings, on an object that is not text-like); fills the label's colour,
// thickness and two dot-style bytes, each when asked.
bool object_label_style(const object* obj, uint32_t* color, uint8_t* thickness, uint8_t dots[2]);

// Where a new label of the object goes: beside a point, at the middle of
// a segment-like object, along a line, on a circle.
void default_label_anchor(const object* obj, int32_t* x, int32_t* y);

// Types one character (8 is backspace) into the label of the active text
// object; false when refused: a control character into an empty label, a
// 501st character, a backspace into an empty label.
bool type_into_label(char c);
