// The colour palette: 41 hexagonal cells, one per entry of the colour
// table, laid out as a hexagon of four rings with a row of four greys
// beneath. The kernel lays the cells out, hit-tests clicks and paints them
// through a small painter the window supplies; the window procedures answer
// the messages of the palette views.
#pragma once

#include <cstdint>

#include "kernel/tools/toolbox.h"
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
  // The current icon of attribute menu `menu`, 16 pixels, at (x, y).
  void (*icon)(void* context, int menu, int32_t x, int32_t y) = nullptr;
};
// Draws one cell, pressed when selected (a selected cell also paints its
// swatch at the top right). An index of 42 or more draws nothing.
void draw_palette_cell(const palette_painter& painter, int index, bool selected);
// Draws every cell, then the current one pressed.
void paint_palette(const palette_painter& painter);

// The selected cell (40, Black, at start; 255 none). It survives closing
// and reopening the palette.
extern uint8_t palette_color_index;
// The palette window's cell view (null while the palette is closed).
extern HWND color_palette_window;
// One flag per attribute menu: that menu is shown in the colour palette
// (menus 0, 1 and 2 are the pen, fill and text colour menus).
extern uint8_t attrib_menu_shown[kAttributeMenuCount + 1];
// When set (as at start), closing the palette window tells the tools
// palette (message 1024, 101, 0).
extern uint8_t palette_closed_notice;
// The lparam of the palette window's last activation.
extern LPARAM palette_last_activation;

// How the hexagon procedure reaches its window: the painter for the
// window, and posting a message to the window's parent.
struct palette_window_ops {
  bool (*painter_for)(HWND window, palette_painter* out) = nullptr;
  void (*post_to_parent)(HWND window, UINT message, WPARAM wparam, LPARAM lparam) = nullptr;
  // Repaints the cells of a window after a selection.
  void (*invalidate)(HWND window) = nullptr;
  // Shows the palette again after the menus it shows changed.
  void (*show_palette)() = nullptr;
};
void install_palette_window_ops(const palette_window_ops& ops);
const palette_window_ops& installed_palette_window_ops();

// 1 create (lays out), 15 paint, 513 press (selects), 514 release (selects;
// after a double click posts OK, 273 with control 1, to the parent), 515
// double click. Every message answers 1.
LRESULT color_hexagon_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The palette window's procedure: 1 create (lays out), 2 destroy (no menu
// shown any more, the window handle cleared, the tools palette told when
// palette_closed_notice is set), 6 activate (a non-zero low word of wparam
// keeps lparam), 15 paint (nothing without a colour menu shown; else the
// corner square, the cells with the current one pressed, and the active
// colour menu's icon), 274 close (tells the tools palette), 513 and 514
// (the point to handle_palette). Every message answers 1.
LRESULT palette_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// A press (513) or release (514) at (x, y) of the palette window. A press
// on a cell makes it the current one; a press in the corner square where no
// cell lies over it closes the colour menu shown. Answers
// palette_window_cell_at.
int handle_palette(HWND window, int32_t x, int32_t y, UINT message);
// The cell under (x, y) of the palette window: its index + 1, 0 for none.
int palette_window_cell_at(int32_t x, int32_t y);
// Paints the palette window (message 15) with the painter.
void paint_palette_window(const palette_painter& painter);

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
