// What the drawing passes need of the text objects: which objects are
// text-like, and the drawing of an object's label.
#pragma once

struct object;
struct DisplayDevice;

// True for texts, numbers, property checks, equations, tables, expressions
// and buttons; false for null.
bool is_text_like_object(const object* obj);

// Draws the object's label. Labels are not laid out yet (they have no
// frame until the text code places them), so nothing is drawn.
void redraw_text_object(DisplayDevice* dd, object* obj);
