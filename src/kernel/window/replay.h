// The construction replay as the drawing passes see it, and the springs,
// which the passes leave to the spring drawing.
#pragma once

#include <cstdint>

struct object;

// 1 while the construction replay runs.
extern uint8_t replay_running;
// Whether the replay shows the intermediate objects of macros.
extern uint8_t replay_shows_macro_internals;

// Whether the replay shows the object: not a hidden object (unless the
// show/hide tool is current), not an intermediate macro object (unless the
// replay shows macro internals), never an intersection set.
bool is_replay_visible(const object* obj);

// Draws every spring of the current figure into the shared devices.
void draw_all_springs();
