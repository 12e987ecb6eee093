// The pixel pen: writes strokes straight into the 32-bit pixel bitmap of a
// display device drawn at ratio 1. One global pen with two cursors that the
// stroking code moves through the buffer while it calls the plot operations.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

struct PixelPen {
  uint32_t* buffer;
  int32_t row_width;
  int32_t pixel_count;
  int32_t cursor_a;
  int32_t cursor_b;
  uint32_t color;
  uint8_t dash_active;
  uint8_t on_length;
  uint8_t period;
  int8_t phase_a;
  int16_t counter_b;
  uint8_t dash_start_phase;
  uint8_t half_width;  // extra pixels on each side of a thick plot
  uint8_t fill_mode;
  uint8_t opaque_fill;
  uint32_t span_color;
  // Columns of the two cursors within their row. A plot whose column lies
  // outside the row writes nothing, so that a stroke reaching past the left
  // or right edge never spills onto the neighbouring row.
  int32_t column_a;
  int32_t column_b;
};
extern PixelPen pixel_pen;

// Dash pattern {on length, period}; on equal to period is solid. The same
// record as an object's dash setting.
using dot_style = dot;
extern dot_style line_dash_styles[3];
extern const dot_style selection_dash_style;
extern const dot_style hidden_dash_style;
extern const dot_style rect_dash_styles[3];

// Set by every stroke into a device; cleared when the moving layer has been
// copied to the view.
extern uint8_t figure_changed;

void begin_pixel_stroke(DisplayDevice* dd, int32_t x, int32_t y, uint32_t color);
void begin_pixel_span(DisplayDevice* dd, double cx, double cy, int32_t x, int32_t y, uint8_t mode);
void set_dash_pattern(const uint8_t* pattern);

void pen_plot_pixel_a();
void pen_plot_pixel_b();
using PenPlot = void (*)();
extern PenPlot pen_plot_pair[2];
extern PenPlot pen_plot_table[9];

void pen_plot_a();
void pen_plot_a_wide_h();
void pen_plot_a_wide_v();
void pen_plot_b();
void pen_plot_b_wide_h();
void pen_plot_b_wide_v();
void pen_plot_ab();
void pen_plot_ab_wide_h();
void pen_plot_ab_wide_v();

void pen_cursor_next();
void pen_cursor_prev();
void pen_cursor_down();
void pen_cursor_up();
void pen_cursor_b_next();
void pen_cursor_b_prev();
void pen_cursor_b_down();
void pen_cursor_b_up();
void pen_cursors_spread();
void pen_cursors_close();
void pen_cursors_down();
void pen_fill_span();

// The pixel value the pen stores for a colour word (the surfaces keep 255 in
// the top byte), and the colour word of a stored pixel.
inline uint32_t pixel_of_color(uint32_t color) { return color | 0xFF000000u; }
inline uint32_t color_of_pixel(uint32_t pixel) { return pixel & 0x00FFFFFFu; }

void flush_moving_display(int code);
void copy_static_display();
