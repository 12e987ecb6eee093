// The pin mark that shows, while the pin tool is current, which objects
// are pinned.
#pragma once

struct DisplayDevice;
struct object;

// Draws the pin glyph up and to the right of the object's first value, in
// the default colour, or in the background colour when the object is drawn
// in the background colour.
void draw_point_offset_mark(DisplayDevice* dd, object* obj);
