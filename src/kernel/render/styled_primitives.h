// The drawing primitives that the draw operations of the object types call:
// styled segments, lines and rays clipped to the device, point marks and
// glyphs, arrow heads and filled polygons. Coordinates are figure pixels.
//
// These give the plain form of each primitive: segments are drawn solid or
// with the pixel pen's dash, marks are small plain shapes, and arrow heads
// carry no label letter yet.
#pragma once

#include <cstdint>

struct DisplayDevice;
struct dot;

// Extents of a styled segment.
inline constexpr uint16_t kExtentLine = 0;     // the whole line through both points
inline constexpr uint16_t kExtentRay = 1;      // from the first point through the second
inline constexpr uint16_t kExtentSegment = 2;  // between the points

// Draws the piece of the line through (x1, y1) and (x2, y2) that the extent
// allows and the device shows, with the colour, thickness (pixels on each
// side) and dash {on length, period}. 0, and nothing drawn, when no piece is
// visible.
int32_t draw_segment_styled(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color,
                            uint8_t thickness, const dot* style, uint16_t extent);

// Point-mark shapes besides the point shapes (0 to 5).
inline constexpr uint16_t kMarkArrow = 6;
inline constexpr uint16_t kMarkArrowLarge = 7;
inline constexpr uint16_t kMarkTick = 8;
inline constexpr uint16_t kMarkSegment = 10;

// Draws a small mark centred at (x, y), turned by `angle` degrees: a shape,
// or the 8 x 8 one-bit glyph (8 row bytes, most significant bit leftmost,
// then its 8-row mask) when one is given. Nothing outside the device.
void draw_point_mark(DisplayDevice* dd, double x, double y, int16_t angle, int32_t size, uint32_t color,
                     uint16_t shape, const uint8_t* glyph);

// An arrow head at (x, y) pointing to `angle` degrees. 1 drawn, 0 outside
// the device.
int32_t draw_arrow_head(DisplayDevice* dd, double x, double y, uint32_t color, char letter, int16_t angle,
                        bool thick);

// Fills the polygon of n points (pairs of doubles); a fill that is not
// opaque is combined with what lies below.
void draw_filled_polygon(DisplayDevice* dd, const double* points, int32_t n, uint32_t color, int8_t opaque);
