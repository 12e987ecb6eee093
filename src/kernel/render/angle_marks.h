// The angle-mark type's drawing and hit test: one to three concentric arcs
// 3 pixels apart, optionally crossed by a radial tick, or one of three
// right-angle symbols when the marked angle is right and the mark asks for
// it. The mark's values are A (start of the arc), B (its middle point), C
// (its end, info.rayon non-zero for a right angle) and D (the vertex, with
// the radius in info.rayon); its point-on operation is the arc's.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

void draw_angle_mark(DisplayDevice* dd, object* mark);
// A mark drawn from its four values (A, B, C, D as above) in a mark style
// (the graph type of a mark: extra arcs and tick in the low bits, the
// right-angle symbol in the high four).
void draw_angle_mark_values(DisplayDevice* dd, const valeur* v, uint8_t style, uint32_t colour, uint8_t thickness,
                            const dot* dash);
bool angle_mark_hit_test(object* mark, tagPOINT* m);

// Symbol 1 the square corner, 2 the corner with a dot, 3 an arc with a dot.
void draw_right_angle_symbol(DisplayDevice* dd, const valeur* a, const valeur* b, const valeur* c, const valeur* d,
                             uint16_t symbol, uint32_t colour, uint8_t thickness, const dot* dash);
// The radial tick through B, long enough to cross `extra` further rings.
void draw_angle_mark_tick(DisplayDevice* dd, const valeur* a, const valeur* b, const valeur* c, const valeur* d,
                          uint32_t colour, uint16_t extra);
