// libFuzzer target: whole figure files (used macros, preamble, records, "Ma:"
// lines, pictures) read into a fresh figure, then saved again.
#include <cstddef>
#include <cstdint>

#include <QGuiApplication>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

void drop_current_figure() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return;
  kelvo_win_info* copy = fig->undo;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
  KPGeoDocument::setCurrentInfo(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    // Rich-text runs name fonts, which the font table looks up through Qt.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "figure_file_fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
    init_version_info();
    init_color_table();
    install_kelvo_text_view();
    // Each figure read is drawn too, into a small off-screen device.
    for (DisplayDevice** d : {&static_display, &moving_display}) {
      *d = dd_create();
      ensure_display_dc(*d);
      dd_select_bitmap(*d, create_dib_record(*d, 200, 150));
    }
    return true;
  }();
  (void)ready;
  // Macros a file loads join the class list: start each input afresh.
  init_construct_classes();
  drop_current_figure();
  new_figure_info();
  if (read_figure_file(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), "fuzz.fig") == 1) {
    redraw_figure(1);
    txt_write_figure_file();
  }
  free_file_image();
  drop_current_figure();
  free_construct_classes();
  return 0;
}
