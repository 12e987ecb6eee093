// Stroke output of the conic tracer. The tracer never draws directly: it
// moves an abstract pen one pixel at a time through five slots (plot, and a
// step left, up, right or down) and the output bound to them turns the walk
// into a polyline on the device's port: every second plot call becomes a
// vertex. A thick conic adds a 3x3 block at its start and, after each step,
// the side of the 3x3 block around the new pixel that faces the step.
#pragma once

#include <cstdint>

struct DisplayDevice;
class KPPen;

// Pen position in pen steps (figure pixels at resolution 1).
extern int32_t trace_pen_x, trace_pen_y;

using trace_slot = void (*)();
extern trace_slot slot_plot, slot_left, slot_up, slot_right, slot_down;

// Device of the trace in progress and its port origin, taken when the
// polyline is opened.
extern DisplayDevice* trace_device;
extern int32_t trace_origin_x, trace_origin_y;
// Plot calls since the last vertex.
extern int16_t polyline_count;
// Dash position of the stroke; a vertex reached at or beyond the dash
// on-length of an active dash is drawn with the background pen.
extern int16_t trace_dash_count;
// Pen in the background colour, made again when the background changes.
extern KPPen* gap_pen;

// Every move and vertex the output sends to a port is also offered here
// when set (op 0 move, 1 line, in device coordinates), and every plot call
// (op 2, the pen position).
extern void (*conic_polyline_observer)(int op, int32_t x, int32_t y);

void pen_step_right();
void pen_step_left();
void pen_step_down();
void pen_step_up();
void pen_plot_polyline();

// Binds the slots to the polyline output.
void bind_polyline_slots();
// Sets the pen at the pixel of (x0, y0) and moves the device's port there.
void open_conic_polyline(DisplayDevice* dev, double x0, double y0);

// Plots at the pen, standing at (x, y), when (x, y) lies strictly inside
// the port rectangle (not on its outermost rows and columns).
void plot_pixel_inner(DisplayDevice* dev, int32_t x, int32_t y);
// The 3x3 block centred on the pen, standing at (x, y); the pen ends there.
void plot_block_3x3(DisplayDevice* dev, int32_t x, int32_t y);
// The thick pattern after the step (sx, sy) to the pixel whose figure
// position is (X, Y); the pen ends where it started.
void plot_thick_step(DisplayDevice* dev, int sx, int sy, double X, double Y);
