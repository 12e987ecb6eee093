#include "kernel/render/pixel_pen.h"

#include <cmath>

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/still_layer.h"

PixelPen pixel_pen = {};
uint8_t figure_changed = 1;

dot_style line_dash_styles[3] = {{1, 1}, {5, 8}, {8, 14}};
const dot_style selection_dash_style = {3, 8};
const dot_style hidden_dash_style = {1, 4};
const dot_style rect_dash_styles[3] = {{1, 1}, {1, 2}, {1, 1}};

namespace {

PixelPen& pen = pixel_pen;

bool device_has_pixels(const DisplayDevice* dd) { return dd && dd->bm && dd->bm->pixels; }

void take_buffer(const DisplayDevice* dd) {
  pen.buffer = dd->bm->pixels;
  pen.row_width = dd->bm->pitch;
  pen.pixel_count = dd->bm->height * dd->bm->pitch;
}

// A period of 0 from a damaged file must not reach the modulo.
int period_or_one() { return pen.period ? pen.period : 1; }

}  // namespace

void begin_pixel_stroke(DisplayDevice* dd, int32_t x, int32_t y, uint32_t color) {
  if (!device_has_pixels(dd)) return;
  figure_changed = 1;
  take_buffer(dd);
  pen.column_a = x - dd->portRect.left;
  pen.cursor_a = (y - dd->portRect.top) * pen.row_width + pen.column_a;
  pen.color = color;
}

void begin_pixel_span(DisplayDevice* dd, double cx, double cy, int32_t x, int32_t y, uint8_t mode) {
  if (!device_has_pixels(dd)) dd = static_display;
  if (!device_has_pixels(dd)) return;
  figure_changed = 1;
  take_buffer(dd);
  const int32_t left = dd->portRect.left;
  const auto row = static_cast<int32_t>(std::floor(cy - dd->portRect.top - y + 0.5));
  const int32_t colB = (mode == 1 || mode == 2) ? static_cast<int32_t>(std::floor(cx - left - x + 0.5)) : -1;
  const int32_t colA = (mode == 0 || mode == 2) ? static_cast<int32_t>(std::floor(cx - left + x + 0.5))
                                                : dd->portRect.right - dd->portRect.left;
  pen.cursor_b = row * pen.row_width + colB;
  pen.cursor_a = row * pen.row_width + colA;
  pen.column_b = colB;
  pen.column_a = colA;
  pen.color = pen.span_color;
}

void set_dash_pattern(const uint8_t* pattern) {
  if (!pen.dash_active && pattern && pattern[0] != pattern[1] && pattern[1] != 0) {
    pen.dash_active = 1;
    pen.on_length = pattern[0];
    pen.period = pattern[1];
    pen.phase_a = static_cast<int8_t>(pen.dash_start_phase % pen.period);
    pen.counter_b = static_cast<int16_t>(pen.period - pen.phase_a - 1);
  }
  if (!pen.dash_active) {
    pen.on_length = 1;
    pen.period = 1;
  }
}

void pen_plot_pixel_a() {
  if (pen.cursor_a < 0 || pen.cursor_a >= pen.pixel_count) return;
  if (pen.column_a < 0 || pen.column_a >= pen.row_width) return;
  uint32_t c = pen.color;
  if (pen.dash_active) {
    if (pen.phase_a >= pen.on_length) c = back_color;
    pen.phase_a = static_cast<int8_t>((pen.phase_a + 1) % period_or_one());
  }
  pen.buffer[pen.cursor_a] = pixel_of_color(c);
}

void pen_plot_pixel_b() {
  if (pen.cursor_b < 0 || pen.cursor_b >= pen.pixel_count) return;
  if (pen.column_b < 0 || pen.column_b >= pen.row_width) return;
  uint32_t c = pen.color;
  if (pen.dash_active) {
    if (pen.counter_b >= pen.on_length) c = back_color;
    if (--pen.counter_b == -1) pen.counter_b = static_cast<int16_t>(pen.counter_b + period_or_one());
  }
  pen.buffer[pen.cursor_b] = pixel_of_color(c);
}

PenPlot pen_plot_pair[2] = {pen_plot_pixel_a, pen_plot_pixel_b};

PenWalk::PenWalk(const PixelPen& p)
    : buffer(p.buffer),
      row_width(p.row_width),
      pixel_count(p.pixel_count),
      cursor_a(p.cursor_a),
      column_a(p.column_a),
      cursor_b(p.cursor_b),
      column_b(p.column_b),
      ink(pixel_of_color(p.color)),
      off_ink(pixel_of_color(back_color)),
      period(p.period ? p.period : 1),
      dash_active(p.dash_active),
      on_length(p.on_length),
      phase_a(p.phase_a),
      counter_b(p.counter_b),
      half_width(p.half_width) {}

void PenWalk::store(PixelPen& p) const {
  p.cursor_a = cursor_a;
  p.column_a = column_a;
  p.cursor_b = cursor_b;
  p.column_b = column_b;
  p.phase_a = phase_a;
  p.counter_b = counter_b;
}

bool pen_plots_are_plain() { return pen_plot_pair[0] == pen_plot_pixel_a && pen_plot_pair[1] == pen_plot_pixel_b; }

namespace {

// A thick plot: every pixel of the cross-section takes the dash decision of
// the centre pixel, and the cursor ends where it started.
void thick_plot(int which, int32_t step) {
  int32_t& cursor = which == 0 ? pen.cursor_a : pen.cursor_b;
  int32_t& column = which == 0 ? pen.column_a : pen.column_b;
  const int32_t column_step = step == 1 ? 1 : 0;
  const int8_t phase = pen.phase_a;
  const int16_t counter = pen.counter_b;
  auto restore = [&] {
    if (which == 0) pen.phase_a = phase;
    else pen.counter_b = counter;
  };
  auto move = [&](int32_t n) {
    cursor += n * step;
    column += n * column_step;
  };
  pen_plot_pair[which]();
  const int n = pen.half_width;
  for (int i = 0; i < n; ++i) {
    move(1);
    restore();
    pen_plot_pair[which]();
  }
  move(-2 * n);
  for (int i = 0; i < n; ++i) {
    restore();
    pen_plot_pair[which]();
    move(1);
  }
}

}  // namespace

void pen_plot_a() {
  if (!pen.fill_mode) pen_plot_pair[0]();
}
void pen_plot_a_wide_h() {
  if (!pen.fill_mode) thick_plot(0, 1);
}
void pen_plot_a_wide_v() {
  if (!pen.fill_mode) thick_plot(0, pen.row_width);
}
void pen_plot_b() {
  if (!pen.fill_mode) pen_plot_pair[1]();
}
void pen_plot_b_wide_h() {
  if (!pen.fill_mode) thick_plot(1, 1);
}
void pen_plot_b_wide_v() {
  if (!pen.fill_mode) thick_plot(1, pen.row_width);
}
void pen_plot_ab() {
  pen_plot_a();
  pen_plot_b();
}
void pen_plot_ab_wide_h() {
  pen_plot_a_wide_h();
  pen_plot_b_wide_h();
}
void pen_plot_ab_wide_v() {
  pen_plot_a_wide_v();
  pen_plot_b_wide_v();
}

PenPlot pen_plot_table[9] = {pen_plot_a,  pen_plot_a_wide_h,  pen_plot_a_wide_v,  pen_plot_b, pen_plot_b_wide_h,
                             pen_plot_b_wide_v, pen_plot_ab, pen_plot_ab_wide_h, pen_plot_ab_wide_v};

void pen_cursor_next() {
  ++pen.cursor_a;
  ++pen.column_a;
}
void pen_cursor_prev() {
  --pen.cursor_a;
  --pen.column_a;
}
void pen_cursor_down() { pen.cursor_a += pen.row_width; }
void pen_cursor_up() { pen.cursor_a -= pen.row_width; }
void pen_cursor_b_next() {
  ++pen.cursor_b;
  ++pen.column_b;
}
void pen_cursor_b_prev() {
  --pen.cursor_b;
  --pen.column_b;
}
void pen_cursor_b_down() { pen.cursor_b += pen.row_width; }
void pen_cursor_b_up() { pen.cursor_b -= pen.row_width; }
void pen_cursors_spread() {
  pen_cursor_next();
  pen_cursor_b_prev();
}
void pen_cursors_close() {
  pen_cursor_prev();
  pen_cursor_b_next();
}
void pen_cursors_down() {
  if (pen.fill_mode) pen_fill_span();
  pen.cursor_a += pen.row_width;
  pen.cursor_b += pen.row_width;
}

void pen_fill_span() {
  if (pen.cursor_b >= pen.cursor_a || !pen.buffer) return;
  // From B + 1 to A - 1, at least B + 1, within the row.
  const int32_t row_start = pen.cursor_b - pen.column_b;
  int32_t first = pen.column_b + 1;
  int32_t last = pen.column_a - 1 > first ? pen.column_a - 1 : first;
  if (first < 0) first = 0;
  if (last >= pen.row_width) last = pen.row_width - 1;
  for (int32_t c = first; c <= last; ++c) {
    const int32_t i = row_start + c;
    if (i < 0 || i >= pen.pixel_count) continue;
    pen.buffer[i] = pen.opaque_fill ? pixel_of_color(pen.color) : (pen.buffer[i] & pixel_of_color(pen.color));
  }
}

void flush_moving_display(int) {
  if (!figure_changed || !display_device_hooks.window_device || !display_device_hooks.window_moving_device) return;
  DisplayDevice* view = display_device_hooks.window_device();
  DisplayDevice* moving = display_device_hooks.window_moving_device();
  if (!view || !moving) return;
  // The still layer of a drag goes over the moving layer before it is shown
  // (the moving layer takes the static one again right after).
  compose_still_layer(moving);
  dd_copy_bitmap(view, moving, 0);
  DisplayDevice* stat = display_device_hooks.window_static_device ? display_device_hooks.window_static_device()
                                                                  : nullptr;
  if (stat) dd_copy_bitmap(moving, stat, 0);
  figure_changed = 0;
}

void copy_static_display() {
  DisplayDevice* view = display_device_hooks.window_device ? display_device_hooks.window_device() : nullptr;
  if (view) dd_copy_bitmap(view, static_display, 0);
}
