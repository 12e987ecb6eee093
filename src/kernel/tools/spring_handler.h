// The spring tool's handler: a click on a spring deletes it; a first click
// on a point or another movable object takes it (the springs already on it
// go) and remembers where on the object the click was; the next click
// builds the spring from the object to that click, or to a point clicked.
#pragma once

#include <cstdint>

struct object;

bool spring_tool_handler(uint16_t* method, object** designated);
