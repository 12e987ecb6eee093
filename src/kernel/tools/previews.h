// Rubber-band previews: while a construction tool is current, each mouse
// move draws on the moving device the object a click would create, from
// the arguments already chosen to the mouse, and leaves in `rubber_points`
// the geometry the tool's handler uses when the click comes (the mouse
// point, a direction, a radius, a vertex count).
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// Placing state of the tools that put a text where the next click goes.
extern uint8_t placing_text;
extern int32_t text_box_width;
extern int32_t text_box_height;
extern tagRECT rubber_rect;
// Set by the axes tool while the second axis is drawn.
extern uint8_t axes_second_axis;
// Regular polygons: the side limit (12, then 30 with star polygons) and the
// vertices of the last fit (n vertices, the starting vertex, the centre).
extern int16_t regular_polygon_side_limit;
inline constexpr int kMaxPolygonSides = 30;
extern valeur regular_polygon_vertices[kMaxPolygonSides + 2];

// Manhattan distance from the last picked point within which the arc and
// conic previews still draw a segment to the cursor.
inline constexpr double kGuideDistance = 6;

// Record 0 = the mouse point; nothing drawn.
void fil_prop(tagPOINT* mouse);
void segment_preview(tagPOINT* mouse);
void vector_preview(tagPOINT* mouse);
void transformation_preview(tagPOINT* mouse);
void line_preview(tagPOINT* mouse);
void ray_preview(tagPOINT* mouse);
void axes_preview(tagPOINT* mouse);
void polygon_preview(tagPOINT* mouse);
void regular_polygon_preview(tagPOINT* mouse);
void circle_preview(tagPOINT* mouse);
void arc_preview(tagPOINT* mouse);
void angle_mark_preview(tagPOINT* mouse);
void test_preview(tagPOINT* mouse);
void button_preview(tagPOINT* mouse);
void spring_preview(tagPOINT* mouse);

// Snaps (dx, dy) to the nearest multiple of 15 degrees with the length
// max(|dx|, |dy|), and with `snap_length` to a whole number of length units
// (at least one). *length receives the length.
void snap_direction(double* dx, double* dy, double* length, bool snap_length);

// The arc from p0 through p1 to p2 on the moving device (a segment when the
// three are collinear); mode 0 draws nothing.
void draw_arc_through_points(const valeur& p0, const valeur& p1, const valeur& p2, int mode,
                             const object_settings& style);

// The star polygons {n/k}, 3 <= n <= 30, sorted by turning angle.
int16_t build_star_polygon_table();
int16_t star_polygon_count();
// Fits a regular or star polygon to the mouse; fills the vertex array and
// answers (n << 16) | turns.
int32_t regular_polygon_fit(const valeur& centre, const valeur& first, const tagPOINT& mouse, int16_t star_entries,
                            valeur* vertices);

// Installs the preview of every built-in construction class.
void bind_tool_previews();
