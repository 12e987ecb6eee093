// Whole figure files (used macros, preamble, records, "Ma:" lines, pictures)
// read into a fresh figure, drawn into a small off-screen device, then saved
// again.
#include <string>

#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "platform/ns_kelvo_text_view.h"

KELVO_FUZZ_TARGET(figure_file_fuzz) {
  static const bool ready = [] {
    kelvo_fuzz_gui_application();
    install_kelvo_text_view();
    for (DisplayDevice** d : {&static_display, &moving_display}) {
      *d = dd_create();
      ensure_display_dc(*d);
      dd_select_bitmap(*d, create_dib_record(*d, 200, 150));
    }
    return true;
  }();
  (void)ready;
  return kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    if (read_figure_file(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), "fuzz.fig") == 1) {
      redraw_figure(1);
      txt_write_figure_file();
    }
    free_file_image();
  });
}
