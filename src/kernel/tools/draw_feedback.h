// Tool state that the drawing of a figure reads besides the tool mode and
// the attribute mask (kernel/tools/tool_dispatch.h): the object that starts
// the moving layer of a drag, and the flag the selection feedback raises
// while it draws the marks of selected objects.
#pragma once

#include <cstdint>

struct object;

// The first object marked by the pick of a drag (kernel/tools/pick.h); the
// moving layer is drawn only while it is set.
extern object* first_hit;
inline object*& first_hit_object = first_hit;

// 1 while the selection feedback draws: strokes get a background-coloured
// halo and the selection dash.
extern uint8_t selection_drawing;
