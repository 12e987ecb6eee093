// Drawing one object on a display device, and the shared devices a redraw
// goes to. The drawing passes and the devices themselves come with the
// rendering code; until then no device exists and nothing is drawn.
#pragma once

#include <cstdint>

struct DisplayDevice;
struct object;

// Set whenever the figure changed and its off-screen image is out of date.
extern uint8_t figure_changed;
// The shared off-screen device of full redraws and the device in use.
extern DisplayDevice* static_display;
extern DisplayDevice* moving_display;

// Draws the object through its type's draw operation; nothing without a
// device.
void draw_object(DisplayDevice* dd, object* obj);

// Fills the device with the background colour; nothing without a device.
void dd_draw_background(DisplayDevice* dd);
