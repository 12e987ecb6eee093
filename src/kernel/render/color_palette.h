// The colour palette: 41 hexagonal cells, one per entry of the colour
// table, laid out as a hexagon of four rings with a row of four greys
// beneath. The kernel lays the cells out, hit-tests clicks and paints them
// through a small painter the window supplies; the window procedures answer
// the messages of the palette views.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

inline constexpr int kPaletteCells = 41;
inline constexpr int kPaletteCellRadius = 14;
inline constexpr uint8_t kNoPaletteCell = 255;
// The number of attribute menus whose active flags the palette keeps.
inline constexpr int kPaletteMenuFlags = 11;

struct palette_point {
  double x;
  double y;
};

// Cell centres, computed once.
palette_point palette_cell_centre(int index);
// The cell under the point (0 to 40), or -1.
int palette_hit_test(int32_t x, int32_t y);

// What a window lends the kernel to paint cells in.
struct palette_painter {
  void* context = nullptr;
  void (*fill_polygon)(void* context, const tagPOINT* points, int count, uint32_t color) = nullptr;
  void (*line)(void* context, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t color) = nullptr;
  void (*fill_rect)(void* context, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color) = nullptr;
};
// Draws one cell, pressed when selected (a selected cell also paints its
// swatch at the top right). An index of 42 or more draws nothing.
void draw_palette_cell(const palette_painter& painter, int index, bool selected);
// Draws every cell, then the current one pressed.
void paint_palette(const palette_painter& painter);

// The selected cell (40, Black, at start; 255 none). It survives closing
// and reopening the palette.
extern uint8_t palette_color_index;

// How the hexagon procedure reaches its window: the painter for the
// window, and posting a message to the window's parent.
struct palette_window_ops {
  bool (*painter_for)(HWND window, palette_painter* out) = nullptr;
  void (*post_to_parent)(HWND window, UINT message, WPARAM wparam, LPARAM lparam) = nullptr;
  // Repaints the cells of a window after a selection.
  void (*invalidate)(HWND window) = nullptr;
};
void install_palette_window_ops(const palette_window_ops& ops);
const palette_window_ops& installed_palette_window_ops();

// 1 create (lays out), 15 paint, 513 press (selects), 514 release (selects;
// after a double click posts OK, 273 with control 1, to the parent), 515
// double click. Every message answers 1.
LRESULT color_hexagon_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The active flags of the attribute menus from an appearance tool's mask:
// pen 0x0004, fill 0x0200, text 0x0400, then 0x0800, 0x0001, 0x0002,
// 0x0008, 0x0010, 0x0020, 0x4000, 0x0040.
void palette_flags_from_mask(uint16_t mask, uint8_t flags[kPaletteMenuFlags]);

// The colour choice dialog: 272 gives it its title (Color) and its OK
// button's text, in the dialog font; 273 with OK (1) or Cancel (2) answers
// 1, every other message 0.
LRESULT color_choice_dlgproc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The larger of the heights of the pen and fill colour menus of the
// attribute bar.
int32_t attrib_menus_height();
// The small square in the corner of the palette window, 9 pixels, from
// (x - 9, y + b) to (x, y + b + 9) with b the attribute button size. Mode 0
// paints it (background filled, framed in the default colour) and answers
// 1; any other mode answers whether (px, py) lies strictly inside it.
int palette_corner_square(const palette_painter& painter, int32_t x, int32_t y, int32_t px, int32_t py, int16_t mode);
// Where the square goes: 2 b + 9 when two or more attribute menus are shown
// (flags as palette_flags_from_mask gives them), else 0.
int32_t palette_corner_square_offset(const uint8_t flags[kPaletteMenuFlags]);
