// Pictures attached to objects: a segment's picture on its two ends, a
// polygon's picture mapped onto four corners.
#pragma once

#include <cstdint>

struct DisplayDevice;
struct object;
struct tagPOINT;

// When set, a polygon's picture is mapped only onto a convex quadrilateral.
extern uint8_t picture_mapping_convex;

// True when the four corners are distinct and every turn has the same sign.
bool is_convex_quad(const tagPOINT corners[4]);

// Draw the object's picture scaled and turned onto its first two points,
// or mapped onto four device corners. Mapping pictures onto points comes
// with the picture code; until then these draw nothing.
void draw_picture_on_two_points(DisplayDevice* dd, object* obj);
void draw_picture_on_points(DisplayDevice* dd, object* obj, const tagPOINT corners[4]);
