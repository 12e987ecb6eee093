#include "kernel/render/color_palette.h"

#include <algorithm>
#include <cmath>

#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/figure_events.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/win_constants.h"

uint8_t palette_color_index = 40;
HWND color_palette_window = nullptr;
uint8_t attrib_menu_shown[kAttributeMenuCount + 1] = {};
uint8_t palette_closed_notice = 1;
LPARAM palette_last_activation = 0;

namespace {

constexpr double kSin60 = 0.866025403784;
constexpr int kRings = 4;
constexpr double kCellStep = 2 * kPaletteCellRadius * kSin60;
constexpr palette_point kVertices[6] = {{kSin60, -0.5}, {0, -1}, {-kSin60, -0.5}, {-kSin60, 0.5}, {0, 1}, {kSin60, 0.5}};
constexpr palette_point kRingSteps[6] = {{0.5, -kSin60}, {-0.5, -kSin60}, {-1, 0}, {-0.5, kSin60}, {0.5, kSin60}, {1, 0}};
constexpr uint32_t kGray = 0x808080;

struct layout {
  palette_point centres[kPaletteCells];
  layout() {
    const double s = kPaletteCellRadius;
    // The products are kept in this order: the rounding of the centre row
    // depends on it.
    const palette_point c0{std::floor((2 * kRings - 1) * s * kSin60 + 0.5),
                           std::floor(s * kSin60 * (2 * kRings - 1) * kSin60 + 0.5)};
    int n = 0;
    centres[n++] = c0;
    for (int r = 1; r < kRings; ++r)
      for (int k = 0; k < 6; ++k) {
        const palette_point d = kRingSteps[(k + 5) % 6];
        const palette_point turned{-d.x / 2 + kSin60 * d.y, -kSin60 * d.x - d.y / 2};
        for (int j = 0; j < r; ++j)
          centres[n++] = {c0.x + r * kCellStep * d.x + j * kCellStep * turned.x,
                          c0.y + r * kCellStep * d.y + j * kCellStep * turned.y};
      }
    for (int i = 0; i < n; ++i) {
      centres[i].x += 3;
      centres[i].y += 7;
    }
    const double x = c0.x + std::floor((kRings - 1) * kCellStep * -0.5 + 0.5) + 3;
    const double y = c0.y + std::floor((kRings + 1) * kCellStep * kSin60 + 0.5) + 7;
    for (int i = 0; i < 4; ++i) centres[n++] = {x + i * kCellStep, y};
  }
};

const layout& cells() {
  static const layout l;
  return l;
}

uint8_t double_click = 0;
palette_window_ops g_ops;

int32_t round_down(double v) { return static_cast<int32_t>(std::floor(v + 0.5)); }

int32_t point_x(LPARAM lparam) { return static_cast<int16_t>(lparam & 0xFFFF); }
int32_t point_y(LPARAM lparam) { return static_cast<int16_t>((lparam >> 16) & 0xFFFF); }

void select_cell(HWND window, int hit) {
  palette_painter painter;
  const bool can_paint = g_ops.painter_for && g_ops.painter_for(window, &painter);
  if (can_paint && palette_color_index != kNoPaletteCell) draw_palette_cell(painter, palette_color_index, false);
  palette_color_index = static_cast<uint8_t>(hit);
  if (can_paint) draw_palette_cell(painter, hit, true);
  if (g_ops.invalidate) g_ops.invalidate(window);
}

void select_at(HWND window, LPARAM lparam) {
  const int hit = palette_hit_test(point_x(lparam), point_y(lparam));
  if (hit >= 0) select_cell(window, hit);
}

void frame_rect(const palette_painter& painter, int32_t left, int32_t top, int32_t right, int32_t bottom,
                uint32_t colour) {
  if (!painter.line) return;
  painter.line(painter.context, left, top, right - 1, top, colour);
  painter.line(painter.context, right - 1, top, right - 1, bottom - 1, colour);
  painter.line(painter.context, right - 1, bottom - 1, left, bottom - 1, colour);
  painter.line(painter.context, left, bottom - 1, left, top, colour);
}

// The first shown of the pen, fill and text colour menus, or -1.
int active_colour_menu() {
  for (int c = 0; c < 3; ++c)
    if (attrib_menu_shown[c]) return c;
  return -1;
}

void tell_tools_palette_closed() {
  if (tools_panel_window) NSKelvoWrapMachine::cwmPostMessage(tools_panel_window, WM_USER, 101, 0);
}

}  // namespace

void install_palette_window_ops(const palette_window_ops& ops) { g_ops = ops; }
const palette_window_ops& installed_palette_window_ops() { return g_ops; }

palette_point palette_cell_centre(int index) {
  if (index < 0 || index >= kPaletteCells) return {};
  return cells().centres[index];
}

int palette_hit_test(int32_t x, int32_t y) {
  for (int i = 0; i < kPaletteCells; ++i) {
    const palette_point c = cells().centres[i];
    const double dx = x - c.x, dy = y - c.y;
    if (std::sqrt(dx * dx + dy * dy) < kPaletteCellRadius) return i;
  }
  return -1;
}

void draw_palette_cell(const palette_painter& painter, int index, bool selected) {
  if (index < 0 || index >= kPaletteCells) return;
  const palette_point c = cells().centres[index];
  static constexpr int kOrder[8] = {0, 0, 1, 2, 3, 3, 4, 5};
  tagPOINT p[8];
  for (int i = 0; i < 8; ++i) {
    const palette_point v = kVertices[kOrder[i]];
    p[i] = {round_down(c.x + v.x * kPaletteCellRadius), round_down(c.y + v.y * kPaletteCellRadius)};
  }
  p[1].y += 1;
  p[2].y += 1;
  p[3].x += 1;
  p[3].y += 1;
  p[4].x += 1;
  const uint32_t colour = color_by_index(index);
  if (painter.fill_polygon) painter.fill_polygon(painter.context, p, 8, colour);
  if (selected && painter.fill_rect) {
    const int32_t left = round_down(22 * kPaletteCellRadius * kSin60);
    painter.fill_rect(painter.context, left, 5, round_down(22 * kPaletteCellRadius * kSin60 + 30), 25, colour);
  }
  if (!painter.line) return;
  // A pressed cell has its light and dark edges swapped.
  const uint32_t upper = selected ? kGray : back_color;
  const uint32_t lower = selected ? back_color : kGray;
  painter.line(painter.context, p[1].x, p[1].y, p[2].x, p[2].y, upper);
  painter.line(painter.context, p[2].x, p[2].y, p[3].x - 1, p[3].y, upper);
  painter.line(painter.context, p[3].x, p[3].y - 1, p[4].x, p[4].y, upper);
  painter.line(painter.context, p[5].x, p[5].y, p[6].x, p[6].y, lower);
  painter.line(painter.context, p[6].x, p[6].y, p[7].x, p[7].y, lower);
  painter.line(painter.context, p[7].x, p[7].y, p[0].x, p[0].y, lower);
}

void paint_palette(const palette_painter& painter) {
  for (int i = 0; i < kPaletteCells; ++i) draw_palette_cell(painter, i, false);
  if (palette_color_index != kNoPaletteCell) draw_palette_cell(painter, palette_color_index, true);
}

LRESULT color_hexagon_wnd_proc(HWND window, UINT message, WPARAM, LPARAM lparam) {
  switch (message) {
    case 1:
      cells();
      break;
    case 15: {
      palette_painter painter;
      if (g_ops.painter_for && g_ops.painter_for(window, &painter)) paint_palette(painter);
      break;
    }
    case 513:
      double_click = 0;
      select_at(window, lparam);
      break;
    case 514:
      select_at(window, lparam);
      if (double_click && g_ops.post_to_parent) g_ops.post_to_parent(window, 273, 1, 0);
      double_click = 0;
      break;
    case 515:
      double_click = 1;
      break;
    default:
      break;
  }
  return 1;
}

void paint_palette_window(const palette_painter& painter) {
  const int active = active_colour_menu();
  if (active < 0) return;
  if (const int32_t x = palette_corner_square_offset(attrib_menu_shown)) palette_corner_square(painter, x, 0, 0, 0, 0);
  paint_palette(painter);
  // The active colour menu's icon in its small square.
  if (painter.fill_rect) painter.fill_rect(painter.context, 2, 14, 22, 34, back_color);
  if (painter.icon) painter.icon(painter.context, active, 4, 16);
  frame_rect(painter, 2, 14, 22, 34, default_color);
}

namespace {
bool in_corner_square(int32_t x, int32_t y) {
  const int32_t square = palette_corner_square_offset(attrib_menu_shown);
  return square != 0 && palette_corner_square(palette_painter{}, square, 0, x, y, 1) != 0;
}
}  // namespace

// The cells are painted over the corner square: a click goes to what is on
// top.
int palette_window_cell_at(int32_t x, int32_t y) { return palette_hit_test(x, y) + 1; }

int handle_palette(HWND window, int32_t x, int32_t y, UINT message) {
  if (message != WM_LBUTTONDOWN && message != WM_LBUTTONUP) return 0;
  const int cell = palette_window_cell_at(x, y);
  // The press chooses: the colour it applies is the one the cells show.
  if (message != WM_LBUTTONDOWN) return cell;
  if (cell != 0) {
    select_cell(window, cell - 1);
  } else if (in_corner_square(x, y)) {
    // The square closes the colour menu; the other menus stay.
    const int active = active_colour_menu();
    if (active >= 0) {
      attrib_menu_shown[active] = 0;
      if (g_ops.show_palette) g_ops.show_palette();
    }
  }
  return cell;
}

LRESULT palette_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      cells();
      break;
    case WM_DESTROY:
      std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), uint8_t{0});
      color_palette_window = nullptr;
      if (palette_closed_notice) tell_tools_palette_closed();
      break;
    case WM_ACTIVATE:
      if (wparam & 0xFFFF) palette_last_activation = lparam;
      break;
    case WM_PAINT: {
      palette_painter painter;
      if (g_ops.painter_for && g_ops.painter_for(window, &painter)) paint_palette_window(painter);
      break;
    }
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) tell_tools_palette_closed();
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      handle_palette(window, point_x(lparam), point_y(lparam), message);
      break;
    default:
      break;
  }
  return 1;
}

void palette_flags_from_mask(uint16_t mask, uint8_t flags[kPaletteMenuFlags]) {
  static constexpr uint16_t kBits[kPaletteMenuFlags] = {0x0004, 0x0200, 0x0400, 0x0800, 0x0001, 0x0002,
                                                        0x0008, 0x0010, 0x0020, 0x4000, 0x0040};
  for (int i = 0; i < kPaletteMenuFlags; ++i) flags[i] = (mask & kBits[i]) ? 1 : 0;
}

namespace {
constexpr int kRowColorTitle = 471;
constexpr int kRowOk = 342;
constexpr int kCornerSquare = 9;
}  // namespace

LRESULT color_choice_dlgproc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      NSKelvoWrapMachine::setWindowText(dialog, kernel_string(kRowColorTitle));
      NSKelvoWrapMachine::setDlgItemText(dialog, IDOK, kernel_string(kRowOk));
      NSKelvoWrapMachine::sendDlgItemMessage(dialog, IDOK, WM_SETFONT, 0, 1);
      return 0;
    case WM_COMMAND:
      return (wparam & 0xFFFF) == IDOK || (wparam & 0xFFFF) == IDCANCEL ? 1 : 0;
    default:
      return 0;
  }
}

int32_t attrib_menus_height() {
  int32_t h = 0;
  for (int i = 0; i < 2; ++i)
    if (attrib_menus[i]) h = std::max(h, attrib_menus[i]->rect.bottom - attrib_menus[i]->rect.top);
  return h;
}

int palette_corner_square(const palette_painter& painter, int32_t x, int32_t y, int32_t px, int32_t py, int16_t mode) {
  const int32_t b = toolbox_layout.button_height;
  const int32_t left = x - kCornerSquare, top = y + b, right = x, bottom = y + b + kCornerSquare;
  if (mode != 0) return px > left && px < right && py > top && py < bottom ? 1 : 0;
  if (painter.fill_rect) painter.fill_rect(painter.context, left, top, right, bottom, back_color);
  frame_rect(painter, left, top, right, bottom, default_color);
  return 1;
}

int32_t palette_corner_square_offset(const uint8_t flags[kPaletteMenuFlags]) {
  int shown = 0;
  for (int i = 0; flags && i < kPaletteMenuFlags; ++i) shown += flags[i] ? 1 : 0;
  return shown >= 2 ? 2 * toolbox_layout.button_height + kCornerSquare : 0;
}
