// Drawing one object on a display device. The drawing passes over a whole
// figure come with the rendering passes; the shared devices and the
// figure-changed flag live with the display devices and the pixel pen.
#pragma once

#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"

struct object;

// Draws the object through its type's draw operation; nothing without a
// device.
void draw_object(DisplayDevice* dd, object* obj);
