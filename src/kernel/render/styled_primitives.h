// The styled drawing primitives of the object types, the tool previews and
// the selection feedback: clipped segments, rays and lines with colour,
// thickness and dash; rectangle and stepped outlines; filled polygons; point
// marks drawn from small shape programs, 8 x 8 glyphs and arrow heads.
//
// Coordinates are figure pixels (the space of the device's portRect, y
// down). On a device with a pixel bitmap at ratio 1 strokes are rasterised
// by the pixel pen; on any other device they go through the device context
// with a geometric pen.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

// Extents of a styled segment.
inline constexpr uint16_t kExtentLine = 0;     // the whole line through both points
inline constexpr uint16_t kExtentRay = 1;      // from the first point through the second
inline constexpr uint16_t kExtentSegment = 2;  // between the points

// Point-mark shapes. 0..4 are the shapes a point stores in its graph_type.
enum : uint16_t {
  kShapeDot = 0,     // "1x1"
  kShapeSquare = 1,  // "3x3"
  kShapeCircle = 2,  // "CIRCLE"
  kShapeTimes = 3,   // "TIMES"
  kShapePlus = 4,    // "PLUS"
  kShapeMarker = 5,
  kShapeArrow = 6,
  kShapeLargeArrow = 7,
  kShapeShortTick = 8,
  kShapeMediumTick = 9,
  kShapeLongTick = 10,
};
inline constexpr uint16_t kShapeCount = 11;
inline constexpr uint16_t kMarkArrow = kShapeArrow;
inline constexpr uint16_t kMarkArrowLarge = kShapeLargeArrow;
inline constexpr uint16_t kMarkTick = kShapeShortTick;
inline constexpr uint16_t kMarkSegment = kShapeLongTick;

// Geometric pen with flat caps and mitre joins, and the dash and dot bits.
inline constexpr uint32_t kGeometricFlatMitre = 0x10000 | 0x200 | 0x2000;
inline constexpr uint32_t kPenDash = 1;
inline constexpr uint32_t kPenDot = 2;

// The visible piece of a line: its two ends in the direction from the first
// point to the second, two support points on the infinite line (where it
// crosses the view's first and last row for a steep line, first and last
// column otherwise) and the steepness.
struct clipped_line {
  double x1, y1, x2, y2;
  double sx1, sy1, sx2, sy2;
  bool steep;
};

// Clips the line, ray or segment from (x1, y1) through (x2, y2) to the
// device's portRect (the closed range left..right-1, top..bottom-1). False
// when nothing is visible, including coordinates that are not finite.
bool clip_line_to_view(const DisplayDevice* dd, double x1, double y1, double x2, double y2, uint16_t kind,
                       clipped_line* out);

// The pen's midpoint line between integer endpoints, guided by the real line
// through the two support points; each pixel is plotted by the current line
// plot.
void draw_pixel_line(int32_t ix1, int32_t iy1, int32_t ix2, int32_t iy2, double rx1, double ry1, double rx2,
                     double ry2, uint32_t color);

// Returns 0 when nothing of the line is visible. A null dash is solid.
// Sets dash_hold when the pixel pen drew the line and so moved the running
// dash phase along it; callers that chain dashed strokes advance the phase
// themselves otherwise.
extern uint8_t dash_hold;
int32_t draw_segment_styled(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color,
                            uint8_t thickness, const dot* dash, uint16_t kind);
void draw_rect_outline(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color,
                       uint8_t thickness, const dot* dash);
void draw_polygon_outline(DisplayDevice* dd, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                          int32_t x3, int32_t y3, uint32_t color, uint8_t thickness, const dot* dash);
void draw_rect_dashed(DisplayDevice* dd, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color,
                      int dash_index);

// points: n pairs (x, y). A fill that is not opaque is combined with what
// lies beneath by AND.
void draw_filled_polygon(DisplayDevice* dd, const double* points, int32_t n, uint32_t color, int8_t opaque);

// Draws the shape (glyph null) or the 8 x 8 glyph (one byte per row, top
// row first, bit 0x80 leftmost) centred at (x, y), turned by `angle`
// degrees; `size` widens every offset of the shape.
void draw_point_mark(DisplayDevice* dd, double x, double y, int16_t angle, int32_t size, uint32_t color,
                     uint16_t shape, const uint8_t* glyph);

// The arrow head at (x, y) pointing along the direction (degrees, y down),
// with an optional label 'x', 'y' or 'r' beside it. 1 when drawn, 0 when the
// point lies outside the view.
int32_t draw_arrow_head(DisplayDevice* dd, double x, double y, uint32_t color, char label, int16_t direction,
                        bool large);

// Where the label of an arrow head at the pixel (ix, iy) goes, relative to
// it: 12 pixels away in the first free place of the 3 x 3 grid around it
// that the line and the view's edges leave, with a shift of 4 near an edge.
void arrow_label_offset(const DisplayDevice* dd, int32_t ix, int32_t iy, int16_t direction, int32_t* dx,
                        int32_t* dy);

// The glyph of an arrow-head label, or null for any other character.
const uint8_t* arrow_label_glyph(char label);

// Start-up of the geometry's arithmetic; see the definition for what a
// floating-point fault does here.
void init_math_globals();
