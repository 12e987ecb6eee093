// A text-like object drawn alone, as the figure draws it: its pixels in a
// white device of its own at a zoom, and where its text lies.
#pragma once

#include <cstdint>
#include <vector>

#include "kernel/model/engine_fixture.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/render_switches.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "platform/ns_kelvo_text_view.h"

// A figure whose texts are shown by the application's text view.
class TextViewTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    init_color_table();
    install_kelvo_text_view();
  }
  void TearDown() override {
    wide_lines_flag = 0;
    EngineTest::TearDown();
    install_text_handle_ops(TextHandleOps{});
  }
};

// How the device is prepared: antialiased or not, on white or on a
// pattern whose every pixel differs from its neighbours (a text's pixels
// are then all told apart from what lay under them).
struct DrawnTextDevice {
  bool antialias = true;
  bool patterned = false;
};

inline std::vector<uint32_t> drawn_text_pixels(object* o, int width, int height, double ratio,
                                               DrawnTextDevice how = {}) {
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd_select_bitmap(dd, create_dib_record(dd, width, height));
  dd->portRect = tagRECT{0, 0, width, height};
  dd->ratio = ratio;
  dd->orientation = 1;
  dd->dc->allowsAntialiasing(how.antialias);
  dd_draw_background(dd);
  if (how.patterned)
    for (int y = 0; y < dd->bm->height; ++y)
      for (int x = 0; x < dd->bm->width; ++x)
        dd->bm->pixels[y * dd->bm->pitch + x] = 0xFF000000u | static_cast<uint32_t>((x * 7 + y * 13) % 256) << 16 |
                                                static_cast<uint32_t>((x * 5 + y * 3) % 256) << 8 |
                                                static_cast<uint32_t>((x + y * 11) % 256);
  DrawKPTexte(dd, o);
  std::vector<uint32_t> pixels;
  for (int y = 0; y < dd->bm->height; ++y)
    for (int x = 0; x < dd->bm->width; ++x) pixels.push_back(dd->bm->pixels[y * dd->bm->pitch + x] & 0xFFFFFF);
  destroy_display_device(dd);
  return pixels;
}

// How many of the pixels are not the white background.
inline int ink_of(const std::vector<uint32_t>& pixels) {
  int n = 0;
  for (uint32_t px : pixels) n += px != 0xFFFFFF;
  return n;
}

// Where the text itself lies (without its frame's fill).
inline tagRECT drawn_text_extent(object* o) {
  const int8_t opaque = o->settings.opaque;
  o->settings.opaque = 0;
  tagRECT r{};
  get_text_range_rect(o, &r);
  o->settings.opaque = opaque;
  return r;
}
