#include "kernel/objects/straight_types.h"

// Drawing of the straight types comes with the display devices.
void draw_segment(DisplayDevice*, object*) {}
void draw_vector(DisplayDevice*, object*) {}
void draw_polygon(DisplayDevice*, object*) {}
void draw_regular_polygon(DisplayDevice*, object*) {}
void draw_line(DisplayDevice*, object*) {}
void draw_ray(DisplayDevice*, object*) {}
void draw_point_offset_mark(DisplayDevice*, object*) {}
