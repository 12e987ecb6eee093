// Points on conics. A point constructed on a conic keeps its place through
// a small parameter block chosen per kind so that it follows the conic
// continuously while the defining points move: a signed distance from a
// reference point on a line, a direction from the axis point (a, 0) of a
// parabola, a direction from a focus of an ellipse or hyperbola (with the
// side of the focus it lies on), a direction from the centre of a circle.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// Line tags of part_tag for the line kinds.
inline constexpr uint8_t kConicLine1Tag = 0xFF;
inline constexpr uint8_t kConicLine2Tag = 0xFE;

struct conic_point_param {
    // Line kinds: kConicLine1Tag or kConicLine2Tag. Ellipses and
    // hyperbolas: 1 or 2, which crossing of the focal line carries the point.
    uint8_t part_tag;
    double t1;  // signed distance on a line, or a direction's first coordinate
    double t2;  // a direction's second coordinate
    // Crossing lines only.
    uint8_t on_line;  // 1 once recorded
    uint8_t line_no;  // 1 or 2
    double line_dist; // signed distance from the crossing along that line
};

// The point-on operation of the conic type. mode 2 places the point at
// (value->h, value->v) and records its parameter; mode 3 places it at step
// value->v of value->h along the conic, then records it; any other mode
// recomputes the position from the record. A null *param is created (and
// the mode becomes 2 unless it is 3); the caller owns it. The value's flag
// byte is rewritten: bit 1 at infinity, bit 2 the point does not exist.
void conic_point_on(object* conic, valeur* value, void** param, int mode);
