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

// The pen held in locals for the length of one walk. Stroke code that
// would call the plot and step operations at every pixel moves this copy
// instead, with the same bounds, dash and thick-plot rules, so that no
// pixel costs a call and the stores into the buffer cannot be taken for
// changes to the pen; `store` hands the cursors and dash counters back.
// Only valid while the plot pair holds its own two plots
// (`pen_plots_are_plain`).
struct PenWalk {
  uint32_t* buffer;
  int32_t row_width;
  int32_t pixel_count;
  int32_t cursor_a;
  int32_t column_a;
  int32_t cursor_b;
  int32_t column_b;
  uint32_t ink;
  uint32_t off_ink;
  int period;
  uint8_t dash_active;
  uint8_t on_length;
  int8_t phase_a;
  int16_t counter_b;
  int half_width;

  explicit PenWalk(const PixelPen& p);
  void store(PixelPen& p) const;

  // `Dash` false promises that no dash is active, `Cursor` false that the
  // cursor lies in the buffer whenever its column lies in the row, `Column`
  // false that the column does: each saves its test.
  template <bool Dash = true, bool Cursor = true, bool Column = true>
  void plot_a() {
    if ((Cursor && static_cast<uint32_t>(cursor_a) >= static_cast<uint32_t>(pixel_count)) ||
        (Column && static_cast<uint32_t>(column_a) >= static_cast<uint32_t>(row_width)))
      return;
    uint32_t c = ink;
    if (Dash && dash_active) {
      if (phase_a >= on_length) c = off_ink;
      phase_a = static_cast<int8_t>((phase_a + 1) % period);
    }
    buffer[cursor_a] = c;
  }
  template <bool Dash = true>
  void plot_b() {
    if (static_cast<uint32_t>(cursor_b) >= static_cast<uint32_t>(pixel_count) ||
        static_cast<uint32_t>(column_b) >= static_cast<uint32_t>(row_width))
      return;
    uint32_t c = ink;
    if (Dash && dash_active) {
      if (counter_b >= on_length) c = off_ink;
      if (--counter_b == -1) counter_b = static_cast<int16_t>(counter_b + period);
    }
    buffer[cursor_b] = c;
  }
  // A thick plot of cursor A (B) across rows (`across_rows`) or along its
  // row: every pixel takes the centre's dash decision, the cursor ends
  // where it started.
  template <bool B, bool AcrossRows, bool Dash = true, bool Cursor = true, bool Column = true>
  void plot_thick() {
    int32_t& cursor = B ? cursor_b : cursor_a;
    int32_t& column = B ? column_b : column_a;
    const int32_t step = AcrossRows ? row_width : 1;
    const int32_t column_step = AcrossRows ? 0 : 1;
    const int8_t phase = phase_a;
    const int16_t counter = counter_b;
    auto plot = [&] {
      if (B) {
        counter_b = counter;
        plot_b<Dash>();
      } else {
        phase_a = phase;
        plot_a<Dash, Cursor, Column>();
      }
    };
    if (B) plot_b<Dash>();
    else plot_a<Dash, Cursor, Column>();
    for (int i = 0; i < half_width; ++i) {
      cursor += step;
      column += column_step;
      plot();
    }
    cursor -= 2 * half_width * step;
    column -= 2 * half_width * column_step;
    for (int i = 0; i < half_width; ++i) {
      plot();
      cursor += step;
      column += column_step;
    }
  }
  void next_a() {
    ++cursor_a;
    ++column_a;
  }
  void prev_a() {
    --cursor_a;
    --column_a;
  }
  void next_b() {
    ++cursor_b;
    ++column_b;
  }
  void prev_b() {
    --cursor_b;
    --column_b;
  }
  void down_a() { cursor_a += row_width; }
  void up_a() { cursor_a -= row_width; }
  void down_both() {
    cursor_a += row_width;
    cursor_b += row_width;
  }
};

// True while the plot pair holds the pen's own plots, so that a walk may
// plot through PenWalk in their place.
bool pen_plots_are_plain();

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
